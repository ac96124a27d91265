#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>

namespace tamovox::testing {

namespace {

// 127.100.0.0 to 127.199.255.255: clear of 127.0.0.x, where people run things by hand.
constexpr std::uint32_t kFirst = (127u << 24) | (100u << 16);
constexpr std::uint32_t kCount = 100u << 16;

std::string dotted(std::uint32_t ip)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255, ip & 255);
    return text;
}

bool portsFree(std::uint32_t ip, const std::vector<int>& ports)
{
    for (int port : ports) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(ip);
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        const bool free = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (fd >= 0)
            close(fd);
        if (!free)
            return false;
    }
    return true;
}

}  // namespace

int claimAbstractName(const std::string& name)
{
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    name.copy(address.sun_path + 1, sizeof address.sun_path - 2);  // after a leading NUL: abstract
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::vector<int> voiceServerPorts()
{
    std::vector<int> ports;
    for (int c = 0; c < 11; ++c) {
        ports.push_back(30000 + c);
        ports.push_back(31000 + c);
    }
    return ports;
}

LoopbackAddress::LoopbackAddress(const std::vector<int>& udpPorts)
{
    std::random_device seed;
    std::uint32_t offset = seed() % kCount;
    for (int tries = 0; tries < 1000; ++tries, offset = (offset + 7919) % kCount) {
        const std::uint32_t ip = kFirst + offset;
        if ((ip & 255) == 0 || (ip & 255) == 255)
            continue;
        const std::string address = dotted(ip);
        const int claim = claimAbstractName("tamovox-test-address-" + address);
        if (claim < 0)
            continue;
        if (!portsFree(ip, udpPorts)) {
            close(claim);
            continue;
        }
        text_ = address;
        claim_ = claim;
        return;
    }
}

LoopbackAddress::~LoopbackAddress()
{
    if (claim_ >= 0)
        close(claim_);
}

}  // namespace tamovox::testing
