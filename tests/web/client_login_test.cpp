// The real client program against the real web server over TLS: greeting and profile at start,
// the guest path for an unknown PC, a refused login ending the program, and a stopped server.
#include "../server_web/web_server_process.h"

#include <QProcess>
#include <QTemporaryDir>

#include "loopback.h"
#include "processes.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using tamovox::testing::WebServerProcess;

class ClientProcess {
public:
    ClientProcess(const QString& machineId, const QString& webUrl, const QString& caFile)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TAMOVOX_LOG", "1");
        env.insert("TAMOVOX_UNATTENDED", "1");
        env.insert("TAMOVOX_MACHINE_ID", machineId);
        env.insert("TAMOVOX_WEB_URL", webUrl);
        env.insert("TAMOVOX_CA_FILE", caFile);
        env.insert("NO_PROXY", "*");
        env.insert("XDG_RUNTIME_DIR", runtime_.path());
        env.insert("PULSE_SERVER", "unix:" + runtime_.path() + "/no-sound-server");
        env.insert("TAMOVOX_VOICE_SERVER", QString::fromStdString(voiceServer_.text()));  // nothing there
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(TAMOVOX_SKIN_DIR);
        process_.setChildProcessModifier([] { setpgid(0, 0); });
        process_.start(TAMOVOX_CLIENT_BINARY, QStringList{});
        if (process_.waitForStarted())
            group_ = static_cast<pid_t>(process_.processId());
        tamovox::testing::guardGroup(group_);
    }
    ~ClientProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
        tamovox::testing::killGroup(group_);
    }
    // Waits until the log holds text, the process ends, or 60 s pass.
    bool waitFor(const QString& text)
    {
        for (int i = 0; i < 600 && !log_.contains(text); ++i) {
            process_.waitForReadyRead(100);
            log_ += QString::fromUtf8(process_.readAllStandardError());
            if (process_.state() == QProcess::NotRunning)
                break;
        }
        return log_.contains(text);
    }
    int waitForExit()
    {
        const bool finished = process_.waitForFinished(60000);
        log_ += QString::fromUtf8(process_.readAllStandardError());
        if (!finished)
            return -1000;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    int stop()
    {
        process_.terminate();
        return waitForExit();
    }
    bool running() const { return process_.state() == QProcess::Running; }
    const QString& log() const { return log_; }

private:
    QTemporaryDir runtime_;
    tamovox::testing::LoopbackAddress voiceServer_;
    QProcess process_;
    pid_t group_ = -1;
    QString log_;
};

class ClientLogin : public ::testing::Test {
protected:
    WebServerProcess server{TAMOVOX_WEB_SERVER_BINARY};
    void SetUp() override { ASSERT_TRUE(server.started()) << server.log().toStdString(); }
};

TEST_F(ClientLogin, EnrolledPcIsGreetedAndGetsItsProfileAndColour)
{
    const int number = server.enrol("0000000305441741", "René Dupont",
                                    {"--first-name", "René", "--city", "Québec", "--phrase", "Vive la radio"});
    ASSERT_GT(number, 0);
    ClientProcess client("0000000305441741", server.url(), server.caFile());
    ASSERT_TRUE(client.waitFor("start: account fetches")) << client.log().toStdString();
    EXPECT_TRUE(client.log().contains(QString::fromUtf8("greeting: Bonjour René Dupont.  Sois le bienvenu sur notre réseau !")))
        << client.log().toStdString();
    EXPECT_TRUE(client.log().contains(QString::fromUtf8("own profile: René |  | Québec | Vive la radio |")));
    EXPECT_TRUE(client.log().contains("background colour: 000000"));
    EXPECT_FALSE(client.log().contains("Information du Superviseur"));
    EXPECT_FALSE(client.log().contains("Acquisition")) << "the account has its parameters";
    EXPECT_EQ(client.stop(), 0);
}

TEST_F(ClientLogin, UnknownPcGetsTheGuestMessagesAndRunsOn)
{
    ClientProcess client("1111111111111111", server.url(), server.caFile());
    ASSERT_TRUE(client.waitFor("start: account fetches")) << client.log().toStdString();
    const QString log = client.log();
    const int guest = log.indexOf(QString::fromUtf8("message: Information du Superviseur | Bonjour. Ce matériel n'est pas incrit"));
    const int unknown = log.indexOf("message: Votre PC Windows est inconnu\n | Ce PC n'est pas inscrit\nau r");
    ASSERT_GE(guest, 0) << log.toStdString();
    EXPECT_GT(unknown, guest) << "the guest message first, then the server's";
    EXPECT_TRUE(log.contains(server.url() + "/\n")) << "the guest text names the site";
    EXPECT_TRUE(log.contains(QString::fromUtf8("L'équipe Tamo-Vox")));
    EXPECT_TRUE(log.contains(QString::fromUtf8("message: Acquisition des paramètres"))) << "the guest has no parameters";
    EXPECT_TRUE(log.contains("account number: 19704"));
    EXPECT_TRUE(client.waitFor("run: message loop"));
    EXPECT_TRUE(client.running());
    EXPECT_EQ(client.stop(), 0);
}

TEST_F(ClientLogin, RefusedLoginEndsTheProgramAfterItsMessage)
{
    const int number = server.enrol("0000000305441741", "René");
    ASSERT_TRUE(server.setStatus(number, 230));
    ClientProcess client("0000000305441741", server.url(), server.caFile());
    EXPECT_EQ(client.waitForExit(), 0) << client.log().toStdString();
    EXPECT_TRUE(client.log().contains(QString::fromUtf8("message: Le programme va s'arrêter\n | Votre compte est suspendu.")))
        << client.log().toStdString();
    EXPECT_FALSE(client.log().contains("greeting:"));
    EXPECT_TRUE(client.log().contains("shutdown: done"));
}

TEST_F(ClientLogin, StoppedServerLeavesTheClientRunning)
{
    const QString url = server.url();
    const QString ca = server.caFile();
    server.stop();
    ClientProcess client("0000000305441741", url, ca);
    ASSERT_TRUE(client.waitFor("run: message loop")) << client.log().toStdString();
    EXPECT_FALSE(client.log().contains("greeting:"));
    EXPECT_FALSE(client.log().contains("Acquisition")) << "a fetch that cannot connect shows nothing";
    EXPECT_EQ(client.stop(), 0);
}

}  // namespace
