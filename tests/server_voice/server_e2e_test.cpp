// The real tamovox-voice-server on a loopback address of the test's own, with three client sockets.
#include "voice_server_process.h"

#include "transport/datagrams.h"

#include <gtest/gtest.h>
#include <opus.h>

#include <cmath>
#include <cstring>
#include <fstream>

namespace tamovox {
namespace {

using namespace tamovox::testing;

constexpr int kChannel = 5;
constexpr int kPort = 30000 + kChannel;
// What must arrive gets a generous wait; what must not, a short one.
constexpr int kArrivalMs = 10000;

struct Client {
    int fd;
    std::uint16_t account;
};

struct ServerE2e : ::testing::Test {
    LoopbackAddress address;
    const std::string kServer = address.text();
    VoiceServerProcess server{kServer};
    Client clients[3] = {{udpSocket("127.0.3.1"), 101}, {udpSocket("127.0.3.2"), 102}, {udpSocket("127.0.3.3"), 103}};

    void SetUp() override
    {
        ASSERT_FALSE(kServer.empty()) << "no loopback address could be had";
        ASSERT_TRUE(server.running()) << server.why();
        for (const Client& c : clients)
            sendPresence(c);
        // Drain the join notices.
        for (const Client& c : clients)
            while (!receive(c.fd, 100).empty()) {
            }
    }
    void TearDown() override
    {
        for (const Client& c : clients)
            close(c.fd);
        EXPECT_EQ(server.stop(), 0);  // clean exit on SIGTERM
    }
    void sendPresence(const Client& c)
    {
        std::uint8_t d[kPresenceBufferBytes];
        const std::size_t n = buildPresence(d, PresenceVariant::D, c.account, "0123456789012345", "0.7.9");
        sendTo(c.fd, kServer, kPort, d, n);
    }
    void sendVoice(const Client& c, std::uint8_t fill)
    {
        std::int16_t block[kVoiceBlockValues];
        std::memset(block, fill, sizeof block);
        std::uint8_t d[kVoiceDatagramBytes];
        buildVoice(d, 1, c.account, block);
        sendTo(c.fd, kServer, kPort, d, sizeof d);
    }
};

TEST_F(ServerE2e, VoiceReachesTheOthersAndTheFloorIsHeld)
{
    sendVoice(clients[0], 0x21);
    for (int k : {1, 2}) {
        const auto d = receiveType(clients[k].fd, kTypeVoice, kArrivalMs);
        ASSERT_EQ(d.size(), kVoiceDatagramBytes) << k;
        EXPECT_EQ(d[3] | (d[4] << 8), 101);
        EXPECT_EQ(d[24], 0x21);
    }
    EXPECT_TRUE(receiveType(clients[0].fd, kTypeVoice, 200).empty());  // never back to the sender
    // Client 1 talks over client 0 while the floor is held: nobody hears it.
    sendVoice(clients[0], 0x22);
    sendVoice(clients[1], 0x33);
    const auto heard = receiveType(clients[2].fd, kTypeVoice, kArrivalMs);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard[24], 0x22);
    EXPECT_TRUE(receiveType(clients[2].fd, kTypeVoice, 100).empty());
    // After 250 ms of silence from client 0 the floor is free.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sendPresence(clients[0]);
    sendVoice(clients[1], 0x44);
    const auto next = receiveType(clients[2].fd, kTypeVoice, kArrivalMs);
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(next[3] | (next[4] << 8), 102);
    EXPECT_EQ(next[1], 1);  // client 1's own stream starts at 1
}

TEST_F(ServerE2e, ListAndStatusFromTheControlSocket)
{
    const int control = udpSocket("127.0.3.1");  // same IP as member 0, other port
    const std::uint8_t list[] = {0x4C, 0, 0};
    sendTo(control, kServer, kPort + 1000, list, sizeof list);
    ListReply reply;
    ASSERT_TRUE(parseListReply(receive(control, kArrivalMs), reply));
    EXPECT_EQ(reply.channelIndex, kChannel);
    ASSERT_EQ(reply.count, 3);
    std::vector<int> accounts(reply.accounts, reply.accounts + 3);
    std::sort(accounts.begin(), accounts.end());
    EXPECT_EQ(accounts, (std::vector<int>{101, 102, 103}));

    const std::uint8_t status[] = {0x41, 1, 0};
    struct Case {
        const char* order;
        int code;
    };
    const Case cases[] = {{"", 200}, {"update", 220}, {"ban", 230}, {"close", 240}, {"clear", 200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.order);
        if (*c.order) {
            ASSERT_EQ(server.ctl({"order", "101", c.order}), 0);
        }
        sendTo(control, kServer, kPort + 1000, status, sizeof status);
        EXPECT_EQ(parseStatusReply(receive(control, kArrivalMs)), c.code);
    }
    EXPECT_NE(server.ctl({"order", "101", "explode"}), 0);
    // Nobody who is not a member gets an answer.
    const int stranger = udpSocket("127.0.4.9");
    sendTo(stranger, kServer, kPort + 1000, list, sizeof list);
    EXPECT_TRUE(receive(stranger, 300).empty());
    close(stranger);
    close(control);
}

void writeSineWav(const std::string& path, int rate, int channels, double seconds, double frequency)
{
    const int frames = static_cast<int>(rate * seconds);
    std::vector<std::int16_t> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * frequency * i / rate)));
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4); u32(36 + dataBytes); f.write("WAVEfmt ", 8); u32(16); u16(1);
    u16(static_cast<std::uint16_t>(channels)); u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate * channels * 2)); u16(static_cast<std::uint16_t>(channels * 2)); u16(16);
    f.write("data", 4); u32(dataBytes);
    f.write(reinterpret_cast<const char*>(samples.data()), dataBytes);
}

