// The test support against real processes: a test killed mid-way leaves nothing running, claimed
// addresses and displays never collide, and an X display counts as up only once it answers.
#include "loopback.h"
#include "processes.h"
#include "xvfb.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>

extern char** environ;

namespace tamovox::testing {
namespace {

// Run as a child of the test: starts a shell holding a sleep in the background (a daemon left in
// its group, as the sound daemon's script leaves it), writes both pids, then waits to be killed.
constexpr const char* kOrphanMode = "TAMOVOX_SUPPORT_TEST_ORPHAN";

int orphanMain(const std::string& pidFile)
{
    const Child shell = spawnProgram({"sh", "-c", "sleep 300 & echo $! > " + pidFile + ".daemon; wait"}, {}, "/dev/null");
    waitUntil([&] { return !readFile(pidFile + ".daemon").empty(); }, 30000);
    std::ofstream(pidFile + ".tmp") << shell.pid << " " << readFile(pidFile + ".daemon");
    std::rename((pidFile + ".tmp").c_str(), pidFile.c_str());
    pause();
    return 0;
}

bool processExists(pid_t pid) { return kill(pid, 0) == 0; }

TEST(Watchdog, ATestKilledMidwayLeavesNothingItStartedRunning)
{
    char folder[] = "/tmp/tamovox-support-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string pidFile = std::string(folder) + "/pids";
    const std::string mode = std::string(kOrphanMode) + "=" + pidFile;
    char* argv[] = {const_cast<char*>("/proc/self/exe"), nullptr};
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        env.push_back(*e);
    env.push_back(const_cast<char*>(mode.c_str()));
    env.push_back(nullptr);
    pid_t test = -1;
    ASSERT_EQ(posix_spawn(&test, "/proc/self/exe", nullptr, nullptr, argv, env.data()), 0);

    ASSERT_TRUE(waitUntil([&] { return !readFile(pidFile).empty(); }, 30000)) << "the child test never started its programs";
    pid_t shell = 0, daemon = 0;
    std::sscanf(readFile(pidFile).c_str(), "%d %d", &shell, &daemon);
    ASSERT_GT(shell, 0);
    ASSERT_GT(daemon, 0);
    EXPECT_TRUE(processExists(shell));
    EXPECT_TRUE(processExists(daemon));

    kill(test, SIGKILL);  // as ctest does at a time-out: no destructor runs
    waitpid(test, nullptr, 0);
    EXPECT_TRUE(waitUntil([&] { return !processExists(shell) && !processExists(daemon); }, 30000))
        << "left running: " << (processExists(shell) ? "the program " : "") << (processExists(daemon) ? "its daemon" : "");
    std::system((std::string("rm -rf ") + folder).c_str());
}

TEST(Watchdog, StopEndsTheWholeGroup)
{
    char folder[] = "/tmp/tamovox-support-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string daemonFile = std::string(folder) + "/daemon";
    Child shell = spawnProgram({"sh", "-c", "sleep 300 & echo $! > " + daemonFile + "; wait"}, {}, "/dev/null");
    ASSERT_TRUE(waitUntil([&] { return !readFile(daemonFile).empty(); }, 30000));
    const pid_t daemon = std::atoi(readFile(daemonFile).c_str());
    stop(shell);
    EXPECT_FALSE(alive(shell));
    EXPECT_TRUE(waitUntil([&] { return !processExists(daemon); }, 10000));
    std::system((std::string("rm -rf ") + folder).c_str());
}

TEST(LoopbackAddresses, ClaimsHeldTogetherNeverCollide)
{
    std::vector<std::unique_ptr<LoopbackAddress>> held;
    std::set<std::string> seen;
    for (int i = 0; i < 64; ++i) {
        held.push_back(std::make_unique<LoopbackAddress>());
        ASSERT_FALSE(held.back()->text().empty());
        EXPECT_TRUE(seen.insert(held.back()->text()).second) << held.back()->text() << " handed out twice";
        EXPECT_EQ(held.back()->text().rfind("127.", 0), 0u);
    }
}

TEST(XvfbDisplays, EachTestGetsItsOwnDisplayAndItAnswersOnceStarted)
{
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Xvfb is not installed";
    char folder[] = "/tmp/tamovox-support-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    XvfbDisplay first, second;
    ASSERT_TRUE(first.start(std::string(folder) + "/first.log")) << first.why();
    ASSERT_TRUE(second.start(std::string(folder) + "/second.log")) << second.why();
    EXPECT_NE(first.name(), second.name());
    for (XvfbDisplay* d : {&first, &second}) {
        const std::string command = "DISPLAY=" + d->name() + " xdpyinfo >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << d->name() << " does not answer";
    }
    first.stop();
    EXPECT_FALSE(first.running());
    EXPECT_TRUE(second.running());
    std::system((std::string("rm -rf ") + folder).c_str());
}

}  // namespace
}  // namespace tamovox::testing

int main(int argc, char** argv)
{
    if (const char* pidFile = std::getenv(tamovox::testing::kOrphanMode))
        return tamovox::testing::orphanMain(pidFile);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
