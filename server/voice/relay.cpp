#include "relay.h"

#include "transport/datagrams.h"

#include <algorithm>
#include <cstring>

namespace tamovox::voice {

std::uint8_t* Outbox::newPayload(std::uint32_t& index)
{
    if (payloadsUsed == payloads.size())
        payloads.emplace_back(kVoiceDatagramBytes);
    index = static_cast<std::uint32_t>(payloadsUsed);
    return payloads[payloadsUsed++].data();
}

namespace {

bool takeToken(RelayState& state, Endpoint from, std::int64_t nowMs)
{
    auto it = state.buckets.find(from);
    if (it == state.buckets.end()) {
        // A flood of forged sources must not grow the table without bound.
        if (state.buckets.size() >= kMaxSources)
            return false;
        it = state.buckets.emplace(from, Bucket{kRateBurst, nowMs}).first;
    }
    Bucket& b = it->second;
    const double elapsed = static_cast<double>(std::max<std::int64_t>(0, nowMs - b.lastMs)) / 1000.0;
    b.tokens = std::min(kRateBurst, b.tokens + elapsed * kRatePerSecond);
    b.lastMs = nowMs;
    if (b.tokens < 1.0)
        return false;
    b.tokens -= 1.0;
    return true;
}

void queue(Outbox& out, PortKind kind, int channel, Endpoint to, std::span<const std::uint8_t> bytes)
{
    std::uint32_t index;
    std::uint8_t* p = out.newPayload(index);
    std::memcpy(p, bytes.data(), bytes.size());
    out.datagrams.push_back({kind, static_cast<std::uint8_t>(channel), static_cast<std::uint16_t>(bytes.size()), index, to});
}

void notifyPeer(RelayState& state, int channel, Endpoint except, std::uint8_t code, std::uint16_t account, Outbox& out)
{
    std::uint8_t notice[kPeerStateBytes];
    const std::size_t n = buildPeerState(notice, code, account);
    sendToChannel(state, channel, except, std::span<const std::uint8_t>(notice, n), out);
}

void removeFromChannel(RelayState& state, int channel, Endpoint who)
{
    auto& list = state.channelMembers[channel];
    if (auto it = std::find(list.begin(), list.end(), who); it != list.end()) {
        *it = list.back();
        list.pop_back();
    }
    Floor& floor = state.floors[channel];
    if (floor.held && floor.holder == who)
        floor.held = false;
}

void handlePresence(RelayState& state, int channel, Endpoint from, std::uint16_t account, std::int64_t nowMs,
                    Outbox& out)
{
    auto it = state.members.find(from);
    if (it == state.members.end()) {
        if (state.members.size() >= kMaxMembers) {
            ++state.counters.malformed;
            return;
        }
        Member m;
        m.channel = channel;
        m.accountNumber = account;
        m.lastPresenceMs = nowMs;
        m.joinedMs = nowMs;
        m.joinOrder = ++state.joinCounter;
        state.members.emplace(from, m);
        state.channelMembers[channel].push_back(from);
        state.membersByIp[from.ip].push_back(from);
        notifyPeer(state, channel, from, kPeerJoined, account, out);
        return;
    }
    Member& m = it->second;
    m.lastPresenceMs = nowMs;
    m.accountNumber = account;  // the login may replace the guest number at any time
    if (m.channel != channel) {
        const int old = m.channel;
        removeFromChannel(state, old, from);
        notifyPeer(state, old, from, kPeerLeft, account, out);
        m.channel = channel;
        m.joinedMs = nowMs;
        m.joinOrder = ++state.joinCounter;
        state.channelMembers[channel].push_back(from);
        notifyPeer(state, channel, from, kPeerJoined, account, out);
    }
}

bool allZero(const std::uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

void handleVoice(RelayState& state, int channel, Endpoint from, const ClientDatagram& voice, std::int64_t nowMs,
                 Outbox& out)
{
    auto it = state.members.find(from);
    if (it == state.members.end() || it->second.channel != channel) {
        ++state.counters.notMember;
        return;
    }
    Floor& floor = state.floors[channel];
    if (floor.held && !(floor.holder == from) && nowMs - floor.lastVoiceMs < kFloorReleaseMs) {
        ++state.counters.floorBusy;
        return;
    }
    floor.held = true;
    floor.holder = from;
    floor.lastVoiceMs = nowMs;

    Member& m = it->second;
    std::uint8_t relayed[kVoiceDatagramBytes];
    const bool silent = allZero(voice.payload, kVoicePayloadBytes);
    const std::size_t n = buildServerVoice(
        relayed, kTypeVoice, m.relaySequence, m.accountNumber,
        silent ? std::span<const std::uint8_t>() : std::span<const std::uint8_t>(voice.payload, kVoicePayloadBytes));
    m.relaySequence = static_cast<std::uint8_t>(m.relaySequence + 1);
    sendToChannel(state, channel, from, std::span<const std::uint8_t>(relayed, n), out);
}

// The member a control request stands for: same IP, most recently joined, the control port's
// channel first.
const Member* memberForControl(const RelayState& state, int channel, std::uint32_t ip)
{
    const Member* onChannel = nullptr;
    const Member* anywhere = nullptr;
    const auto sameIp = state.membersByIp.find(ip);
    if (sameIp == state.membersByIp.end())
        return nullptr;
    for (const Endpoint& endpoint : sameIp->second) {
        const Member& member = state.members.at(endpoint);
        if (!anywhere || member.joinOrder > anywhere->joinOrder)
            anywhere = &member;
        if (member.channel == channel && (!onChannel || member.joinOrder > onChannel->joinOrder))
            onChannel = &member;
    }
    return onChannel ? onChannel : anywhere;
}

}  // namespace

void sendToChannel(RelayState& state, int channel, Endpoint except, std::span<const std::uint8_t> payload,
                   Outbox& out)
{
    const auto& list = state.channelMembers[channel];
    if (list.empty() || (list.size() == 1 && list[0] == except))
        return;
    std::uint32_t index;
    std::uint8_t* p = out.newPayload(index);
    std::memcpy(p, payload.data(), payload.size());
    for (const Endpoint& to : list) {
        if (to == except)
            continue;
        out.datagrams.push_back({PortKind::Channel, static_cast<std::uint8_t>(channel),
                                 static_cast<std::uint16_t>(payload.size()), index, to});
        ++state.counters.relayed;
    }
}

// Counts every datagram; only those for a known port and within the source's rate go on.
static bool admit(RelayState& state, int channel, Endpoint from, std::int64_t nowMs)
{
    ++state.counters.received;
    if (channel < 0 || channel >= kChannels)
        return false;
    if (!takeToken(state, from, nowMs)) {
        ++state.counters.rateLimited;
        return false;
    }
    return true;
}

void handleChannelDatagram(RelayState& state, int channel, Endpoint from, std::span<const std::uint8_t> data,
                           std::int64_t nowMs, Outbox& out)
{
    if (!admit(state, channel, from, nowMs))
        return;
    const ClientDatagram d = parseClientDatagram(data);
    switch (d.kind) {
    case ClientDatagramKind::Malformed: ++state.counters.malformed; return;
    case ClientDatagramKind::Hello: return;
    case ClientDatagramKind::Presence: handlePresence(state, channel, from, d.accountNumber, nowMs, out); return;
    case ClientDatagramKind::Voice: handleVoice(state, channel, from, d, nowMs, out); return;
    }
}

void handleControlDatagram(RelayState& state, int channel, Endpoint from, std::span<const std::uint8_t> data,
                           std::int64_t nowMs, Outbox& out)
{
    if (!admit(state, channel, from, nowMs))
        return;
    const ControlRequestKind kind = parseControlRequest(data);
    if (kind == ControlRequestKind::Malformed) {
        ++state.counters.malformed;
        return;
    }
    if (kind == ControlRequestKind::Hello)
        return;
    // Only members get answers: a forged source must not turn the server into an amplifier.
    const Member* member = memberForControl(state, channel, from.ip);
    if (!member) {
        ++state.counters.notMember;
        return;
    }
    if (kind == ControlRequestKind::List) {
        std::uint16_t accounts[kListReplyMaxEntries];
        std::size_t n = 0;
        for (const Endpoint& e : state.channelMembers[channel]) {
            if (n == kListReplyMaxEntries)
                break;
            accounts[n++] = state.members.at(e).accountNumber;
        }
        std::uint8_t reply[kListReplyMaxBytes];
        const std::size_t length = buildListReply(reply, channel, std::span<const std::uint16_t>(accounts, n));
        queue(out, PortKind::Control, channel, from, std::span<const std::uint8_t>(reply, length));
    } else {
        std::uint8_t reply[kStatusReplyBytes];
        const std::size_t length = buildStatusReply(reply, statusCodeFor(state, member->accountNumber));
        queue(out, PortKind::Control, channel, from, std::span<const std::uint8_t>(reply, length));
    }
    ++state.counters.replies;
}

void expireMembers(RelayState& state, std::int64_t nowMs, Outbox& out)
{
    for (auto it = state.members.begin(); it != state.members.end();) {
        if (nowMs - it->second.lastPresenceMs < kMemberTimeoutMs) {
            ++it;
            continue;
        }
        const int channel = it->second.channel;
        const Endpoint who = it->first;
        const std::uint16_t account = it->second.accountNumber;
        it = state.members.erase(it);
        removeFromChannel(state, channel, who);
        if (auto same = state.membersByIp.find(who.ip); same != state.membersByIp.end()) {
            auto& list = same->second;
            list.erase(std::remove(list.begin(), list.end(), who), list.end());
            if (list.empty())
                state.membersByIp.erase(same);
        }
        notifyPeer(state, channel, who, kPeerLeft, account, out);
    }
    for (auto it = state.buckets.begin(); it != state.buckets.end();) {
        // A bucket idle this long is full again: forgetting it changes nothing.
        if (nowMs - it->second.lastMs > kMemberTimeoutMs)
            it = state.buckets.erase(it);
        else
            ++it;
    }
}

bool setOrder(RelayState& state, std::uint16_t accountNumber, const char* order)
{
    struct Name {
        const char* name;
        std::uint8_t code;
    };
    static constexpr Name kOrders[] = {{"update", kStatusUpdate}, {"ban", kStatusBanned}, {"close", kStatusClose}};
    if (std::strcmp(order, "clear") == 0) {
        state.orders.erase(accountNumber);
        return true;
    }
    for (const Name& n : kOrders) {
        if (std::strcmp(order, n.name) == 0) {
            state.orders[accountNumber] = n.code;
            return true;
        }
    }
    return false;
}

std::uint8_t statusCodeFor(const RelayState& state, std::uint16_t accountNumber)
{
    const auto it = state.orders.find(accountNumber);
    return it == state.orders.end() ? kStatusNormal : it->second;
}

}  // namespace tamovox::voice
