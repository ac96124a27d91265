// The voice server's protocol logic driven directly: membership, relay, floor, replies, limits.
#include "relay.h"

#include "transport/datagrams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tamovox::voice {
namespace {

std::vector<std::uint8_t> presence(std::uint16_t account)
{
    std::uint8_t d[kPresenceBufferBytes];
    const std::size_t n = buildPresence(d, PresenceVariant::N, account, "", "0.7.9");
    return {d, d + n};
}

std::vector<std::uint8_t> voice(std::uint16_t account, std::uint8_t fill)
{
    std::vector<std::uint8_t> d(kVoiceDatagramBytes);
    buildVoice(std::span<std::uint8_t, kVoiceDatagramBytes>(d.data(), d.size()), 9, account, nullptr);
    std::memset(d.data() + 24, fill, 1000);
    return d;
}

struct RelayFixture : ::testing::Test {
    RelayState state;
    Outbox out;
    const Endpoint a{0x7F000101, 4000}, b{0x7F000102, 4000}, c{0x7F000103, 4000};

    void join(Endpoint who, int channel, std::uint16_t account, std::int64_t now)
    {
        handleChannelDatagram(state, channel, who, presence(account), now, out);
    }
    // Destinations of the queued datagrams whose first byte is type.
    std::vector<Endpoint> sentTo(std::uint8_t type) const
    {
        std::vector<Endpoint> to;
        for (const OutDatagram& d : out.datagrams)
            if (out.payloads[d.payload][0] == type)
                to.push_back(d.to);
        return to;
    }
    const std::uint8_t* firstOf(std::uint8_t type) const
    {
        for (const OutDatagram& d : out.datagrams)
            if (out.payloads[d.payload][0] == type)
                return out.payloads[d.payload].data();
        return nullptr;
    }
};

TEST_F(RelayFixture, VoiceGoesToTheOtherMembersRewritten)
{
    join(a, 4, 513, 0);
    join(b, 4, 514, 0);
    join(c, 4, 515, 0);
    join({0x7F000104, 1}, 5, 516, 0);  // another channel hears nothing
    out.clear();
    handleChannelDatagram(state, 4, a, voice(513, 0x11), 10, out);
    EXPECT_EQ(sentTo(kTypeVoice), (std::vector<Endpoint>{b, c}));
    const std::uint8_t* d = firstOf(kTypeVoice);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(out.datagrams[0].length, 1024);
    EXPECT_EQ(d[1], 1);  // the talker's own stream starts at 1
    EXPECT_EQ(d[3] | (d[4] << 8), 513);
    EXPECT_EQ(d[7], kContentSamples);
    EXPECT_EQ(d[24], 0x11);
    out.clear();
    handleChannelDatagram(state, 4, a, voice(513, 0), 40, out);  // all zeros: short silence
    ASSERT_EQ(out.datagrams.size(), 2u);
    EXPECT_EQ(out.datagrams[0].length, kVoiceHeaderBytes);
    EXPECT_EQ(firstOf(kTypeVoice)[1], 2);
    EXPECT_EQ(firstOf(kTypeVoice)[7], kContentSilence);
}

TEST_F(RelayFixture, FloorIsHeldUntil250MsOfSilence)
{
    join(a, 0, 1, 0);
    join(b, 0, 2, 0);
    join(c, 0, 3, 0);
    struct Step {
        Endpoint talker;
        std::int64_t at;
        bool relayed;
    };
    const Step steps[] = {{a, 100, true}, {b, 110, false}, {a, 131, true}, {b, 380, false},
                          {b, 381, true}, {a, 400, false}, {b, 420, true}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.at);
        out.clear();
        handleChannelDatagram(state, 0, s.talker, voice(7, 1), s.at, out);
        EXPECT_EQ(!sentTo(kTypeVoice).empty(), s.relayed);
    }
    EXPECT_EQ(state.counters.floorBusy, 3u);
}

