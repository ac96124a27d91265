#include "xvfb.h"

#include "loopback.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <random>

namespace tamovox::testing {

namespace {

bool acceptsConnection(int display)
{
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, sizeof a.sun_path - 1);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// Far from the numbers people and scripts pick by hand (:0, :77, :99), and spread wide, so that a
// server still shutting down from an earlier test is almost never on the number drawn.
constexpr int kFirstDisplay = 1000;
constexpr int kDisplays = 29000;

// Another program's server on that number shows by its files.
bool leftBehind(int display)
{
    const std::string n = std::to_string(display);
    return access(("/tmp/.X" + n + "-lock").c_str(), F_OK) == 0 || access(("/tmp/.X11-unix/X" + n).c_str(), F_OK) == 0;
}

SpawnOptions passing(int fd)
{
    SpawnOptions o;
    o.passFd = fd;
    return o;
}

}  // namespace

bool XvfbDisplay::start(const std::string& logPath, const std::string& screen, int timeoutMs)
{
    std::random_device seed;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int display = kFirstDisplay + static_cast<int>(seed() % kDisplays);
        const int claim = claimAbstractName("tamovox-test-display-" + std::to_string(display));
        if (claim < 0)
            continue;
        if (leftBehind(display)) {
            close(claim);
            continue;
        }
        const Outcome outcome = startOn(display, logPath, screen, timeoutMs);
        if (outcome == Outcome::Up) {
            claim_ = claim;
            return true;
        }
        close(claim);
        if (outcome == Outcome::Failed)
            return false;
    }
    why_ = "Xvfb: no free display number found (log " + logPath + "):\n" + readFile(logPath);
    return false;
}

XvfbDisplay::Outcome XvfbDisplay::startOn(int display, const std::string& logPath, const std::string& screen,
                                          int timeoutMs)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        why_ = "Xvfb: no pipe for its readiness";
        return Outcome::Failed;
    }
    name_ = ":" + std::to_string(display);
    server_ = spawnProgram({"Xvfb", name_, "-displayfd", "3", "-noreset", "-screen", "0", screen, "-nolisten", "tcp"},
                           passing(fds[1]),
                           logPath);
    close(fds[1]);
    // It writes its number once it listens; a closed pipe means it gave up (the number was taken).
    std::string number;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs) * deadlineScale();
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (number.find('\n') != std::string::npos || left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        const bool ended = !alive(server_);
        stop();
        if (ended)
            return Outcome::Taken;
        why_ = "Xvfb " + name_ + " did not come up within " + std::to_string(timeoutMs / 1000) + " s (log " + logPath +
               "):\n" + readFile(logPath);
        return Outcome::Failed;
    }
    if (!waitUntil([&] { return acceptsConnection(display) || !alive(server_); }, timeoutMs) || !alive(server_)) {
        why_ = "Xvfb " + name_ + " does not accept connections (log " + logPath + "):\n" + readFile(logPath);
        stop();
        return Outcome::Failed;
    }
    return Outcome::Up;
}

void XvfbDisplay::stop() { tamovox::testing::stop(server_); }

XvfbDisplay::~XvfbDisplay()
{
    stop();
    if (claim_ >= 0)
        close(claim_);
}

}  // namespace tamovox::testing
