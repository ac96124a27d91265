// Starts the real tamovox-voice-server on a loopback address of the test's own, and a few helpers
// for UDP sockets in tests.
#pragma once

#include "loopback.h"
#include "processes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace tamovox::testing {

class VoiceServerProcess {
public:
    // address: 127.x.y.z of this test (a LoopbackAddress); the operator socket goes in a fresh folder.
    explicit VoiceServerProcess(const std::string& address) : address_(address)
    {
        char folder[] = "/tmp/tamovox-voice-test-XXXXXX";
        folder_ = mkdtemp(folder) ? folder : "";
        socketPath_ = folder_ + "/ctl";
        const std::string log = folder_ + "/server.log";
        server_ = spawnProgram({TAMOVOX_VOICE_SERVER_BINARY, "--bind", address, "--control-socket", socketPath_,
                                "--stats-interval", "0", "--talker-id", "4242"},
                               {}, log);
        // It says so once every port is bound and the operator socket is made.
        waitForOutput(server_, "listening on", 30000);
        if (!alive(server_))
            why_ = "the voice server on " + address + " did not come up: " + readFile(log);
    }
    ~VoiceServerProcess()
    {
        stop();
        if (!folder_.empty())
            std::filesystem::remove_all(folder_);
    }
    // SIGTERM and wait; the exit status.
    int stop()
    {
        if (server_.pid > 0)
            status_ = tamovox::testing::stop(server_);
        return status_;
    }
    bool running() { return alive(server_); }
    const std::string& why() const { return why_; }
    // Runs `tamovox-voice-server ctl --socket ... args`; its exit code.
    int ctl(const std::vector<std::string>& args) const
    {
        std::vector<std::string> argv = {TAMOVOX_VOICE_SERVER_BINARY, "ctl", "--socket", socketPath_};
        argv.insert(argv.end(), args.begin(), args.end());
        return runProgram(argv, {}, folder_ + "/ctl.log");
    }
    const std::string& address() const { return address_; }

private:
    std::string address_;
    std::string folder_;
    std::string socketPath_;
    std::string why_;
    Child server_;
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