TEST_F(RelayFixture, MembershipJoinsMovesAndExpiresWithPeerNotices)
{
    join(a, 2, 513, 0);
    out.clear();
    join(b, 2, 514, 0);
    ASSERT_EQ(sentTo(kTypePeerState), (std::vector<Endpoint>{a}));
    EXPECT_EQ(firstOf(kTypePeerState)[1], kPeerJoined);
    EXPECT_EQ(firstOf(kTypePeerState)[3] | (firstOf(kTypePeerState)[4] << 8), 514);
    join(c, 3, 515, 0);
    out.clear();
    join(b, 3, 514, 500);  // moves: leaves channel 2 at once, joins 3
    ASSERT_EQ(out.datagrams.size(), 2u);
    EXPECT_EQ(out.datagrams[0].to, a);
    EXPECT_EQ(out.payloads[out.datagrams[0].payload][1], kPeerLeft);
    EXPECT_EQ(out.datagrams[1].to, c);
    EXPECT_EQ(out.payloads[out.datagrams[1].payload][1], kPeerJoined);
    EXPECT_EQ(state.channelMembers[2].size(), 1u);
    // c keeps sending presence, a and b fall silent.
    join(c, 3, 515, 1900);
    out.clear();
    expireMembers(state, 2100, out);
    EXPECT_EQ(state.members.size(), 2u);  // a, silent since 0, is gone
    expireMembers(state, 2600, out);
    EXPECT_EQ(state.members.count(c), 1u);
    EXPECT_EQ(state.members.size(), 1u);
    EXPECT_EQ(sentTo(kTypePeerState), (std::vector<Endpoint>{c}));  // b's leave, told to c
}

TEST_F(RelayFixture, ControlRepliesOnlyToMembersIps)
{
    join(a, 4, 513, 0);
    join(b, 4, 19704, 0);
    const Endpoint aControl{a.ip, 5000};  // the control socket: same IP, other port
    const std::uint8_t list[] = {0x4C, 0, 0};
    const std::uint8_t status[] = {0x41, 1, 0};
    out.clear();
    handleControlDatagram(state, 4, aControl, list, 10, out);
    ASSERT_EQ(out.datagrams.size(), 1u);
    EXPECT_EQ(out.datagrams[0].kind, PortKind::Control);
    EXPECT_EQ(out.datagrams[0].to, aControl);
    const std::uint8_t* reply = out.payloads[out.datagrams[0].payload].data();
    EXPECT_EQ(std::vector<std::uint8_t>(reply, reply + out.datagrams[0].length),
              (std::vector<std::uint8_t>{0x4C, 4, 2, 0x01, 0x02, 0xF8, 0x4C}));
    struct Case {
        const char* order;
        std::uint8_t code;
    };
    const Case cases[] = {{"update", 220}, {"ban", 230}, {"close", 240}, {"clear", 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        ASSERT_TRUE(setOrder(state, 513, c.order));
        out.clear();
        handleControlDatagram(state, 4, aControl, status, 20, out);
        ASSERT_EQ(out.datagrams.size(), 1u);
        EXPECT_EQ(out.payloads[out.datagrams[0].payload][2], c.code);
    }
    EXPECT_FALSE(setOrder(state, 513, "explode"));
    // A forged or foreign source gets nothing.
    out.clear();
    handleControlDatagram(state, 4, {0x0A000001, 5000}, list, 30, out);
    EXPECT_TRUE(out.datagrams.empty());
    EXPECT_EQ(state.counters.notMember, 1u);
}

TEST_F(RelayFixture, BadInputIsCountedAndRateLimited)
{
    join(a, 0, 1, 0);
    join(b, 0, 2, 0);
    out.clear();
    const std::vector<std::uint8_t> junk[] = {{}, {0x41}, std::vector<std::uint8_t>(1023, 0x41), {0x52, 0x2E, 0, 1}};
    for (const auto& j : junk)
        handleChannelDatagram(state, 0, a, j, 1, out);
    handleChannelDatagram(state, 0, c, voice(3, 1), 1, out);  // not a member
    EXPECT_EQ(state.counters.malformed, 4u);
    EXPECT_EQ(state.counters.notMember, 1u);
    EXPECT_TRUE(out.datagrams.empty());
    // A source sending far faster than any client is cut at the bucket.
    const Endpoint flood{0x7F000199, 9};
    for (int i = 0; i < 1000; ++i)
        handleChannelDatagram(state, 0, flood, presence(9), 2, out);
    EXPECT_EQ(state.counters.rateLimited, 1000u - static_cast<std::uint64_t>(kRateBurst));
    EXPECT_EQ(state.channelMembers[0].size(), 3u);
}

}  // namespace
}  // namespace tamovox::voice
