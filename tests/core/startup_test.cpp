// Starts the real client under the offscreen platform and follows its start-up and shutdown
// through its lifecycle log on standard error.
#include <QDir>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include "client_process.h"
#include "loopback.h"
#include "xvfb.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

constexpr const char* kSecondInstanceText =
    "Another instance of application Tamo-Vox\nis already running.\n"
    "Une autre instance de l’application Tamo-Vox\nest déjà en cours d’exécution.\n";

// The real client with the lifecycle log on; nothing answers it (no sound, web or voice server).
class Client {
public:
    Client(const QString& runtimeDir, const QString& skinDir, const QString& display = {})
        : process_(TAMOVOX_CLIENT_BINARY, skinDir.toStdString(), environment(runtimeDir, display),
                   QDir(runtimeDir).filePath(QString("client-%1.log").arg(++started_)).toStdString())
    {
    }

    bool waitFor(const QString& line) { return process_.waitFor(line.toStdString()); }
    int waitForExit() { return process_.waitForExit(); }
    void terminate() { process_.terminate(); }
    bool running() { return process_.running(); }
    QString log() const { return QString::fromStdString(process_.log()); }

private:
    std::vector<std::string> environment(const QString& runtimeDir, const QString& display)
    {
        const std::string runtime = runtimeDir.toStdString();
        std::vector<std::string> env = {
            display.isEmpty() ? "QT_QPA_PLATFORM=offscreen" : "QT_QPA_PLATFORM=xcb",
            "TAMOVOX_LOG=1",
            "TAMOVOX_UNATTENDED=0",
            "TAMOVOX_MACHINE_ID=0000000305441741",
            "XDG_RUNTIME_DIR=" + runtime,
            "PULSE_SERVER=unix:" + runtime + "/no-sound-server",
            "TAMOVOX_WEB_URL=https://127.0.0.1:9",                // nothing listens: fetches fail at once
            "TAMOVOX_VOICE_SERVER=" + voiceServer_.text(),        // nothing there
        };
        if (!display.isEmpty())
            env.push_back("DISPLAY=" + display.toStdString());
        return env;
    }

    static inline int started_ = 0;  // two clients may share a runtime folder: each its own log
    tamovox::testing::LoopbackAddress voiceServer_;
    tamovox::testing::ClientProcess process_;
};

// The lines of log that appear in wanted, in their order of appearance.
QStringList stepsAmong(const QString& log, const QStringList& wanted)
{
    QStringList seen;
    for (const QString& line : log.split('\n')) {
        const QString step = line.section("tamovox: ", 1);
        if (wanted.contains(step))
            seen << step;
    }
    return seen;
}

class Startup : public ::testing::Test {
protected:
    QTemporaryDir runtime;
    QTemporaryDir skinCopy;

    // A copy of the generated skin without the files named.
    QString skinWithout(const QStringList& missing)
    {
        const QDir source(TAMOVOX_SKIN_DIR);
        for (const QString& file : source.entryList(QDir::Files))
            if (!missing.contains(file))
                QFile::copy(source.filePath(file), skinCopy.filePath(file));
        return skinCopy.path();
    }
};