TEST_F(ServerE2e, OpusStreamArrivesDecodable)
{
    const std::string wav = ::testing::TempDir() + "tamovox-voice-e2e-tone-" + std::to_string(getpid()) + ".wav";
    writeSineWav(wav, 22050, 1, 0.5, 400.0);  // mono, another rate: converted by the server
    ASSERT_EQ(server.ctl({"stream", std::to_string(kChannel), wav}), 0);
    int error = 0;
    OpusDecoder* decoder = opus_decoder_create(8000, 2, &error);
    ASSERT_EQ(error, OPUS_OK);
    int packets = 0, lastSequence = -1, crossings = 0, decodedFrames = 0;
    std::int16_t pcm[500 * 2];
    // Every packet within a generous wait, then nothing more.
    for (;;) {
        const auto d = receiveType(clients[1].fd, kTypeOpus, packets < 25 ? kArrivalMs : 500);
        if (d.empty())
            break;
        ASSERT_GE(d.size(), kVoiceHeaderBytes);
        const std::size_t length = d[5];
        ASSERT_EQ(d.size(), kVoiceHeaderBytes + length);
        EXPECT_EQ(d[3] | (d[4] << 8), 4242);  // the configured talker
        if (lastSequence >= 0) {
            EXPECT_EQ(d[1], (lastSequence + 1) & 0xFF);
        }
        lastSequence = d[1];
        const int frames = opus_decode(decoder, d.data() + 24, static_cast<opus_int32>(length), pcm, 500, 0);
        ASSERT_EQ(frames, 160);
        // Count zero crossings of the left channel after the codec has settled.
        if (packets >= 3)
            for (int i = 1; i < frames; ++i)
                crossings += (pcm[2 * (i - 1)] < 0) != (pcm[2 * i] < 0);
        if (packets >= 3)
            decodedFrames += frames;
        ++packets;
    }
    opus_decoder_destroy(decoder);
    std::remove(wav.c_str());
    EXPECT_EQ(packets, 25);  // 0.5 s in 20 ms packets
    // 400 Hz: 800 crossings a second.
    const double measured = crossings / 2.0 / (decodedFrames / 8000.0);
    EXPECT_NEAR(measured, 400.0, 20.0);
}

}  // namespace
}  // namespace tamovox
