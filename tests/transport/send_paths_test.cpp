// Presence rotation and pacing, the voice sequence and the transmit chase, without real time.
#include "core/shared_state.h"
#include "transport/send_paths.h"
#include "transport/voice_link.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstring>
#include <vector>

namespace tamovox {
namespace {

struct Sent {
    std::size_t length;
    int port;
    char variant;
    std::uint8_t account[2];
};
std::vector<Sent> g_sent;
std::vector<int> g_sleeps;

void recordSend(const std::uint8_t* data, std::size_t length, int port)
{
    g_sent.push_back({length, port, static_cast<char>(data[9]), {data[3], data[4]}});
}

// Switches to channel 3 after the third datagram, back to channel 0 after the fifth.
void recordSleep(int ms)
{
    g_sleeps.push_back(ms);
    if (g_sleeps.size() == 3)
        shared().channel.channelPort = 30003;
    if (g_sleeps.size() == 5)
        shared().channel.channelPort = 30000;
}

TEST(Presence, RotatesNDVAndPacesByChannel)
{
    std::snprintf(shared().identity.machineId, sizeof shared().identity.machineId, "%s", "0123456789012345");
    shared().channel.channelPort = 30000;
    PresenceRotation rotation;
    presenceLoop(rotation, recordSend, recordSleep, 7);
    struct Want {
        std::size_t length;
        int port;
        char variant;
        int sleep;
    };
    const Want want[] = {{26, 30000, 'N', 20}, {27, 30000, 'D', 20}, {14, 30000, 'V', 20}, {26, 30003, 'N', 15},
                         {27, 30003, 'D', 15}, {14, 30000, 'V', 20}, {26, 30000, 'N', 20}};
    ASSERT_EQ(g_sent.size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(g_sent[i].length, want[i].length);
        EXPECT_EQ(g_sent[i].port, want[i].port);
        EXPECT_EQ(g_sent[i].variant, want[i].variant);
        EXPECT_EQ(g_sleeps[i], want[i].sleep);
        // Guest account until the lookup answers, low byte first.
        EXPECT_EQ(g_sent[i].account[0], 0xF8);
        EXPECT_EQ(g_sent[i].account[1], 0x4C);
    }
}

TEST(VoiceSender, SequenceStartsAtOneAndWraps)
{
    VoiceSender sender;
    std::int16_t block[kVoiceBlockValues] = {};
    std::vector<int> sequences;
    for (int i = 0; i < 257; ++i) {
        ASSERT_EQ(nextVoiceDatagram(sender, 513, block), 1024u);
        sequences.push_back(sender.datagram[1]);
    }
    EXPECT_EQ(sequences[0], 1);
    EXPECT_EQ(sequences[254], 255);
    EXPECT_EQ(sequences[255], 0);
    EXPECT_EQ(sequences[256], 1);
    EXPECT_EQ(sender.datagram[3], 0x01);
    EXPECT_EQ(sender.datagram[4], 0x02);
}

TEST(VoiceSender, ChaseStepsDownEveryThirdDatagram)
{
    TransmitChase chase;
    int position = 15;
    std::atomic<int> lamps[kActivityLamps];
    for (auto& l : lamps)
        l = 5;
    std::vector<int> lit;  // the green lamp after each datagram, -1 for no change
    for (int i = 1; i <= 51; ++i) {
        const int before = lamps[0] + 10 * lamps[15];
        advanceTransmitChase(chase, position, lamps);
        int green = -1;
        for (int k = 0; k < kActivityLamps; ++k)
            if (lamps[k] == 3)
                green = k;
        if (i % 3 != 0) {
            EXPECT_EQ(lamps[0] + 10 * lamps[15], before) << "datagram " << i;
            continue;
        }
        lit.push_back(green);
        for (int k = 0; k < kActivityLamps; ++k)
            if (k != green) {
                EXPECT_EQ(lamps[k], 2);
            }
    }
    // 15, 14, ..., 0, then 15 again on the 51st datagram.
    ASSERT_EQ(lit.size(), 17u);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(lit[k], 15 - k);
    EXPECT_EQ(lit[16], 15);
}

TEST(VoiceServerAddress, OnlyDottedIpv4Literals)
{
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {{"127.0.0.1", true}, {"10.1.2.3", true}, {"localhost", false}, {"::1", false},
                          {"1.2.3.4 ", false}, {"1.2.3", false}, {"", false}, {"256.1.1.1", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        in_addr a{};
        EXPECT_EQ(parseVoiceServerAddress(c.text, a), c.ok);
    }
}

}  // namespace
}  // namespace tamovox
