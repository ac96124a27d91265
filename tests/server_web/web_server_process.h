// The real tamovox-web-server on a free loopback port with its own data folder, for tests.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tamovox::testing {

class WebServerProcess {
public:
    // Starts the server on 127.0.0.1 with a port the system picks; check started().
    explicit WebServerProcess(const QString& binary) : binary_(binary)
    {
        process_.setProgram(binary_);
        process_.setArguments({"--address", "127.0.0.1", "--port", "0", "--data", dataDir()});
        process_.start();
        for (int i = 0; i < 100 && port_ == 0 && process_.state() != QProcess::NotRunning; ++i) {
            process_.waitForReadyRead(100);
            log_ += QString::fromUtf8(process_.readAllStandardError());
            const auto match = QRegularExpression("listening on https://127\\.0\\.0\\.1:(\\d+)").match(log_);
            if (match.hasMatch())
                port_ = match.captured(1).toInt();
        }
    }
    ~WebServerProcess() { stop(); }

    bool started() const { return port_ > 0; }
    int port() const { return port_; }
    QString url() const { return QString("https://localhost:%1").arg(port_); }
    QString dataDir() const { return data_.path(); }
    QString caFile() const { return data_.filePath("cert.pem"); }

    // Runs the enrol command; the new account number, or -1 (the command's output in lastOutput).
    int enrol(const QString& machineId, const QString& name, const QStringList& extra = {})
    {
        const QString out = run(QStringList{"enrol", "--data", dataDir(), "--machine-id", machineId, "--name", name} + extra);
        bool ok = false;
        const int number = out.trimmed().toInt(&ok);
        return lastExit_ == 0 && ok ? number : -1;
    }
    bool setStatus(int account, int status)
    {
        run({"set-status", "--data", dataDir(), "--account", QString::number(account), "--status", QString::number(status)});
        return lastExit_ == 0;
    }
    // Runs the binary with arguments; its standard output (standard error in lastOutput()).
    QString run(const QStringList& arguments)
    {
        QProcess command;
        command.start(binary_, arguments);
        command.waitForFinished(30000);
        lastExit_ = command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1;
        lastError_ = QString::fromUtf8(command.readAllStandardError());
        return QString::fromUtf8(command.readAllStandardOutput());
    }
    int lastExit() const { return lastExit_; }
    const QString& lastError() const { return lastError_; }

    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }
    bool running() const { return process_.state() == QProcess::Running; }
    QString log()
    {
        log_ += QString::fromUtf8(process_.readAllStandardError());
        return log_;
    }

private:
    QString binary_;
    QTemporaryDir data_;
    QProcess process_;
    QString log_;
    int port_ = 0;
    int lastExit_ = -1;
    QString lastError_;
};

}  // namespace tamovox::testing
