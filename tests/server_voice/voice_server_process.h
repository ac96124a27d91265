// Starts the real tamovox-voice-server on a private loopback address for one test, and a few
// helpers for UDP sockets in tests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tamovox::testing {

class VoiceServerProcess {
public:
    // address: 127.0.0.x of this test; the operator socket goes in a fresh folder.
    explicit VoiceServerProcess(const std::string& address) : address_(address)
    {
        char folder[] = "/tmp/tamovox-voice-test-XXXXXX";
        folder_ = mkdtemp(folder);
        socketPath_ = folder_ + "/ctl";
        std::vector<std::string> args = {TAMOVOX_VOICE_SERVER_BINARY, "--bind", address, "--control-socket",
                                         socketPath_, "--stats-interval", "0", "--talker-id", "4242"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        // Ready once the operator socket exists: it is made after every UDP port is bound.
        for (int i = 0; i < 500 && pid_ > 0; ++i) {
            struct stat st{};
            if (stat(socketPath_.c_str(), &st) == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~VoiceServerProcess() { stop(); rmdir(folder_.c_str()); }
    // SIGTERM and wait; the exit status.
    int stop()
    {
        if (pid_ <= 0)
            return status_;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }
    bool running() const { return pid_ > 0; }
    // Runs `tamovox-voice-server ctl --socket ... args`; its exit code.
    int ctl(const std::string& args) const
    {
        const std::string command = std::string(TAMOVOX_VOICE_SERVER_BINARY) + " ctl --socket " + socketPath_ + " " +
                                    args + " >/dev/null";
        return std::system(command.c_str());
    }
    const std::string& address() const { return address_; }

private:
    std::string address_;
    std::string folder_;
    std::string socketPath_;
    pid_t pid_ = -1;
    int status_ = -1;
};

inline sockaddr_in endpoint(const std::string& address, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

// A UDP socket bound to address:0.
inline int udpSocket(const std::string& address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = endpoint(address, 0);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
}

inline void sendTo(int fd, const std::string& address, int port, const void* data, std::size_t length)
{
    sockaddr_in to = endpoint(address, port);
    sendto(fd, data, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

// One datagram within timeoutMs, or an empty vector.
inline std::vector<std::uint8_t> receive(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
        return {};
    std::vector<std::uint8_t> buffer(2048);
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    buffer.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return buffer;
}

// The next datagram whose first byte is type, skipping others, within timeoutMs.
inline std::vector<std::uint8_t> receiveType(int fd, std::uint8_t type, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        const int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
        auto d = receive(fd, std::max(left, 1));
        if (!d.empty() && d[0] == type)
            return d;
    }
    return {};
}

}  // namespace tamovox::testing
