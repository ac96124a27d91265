// Programs a test starts. Each runs in a process group of its own, which a watchdog process kills
// if the test ends without stopping it (a crash, or ctest killing the test at its time-out), so
// nothing a test started outlives it. Also waiting for a condition with a deadline.
// Tests start programs only through here, never with QProcess: its child shares the test's memory
// until exec, which leaves ThreadSanitizer blind to the test's later locks.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tamovox::testing {

struct Child {
    pid_t pid = -1;   // also its process group
    std::string log;  // stdout and stderr
};

struct SpawnOptions {
    std::vector<std::string> env;  // NAME=value, replacing the same names in our environment
    std::string dir;               // working folder, ours when empty
    int passFd = -1;               // a descriptor of ours the program gets as its fd 3
    std::string errorLog;          // standard error apart from standard output, when not empty
};
inline SpawnOptions withEnv(std::vector<std::string> env, std::string dir = {})
{
    SpawnOptions o;
    o.env = std::move(env);
    o.dir = std::move(dir);
    return o;
}

// Starts argv[0] (searched on PATH) with output appended to logPath; pid -1 when it cannot start.
Child spawnProgram(const std::vector<std::string>& argv, const SpawnOptions& options, const std::string& logPath);
bool alive(Child& child);
// Waits up to timeoutMs for the child to end: its exit code, 128 + signal, or -1 if it still runs.
int waitExit(Child& child, int timeoutMs);
// SIGTERM to its whole group, SIGKILL after 3 s; reaps it. Returns its exit code as waitExit.
int stop(Child& child);
// Runs a short command to its end (at most timeoutMs, then it is killed): its exit code. group, when
// given, receives its process group, which stays listed with the watchdog while a daemon it started
// lives on there (end it with killGroup).
int runProgram(const std::vector<std::string>& argv, const SpawnOptions& options, const std::string& logPath,
               int timeoutMs = 60000, pid_t* group = nullptr);

// Kills what is left of a process group (a daemon a script left behind) and forgets it.
void killGroup(pid_t group);

std::string readFile(const std::string& path);

// Deadlines stretch by TAMOVOX_TEST_DEADLINE_SCALE (1 to 100, default 1) for slow builds such as
// the sanitizers'; they only matter when something never comes, so a test passes no slower.
int deadlineScale();
// Polls ready every stepMs until it holds or timeoutMs (scaled) pass; true when it held.
bool waitUntil(const std::function<bool()>& ready, int timeoutMs, int stepMs = 50);
// Polls a file for a text.
bool waitForText(const std::string& path, const std::string& text, int timeoutMs);
// Until the child's log holds text at or after byte from, or the child ends: whether it holds it.
bool waitForOutput(Child& child, const std::string& text, int timeoutMs, std::size_t from = 0);

}  // namespace tamovox::testing
