// The real client program against the real web server over TLS: greeting and profile at start,
// the guest path for an unknown PC, a refused login ending the program, and a stopped server.
#include "../server_web/web_server_process.h"

#include <QTemporaryDir>

#include "client_process.h"
#include "loopback.h"

#include <gtest/gtest.h>


namespace {

using tamovox::testing::WebServerProcess;

// The real client against the given web server, with the lifecycle log on.
class ClientProcess {
public:
    ClientProcess(const QString& machineId, const QString& webUrl, const QString& caFile)
        : process_(TAMOVOX_CLIENT_BINARY, TAMOVOX_SKIN_DIR,
                   {"QT_QPA_PLATFORM=offscreen", "TAMOVOX_LOG=1", "TAMOVOX_UNATTENDED=1",
                    "TAMOVOX_MACHINE_ID=" + machineId.toStdString(), "TAMOVOX_WEB_URL=" + webUrl.toStdString(),
                    "TAMOVOX_CA_FILE=" + caFile.toStdString(), "NO_PROXY=*",
                    "XDG_RUNTIME_DIR=" + runtime_.path().toStdString(),
                    "PULSE_SERVER=unix:" + runtime_.path().toStdString() + "/no-sound-server",
                    "TAMOVOX_VOICE_SERVER=" + voiceServer_.text()},  // nothing there
                   runtime_.filePath("client.log").toStdString())
    {
    }
    bool waitFor(const QString& text) { return process_.waitFor(text.toStdString()); }
    int waitForExit() { return process_.waitForExit(); }
    int stop()
    {
        process_.terminate();
        return waitForExit();
    }
    bool running() { return process_.running(); }
    QString log() const { return QString::fromStdString(process_.log()); }

private:
    QTemporaryDir runtime_;
    tamovox::testing::LoopbackAddress voiceServer_;
    tamovox::testing::ClientProcess process_;
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
