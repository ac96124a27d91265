#include "processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

extern char** environ;

namespace tamovox::testing {

namespace {

// The watchdog: a process of its own session that holds the read end of a pipe whose write end
// only the test process has. Records add or drop a process group; when the pipe closes, the test
// is gone however it ended, and every group still listed is killed. Between fork and its end it
// uses only async-signal-safe calls, as the test process may have threads.
struct Record {
    std::int32_t add;  // 1 add, 0 drop
    std::int32_t group;
};

constexpr int kMaxGroups = 4096;

void sleepMs(long ms)
{
    timespec t{ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

[[noreturn]] void watchdogMain(int readFd)
{
    setsid();
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT})
        sigaction(s, &ignore, nullptr);
    // Hold nothing else of the test's: a socket it closes must really close.
    if (readFd > 3)
        close_range(3, static_cast<unsigned>(readFd) - 1, 0);
    close_range(static_cast<unsigned>(readFd) + 1, ~0U, 0);
    static pid_t groups[kMaxGroups];
    int count = 0;
    for (;;) {
        Record r{};
        const ssize_t n = read(readFd, &r, sizeof r);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != static_cast<ssize_t>(sizeof r))
            break;
        if (r.add) {
            if (count < kMaxGroups)
                groups[count++] = r.group;
        } else {
            for (int i = 0; i < count; ++i)
                if (groups[i] == r.group) {
                    groups[i] = groups[--count];
                    break;
                }
        }
    }
    for (int i = 0; i < count; ++i)
        kill(-groups[i], SIGTERM);
    for (int waited = 0; waited < 3000; waited += 50) {
        bool any = false;
        for (int i = 0; i < count; ++i)
            any = any || kill(-groups[i], 0) == 0;
        if (!any)
            _exit(0);
        sleepMs(50);
    }
    for (int i = 0; i < count; ++i)
        kill(-groups[i], SIGKILL);
    _exit(0);
}

std::mutex watchdogLock;
int watchdogFd = -1;

void tellWatchdog(bool add, pid_t group)
{
    std::lock_guard lock(watchdogLock);
    if (watchdogFd < 0) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[1]);
            watchdogMain(fds[0]);
        }
        close(fds[0]);
        if (pid < 0) {
            close(fds[1]);
            return;
        }
        watchdogFd = fds[1];
    }
    const Record r{add ? 1 : 0, static_cast<std::int32_t>(group)};
    [[maybe_unused]] ssize_t written = write(watchdogFd, &r, sizeof r);  // under PIPE_BUF: whole or nothing
}

// Our environment with the given NAME=value entries in place of the same names; of two entries
// with one name, the later wins.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra)
{
    std::vector<std::string> merged;
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    auto put = [&](const std::string& entry) {
        for (std::string& m : merged)
            if (nameOf(m) == nameOf(entry)) {
                m = entry;
                return;
            }
        merged.push_back(entry);
    };
    for (char** e = environ; *e; ++e)
        put(*e);
    for (const std::string& x : extra)
        put(x);
    return merged;
}

int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

bool groupAlive(pid_t group) { return kill(-group, 0) == 0; }

}  // namespace

Child spawnProgram(const std::vector<std::string>& argv, const SpawnOptions& options, const std::string& logPath)
{
    Child child;
    child.log = logPath;
    if (argv.empty())
        return child;
    // Everything the child needs is built before fork: after it only async-signal-safe calls.
    const std::vector<std::string> env = mergedEnvironment(options.env);
    std::vector<char*> envp, args;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int errorFd = options.errorLog.empty()
                            ? -1
                            : open(options.errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (logFd >= 0) {
            dup2(logFd, 1);
            dup2(errorFd >= 0 ? errorFd : logFd, 2);
        }
        if (nullFd >= 0)
            dup2(nullFd, 0);
        if (options.passFd >= 0) {
            if (options.passFd == 3)
                fcntl(3, F_SETFD, 0);
            else
                dup2(options.passFd, 3);
        }
        if (!options.dir.empty() && chdir(options.dir.c_str()) != 0)
            _exit(126);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    for (int fd : {logFd, errorFd})
        if (fd >= 0)
            close(fd);
    if (nullFd >= 0)
        close(nullFd);
    if (pid < 0)
        return child;
    setpgid(pid, pid);  // also here, so the group exists before we signal it
    tellWatchdog(true, pid);
    child.pid = pid;
    return child;
}

bool alive(Child& child)
{
    waitExit(child, 0);  // reaps it if it ended
    return child.pid > 0;
}

int waitExit(Child& child, int timeoutMs)
{
    if (child.pid <= 0)
        return -1;
    int code = -1;
    waitUntil(
        [&] {
            int status = 0;
            const pid_t r = waitpid(child.pid, &status, WNOHANG);
            if (r == child.pid) {
                code = exitCodeOf(status);
                // A daemon it left in its group stays listed until killGroup.
                if (!groupAlive(child.pid))
                    tellWatchdog(false, child.pid);
                child.pid = -1;
                return true;
            }
            return r < 0;
        },
        timeoutMs, 20);
    return code;
}

int stop(Child& child)
{
    if (child.pid <= 0)
        return -1;
    const pid_t group = child.pid;
    kill(-group, SIGTERM);
    int code = waitExit(child, 3000);
    if (child.pid > 0) {
        kill(-group, SIGKILL);
        int status = 0;
        waitpid(child.pid, &status, 0);
        code = exitCodeOf(status);
        child.pid = -1;
    }
    killGroup(group);
    return code;
}

int runProgram(const std::vector<std::string>& argv, const SpawnOptions& options, const std::string& logPath,
               int timeoutMs, pid_t* group)
{
    Child c = spawnProgram(argv, options, logPath);
    if (group)
        *group = c.pid;
    if (c.pid <= 0)
        return -1;
    const int code = waitExit(c, timeoutMs);
    if (c.pid > 0) {
        stop(c);
        return -1;
    }
    return code;
}

void killGroup(pid_t group)
{
    if (group <= 0)
        return;
    if (groupAlive(group)) {
        kill(-group, SIGTERM);
        if (!waitUntil([&] { return !groupAlive(group); }, 3000, 20))
            kill(-group, SIGKILL);
    }
    tellWatchdog(false, group);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int deadlineScale()
{
    static const int scale = [] {
        const char* text = std::getenv("TAMOVOX_TEST_DEADLINE_SCALE");
        const int n = text ? std::atoi(text) : 1;
        return n >= 1 && n <= 100 ? n : 1;
    }();
    return scale;
}

bool waitUntil(const std::function<bool()>& ready, int timeoutMs, int stepMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs) * deadlineScale();
    for (;;) {
        if (ready())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
}

bool waitForText(const std::string& path, const std::string& text, int timeoutMs)
{
    return waitUntil([&] { return readFile(path).find(text) != std::string::npos; }, timeoutMs, 100);
}

bool waitForOutput(Child& child, const std::string& text, int timeoutMs, std::size_t from)
{
    auto holds = [&] { return readFile(child.log).find(text, from) != std::string::npos; };
    waitUntil([&] { return holds() || !alive(child); }, timeoutMs);
    return holds();  // a child may write its line just before it ends
}

}  // namespace tamovox::testing