TEST_F(Startup, ReachesMessageLoopThenShutsDownInOrder)
{
    Client client(runtime.path(), TAMOVOX_SKIN_DIR);
    ASSERT_TRUE(client.waitFor("run: message loop")) << client.log().toStdString();
    client.terminate();
    EXPECT_EQ(client.waitForExit(), 0);

    const QStringList startOrder = {"start: instance guard", "start: chime", "start: main window", "start: push-to-talk lock",
                                    "start: audio set-up", "start: animation", "start: lamps", "start: vu meters",
                                    "start: channel bitmaps", "start: sockets", "start: transport threads",
                                    "start: audio thread", "start: panel timers", "start: account fetches",
                                    "start: idle timer", "start: speech companion greeting",
                                    "start: device and render threads", "run: message loop"};
    EXPECT_EQ(stepsAmong(client.log(), startOrder), startOrder);
    const QStringList shutdownOrder = {"shutdown: companion quit", "shutdown: opus decoder", "shutdown: usb icon",
                                       "shutdown: stop timer 3", "shutdown: stop timer 6", "shutdown: stop timer 8",
                                       "shutdown: stop timer 13", "shutdown: stop timer 7", "shutdown: stop timer 11",
                                       "shutdown: stop timer 12", "shutdown: stop timer animation",
                                       "shutdown: stop timer 16", "shutdown: audio run flag", "shutdown: device thread",
                                       "shutdown: microphone gain", "shutdown: done"};
    EXPECT_EQ(stepsAmong(client.log(), shutdownOrder), shutdownOrder);
    EXPECT_TRUE(client.log().contains(QString::fromUtf8("message: Erreur | Échec de la lecture du son")))
        << "no sound server: the chime failure is shown, start-up goes on";
}

TEST_F(Startup, SecondInstanceExitsOneAndLeavesTheFirstRunning)
{
    Client first(runtime.path(), TAMOVOX_SKIN_DIR);
    ASSERT_TRUE(first.waitFor("run: message loop")) << first.log().toStdString();

    Client second(runtime.path(), TAMOVOX_SKIN_DIR);
    EXPECT_EQ(second.waitForExit(), 1);
    EXPECT_TRUE(second.log().contains(QString::fromUtf8(kSecondInstanceText))) << second.log().toStdString();
    EXPECT_FALSE(second.log().contains("start: main window"));

    EXPECT_TRUE(first.running());
    first.terminate();
    EXPECT_EQ(first.waitForExit(), 0);
}

TEST_F(Startup, MissingSkinFilesAreReportedThenShutDownInOrder)
{
    struct Case {
        const char* name;
        QStringList missing;
        int reports;          // "CHANNEL-NUM" boxes
        bool reachesLoop;     // the program runs on
    } cases[] = {
        {"digit 5", {"5.bmp"}, 1, false},
        {"digits 5 and 7", {"5.bmp", "7.bmp"}, 2, false},
        {"lamp container", {"mini_leds.bmf"}, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir caseRuntime;
        skinCopy.remove();
        ASSERT_TRUE(QDir().mkpath(skinCopy.path()));
        Client client(caseRuntime.path(), skinWithout(c.missing));
        if (c.reachesLoop) {
            ASSERT_TRUE(client.waitFor("run: message loop")) << client.log().toStdString();
            client.terminate();
        }
        EXPECT_EQ(client.waitForExit(), 0) << client.log().toStdString();
        EXPECT_EQ(client.log().count("REF:  | CHANNEL-NUM"), c.reports) << client.log().toStdString();
        EXPECT_EQ(client.log().count("message:"), 1 + c.reports) << "the chime failure and the reports only";
        EXPECT_EQ(client.log().contains("run: message loop ends at its first turn"), !c.reachesLoop);
        EXPECT_TRUE(client.log().contains("shutdown: done"));
    }
}

TEST_F(Startup, LostDisplayEndsTheClientWithoutACrash)
{
    if (QStandardPaths::findExecutable("Xvfb").isEmpty())
        GTEST_SKIP() << "Xvfb is not installed";
    tamovox::testing::XvfbDisplay xvfb;
    ASSERT_TRUE(xvfb.start(runtime.filePath("xvfb.log").toStdString())) << xvfb.why();
    Client client(runtime.path(), TAMOVOX_SKIN_DIR, QString::fromStdString(xvfb.name()));
    ASSERT_TRUE(client.waitFor("run: message loop")) << client.log().toStdString();
    xvfb.stop();
    // The toolkit ends the program with exit(1); threads still running must not turn that into an abort.
    EXPECT_EQ(client.waitForExit(), 1) << client.log().toStdString();
}

}  // namespace
