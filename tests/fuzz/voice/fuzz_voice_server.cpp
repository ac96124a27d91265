// Any bytes from any source on any port: the relay logic must neither crash nor let one source
// disturb another's membership. The first bytes choose the port, source and time step.
#include "relay.h"

#include "transport/datagrams.h"

#include <cstdint>
#include <cstdlib>

using namespace tamovox::voice;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static RelayState state;
    static Outbox out;
    static std::int64_t now = 0;
    static const Endpoint anchor{0x7F000001, 1};
    static bool started = false;
    if (!started) {
        std::uint8_t p[tamovox::kPresenceBufferBytes];
        const std::size_t n = tamovox::buildPresence(p, tamovox::PresenceVariant::V, 1, "", "0.7.9");
        handleChannelDatagram(state, 0, anchor, std::span<const std::uint8_t>(p, n), now, out);
        started = true;
    }
    if (size < 4)
        return 0;
    const int port = data[0] % 24;  // 22 and 23: out of range on purpose
    const Endpoint from{0x7F000100u + (data[1] & 0x0F), static_cast<std::uint16_t>(data[2])};
    now += data[3] % 64;
    const std::span<const std::uint8_t> datagram(data + 4, std::min<std::size_t>(size - 4, tamovox::kReceiveBufferBytes));
    if (port < 12)
        handleChannelDatagram(state, port == 11 ? 99 : port, from, datagram, now, out);
    else
        handleControlDatagram(state, port - 12, from, datagram, now, out);
    // The anchor keeps its presence up and must stay a member of channel 0 whatever arrives.
    std::uint8_t p[tamovox::kPresenceBufferBytes];
    const std::size_t n = tamovox::buildPresence(p, tamovox::PresenceVariant::N, 1, "", "0.7.9");
    handleChannelDatagram(state, 0, anchor, std::span<const std::uint8_t>(p, n), now, out);
    if ((data[3] & 0x80) != 0)
        expireMembers(state, now, out);
    const auto it = state.members.find(anchor);
    if (it == state.members.end() || it->second.channel != 0 || it->second.accountNumber != 1)
        std::abort();
    // Every member is listed once on its channel and once under its IP.
    std::size_t onChannels = 0, byIp = 0;
    for (const auto& list : state.channelMembers)
        onChannels += list.size();
    for (const auto& [ip, list] : state.membersByIp)
        byIp += list.size();
    if (onChannels != state.members.size() || byIp != state.members.size())
        std::abort();
    for (const OutDatagram& d : out.datagrams)
        if (d.length > tamovox::kVoiceDatagramBytes || d.payload >= out.payloadsUsed)
            std::abort();
    out.clear();
    return 0;
}
