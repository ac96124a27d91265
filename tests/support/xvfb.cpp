#include "xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

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

SpawnOptions passing(int fd)
{
    SpawnOptions o;
    o.passFd = fd;
    return o;
}

}  // namespace

bool XvfbDisplay::start(const std::string& logPath, const std::string& screen, int timeoutMs)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        why_ = "Xvfb: no pipe for its display number";
        return false;
    }
    server_ = spawnProgram({"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"}, passing(fds[1]),
                           logPath);
    close(fds[1]);
    // It writes the number once it listens; a closed pipe means it gave up.
    std::string number;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (number.find('\n') == std::string::npos && server_.pid > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        why_ = "Xvfb did not come up within " + std::to_string(timeoutMs / 1000) + " s (log " + logPath + "):\n" +
               readFile(logPath);
        stop();
        return false;
    }
    const int display = std::atoi(number.c_str());
    name_ = ":" + std::to_string(display);
    if (!waitUntil([&] { return acceptsConnection(display) || !alive(server_); }, timeoutMs) || !alive(server_)) {
        why_ = "Xvfb " + name_ + " does not accept connections (log " + logPath + "):\n" + readFile(logPath);
        stop();
        return false;
    }
    return true;
}

void XvfbDisplay::stop() { tamovox::testing::stop(server_); }

}  // namespace tamovox::testing
