// The voice server's protocol logic, free of sockets: channel membership from presence, floor
// control, relay rewriting, peer-state notices, list and status replies, per-source rate limit
// and operator orders. The event loop feeds it datagrams and the time, and sends its outbox.
//
// Rules (also in the README):
// - A source address+port is a member of a channel while its presence datagrams arrive on that
//   channel port; 2 s without one and it leaves. Presence on another channel moves it at once.
// - One talker holds a channel's floor; another member's voice is dropped until the holder has
//   sent no voice for 250 ms.
// - Control requests are answered only when their source IP is the IP of a current member (a
//   client's control socket is not its voice socket). The status code is that of the most
//   recently joined member at that IP on the control port's channel, else on any channel.
// - Every source address+port has a token bucket of 200 datagrams per second, burst 400.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace tamovox::voice {

inline constexpr int kChannels = 11;
inline constexpr std::int64_t kMemberTimeoutMs = 2000;
inline constexpr std::int64_t kFloorReleaseMs = 250;
inline constexpr double kRatePerSecond = 200.0;
inline constexpr double kRateBurst = 400.0;
inline constexpr std::size_t kMaxSources = 65536;  // rate-limit entries kept at most
inline constexpr std::size_t kMaxMembers = 16384;

// IPv4 address and port in host order.
struct Endpoint {
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};
struct EndpointHash {
    std::size_t operator()(const Endpoint& e) const noexcept
    {
        return std::hash<std::uint64_t>()((static_cast<std::uint64_t>(e.ip) << 16) ^ e.port);
    }
};

// Which of the server's sockets a reply leaves from.
enum class PortKind : std::uint8_t { Channel, Control };

struct OutDatagram {
    PortKind kind;
    std::uint8_t channel;   // 0..10
    std::uint16_t length;
    std::uint32_t payload;  // index into Outbox::payloads
    Endpoint to;
};

// Datagrams to send; one payload may go to many destinations. Reused between batches.
struct Outbox {
    std::vector<std::vector<std::uint8_t>> payloads;
    std::vector<OutDatagram> datagrams;
    std::size_t payloadsUsed = 0;
    std::uint8_t* newPayload(std::uint32_t& index);  // 1024 bytes
    void clear()
    {
        payloadsUsed = 0;
        datagrams.clear();
    }
};

struct Counters {
    std::uint64_t received = 0;
    std::uint64_t malformed = 0;
    std::uint64_t rateLimited = 0;
    std::uint64_t notMember = 0;     // voice or control request from a non-member
    std::uint64_t floorBusy = 0;     // voice dropped while another talker held the floor
    std::uint64_t relayed = 0;       // datagrams sent to listeners
    std::uint64_t replies = 0;       // list and status replies
};

struct Member {
    int channel = 0;
    std::uint16_t accountNumber = 0;
    std::int64_t lastPresenceMs = 0;
    std::int64_t joinedMs = 0;
    std::uint64_t joinOrder = 0;       // larger = joined later
    std::uint8_t relaySequence = 1;    // next sequence of this talker's relayed stream
};

struct Floor {
    bool held = false;
    Endpoint holder;
    std::int64_t lastVoiceMs = 0;
};

struct Bucket {
    double tokens = kRateBurst;
    std::int64_t lastMs = 0;
};

struct RelayState {
    std::unordered_map<Endpoint, Member, EndpointHash> members;
    std::vector<Endpoint> channelMembers[kChannels];
    std::unordered_map<std::uint32_t, std::vector<Endpoint>> membersByIp;  // for control requests
    Floor floors[kChannels];
    std::unordered_map<Endpoint, Bucket, EndpointHash> buckets;
    std::unordered_map<std::uint16_t, std::uint8_t> orders;  // account -> status code
    std::uint64_t joinCounter = 0;
    Counters counters;
};

// A datagram received on channel port `channel`.
void handleChannelDatagram(RelayState& state, int channel, Endpoint from, std::span<const std::uint8_t> data,
                           std::int64_t nowMs, Outbox& out);
// A datagram received on control port `channel`.
void handleControlDatagram(RelayState& state, int channel, Endpoint from, std::span<const std::uint8_t> data,
                           std::int64_t nowMs, Outbox& out);
// Members silent for 2 s leave (with "P" code 2 to the rest); idle rate-limit entries go.
void expireMembers(RelayState& state, std::int64_t nowMs, Outbox& out);

// Operator orders: "update" 220, "ban" 230, "close" 240; "clear" removes the order.
// false for an unknown order name.
bool setOrder(RelayState& state, std::uint16_t accountNumber, const char* order);
// Status code for an account: the order's code, or 200.
std::uint8_t statusCodeFor(const RelayState& state, std::uint16_t accountNumber);

// Queues one payload to every member of channel except `except` (pass {} for none).
void sendToChannel(RelayState& state, int channel, Endpoint except, std::span<const std::uint8_t> payload,
                   Outbox& out);

}  // namespace tamovox::voice
