// The real tamovox-web-server on a free loopback port with its own data folder, for tests. It runs
// in a process group the watchdog of the test support reaps, and counts as started once it says
// where it listens.
#pragma once

#include "processes.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace tamovox::testing {

class WebServerProcess {
public:
    // Starts the server on 127.0.0.1 with a port the system picks; check started().
    explicit WebServerProcess(const QString& binary) : binary_(binary)
    {
        logPath_ = data_.filePath("server.log").toStdString();
        server_ = spawnProgram({binary_.toStdString(), "--address", "127.0.0.1", "--port", "0", "--data",
                                dataDir().toStdString()},
                               {}, logPath_);
        const QRegularExpression listening("listening on https://127\\.0\\.0\\.1:(\\d+)");
        waitUntil(
            [&] {
                const auto match = listening.match(log());
                if (match.hasMatch())
                    port_ = match.captured(1).toInt();
                return port_ > 0 || !alive(server_);
            },
            30000);
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
    // Runs the binary with arguments to its end; its standard output (standard error in lastError()).
    QString run(const QStringList& arguments)
    {
        std::vector<std::string> argv = {binary_.toStdString()};
        for (const QString& a : arguments)
            argv.push_back(a.toStdString());
        const std::string out = data_.filePath("command.out").toStdString();
        const std::string err = data_.filePath("command.err").toStdString();
        std::remove(out.c_str());
        std::remove(err.c_str());
        SpawnOptions options;
        options.errorLog = err;
        lastExit_ = runProgram(argv, options, out);
        lastError_ = QString::fromStdString(readFile(err));
        return QString::fromStdString(readFile(out));
    }
    int lastExit() const { return lastExit_; }
    const QString& lastError() const { return lastError_; }

    void stop() { tamovox::testing::stop(server_); }
    bool running() { return alive(server_); }
    QString log() const { return QString::fromStdString(readFile(logPath_)); }

private:
    QString binary_;
    QTemporaryDir data_;
    std::string logPath_;
    Child server_;
    int port_ = 0;
    int lastExit_ = -1;
    QString lastError_;
};

}  // namespace tamovox::testing
