// The receive thread's dispatch: sequence windows, PCM and Opus routing, lamps, short datagrams.
#include "audio/opus_path.h"
#include "audio/audio_threads.h"
#include "core/shared_state.h"
#include "tone.h"
#include "transport/datagrams.h"
#include "transport/receive_thread.h"

#include <gtest/gtest.h>
#include <opus/opus.h>

#include <array>
#include <cstring>
#include <vector>

namespace tamovox {
namespace {

struct SequenceCase {
    const char* name;
    std::vector<int> sequences;
    bool lastAccepted;
    int errorCount;
};

TEST(SequenceCheck, RepeatsGapsWrapAndWindow)
{
    std::vector<int> window;  // 100 datagrams with one gap, then the 101st in order
    for (int s = 1; s <= 50; ++s)
        window.push_back(s);
    for (int s = 52; s <= 101; ++s)
        window.push_back(s);
    window.push_back(102);
    std::vector<int> beforeReset(window.begin(), window.end() - 1);
    const SequenceCase cases[] = {
        {"first datagram 0 repeats the initial value", {0}, false, 1},
        {"first datagram 1 is in order", {1}, true, 0},
        {"7 then 7: dropped, counted", {1, 2, 3, 4, 5, 6, 7, 7}, false, 1},
        {"7 then 9: played, counted", {1, 2, 3, 4, 5, 6, 7, 9}, true, 1},
        {"255 then 0 is in order", {255, 0}, true, 1},  // the jump to 255 is the one gap
        {"a window of 100 keeps its errors", beforeReset, true, 1},
        {"the 101st datagram resets the window", window, true, 0},
    };
    for (const SequenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        SequenceState state;
        bool accepted = false;
        for (int s : c.sequences)
            accepted = checkSequence(state, static_cast<std::uint8_t>(s));
        EXPECT_EQ(accepted, c.lastAccepted);
        EXPECT_EQ(state.errorCount, c.errorCount);
    }
}

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = ReceiveState{};
        startReceiving(state);
        setManualPushToTalk(kPttReleased);
        shared().channel.channelPort = 30000;
        shared().audio.receivedAudioKind = 0;
        shared().channel.talkerId = 0;
        shared().lamps.voiceLink = 0;
        shared().lamps.receptionErrorCount = 99;
        for (auto& lamp : shared().lamps.activity)
            lamp = 5;
    }

    // Copies a datagram into the receive buffer as recvfrom would, then dispatches it.
    void receive(std::span<const std::uint8_t> datagram)
    {
        std::memcpy(state.buffer, datagram.data(), datagram.size());
        dispatchDatagram(state, datagram.size());
    }
    void receivePcm(std::uint8_t type, std::uint8_t sequence, std::int16_t value, std::uint16_t talker = 4242)
    {
        std::array<std::uint8_t, 1000> payload;
        for (std::size_t i = 0; i < 500; ++i)
            std::memcpy(&payload[2 * i], &value, 2);
        std::array<std::uint8_t, kVoiceDatagramBytes> d{};
        std::size_t n = buildServerVoice(d, type, sequence, talker, payload);
        receive(std::span(d.data(), n));
    }
    std::int16_t slotValue(int slot, int index = 0)
    {
        std::int16_t v;
        std::memcpy(&v, &shared().audio.playoutBuffer[slot][2 * index], 2);
        return v;
    }

    ReceiveState state;
};

TEST_F(Dispatch, QuietTypeIsSoftOnlyOnTheLastChannel)
{
    struct Case {
        std::uint8_t type;
        int channelPort;
        std::int16_t played;
    } cases[] = {{kTypeVoiceQuiet, 30010, 1234}, {kTypeVoiceQuiet, 30009, 12345}, {kTypeVoice, 30010, 12345}};
    std::uint8_t sequence = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channelPort);
        shared().channel.channelPort = c.channelPort;
        const int slot = shared().audio.playoutWriteIndex;
        receivePcm(c.type, sequence++, 12345);
        EXPECT_EQ(slotValue(slot), c.played);
        EXPECT_EQ(slotValue(slot, 499), c.played);
    }
    EXPECT_EQ(shared().audio.receivedAudioKind, 1);
    EXPECT_EQ(shared().channel.talkerId, 4242);
    EXPECT_EQ(shared().lamps.receptionErrorCount, 0);
}

TEST_F(Dispatch, ShortDatagramCarriesSilenceNotTheEarlierVoice)
{
    receivePcm(kTypeVoice, 1, 20000);
    ASSERT_EQ(slotValue(5), 20000);
    // A 30-byte "A" that claims samples: its missing payload must not be the previous datagram's.
    std::array<std::uint8_t, 30> shortOne{};
    shortOne[0] = kTypeVoice;
    shortOne[1] = 2;
    shortOne[7] = kContentSamples;
    receive(shortOne);
    EXPECT_EQ(shared().audio.playoutWriteIndex, 7);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(slotValue(6, i), 0) << "value " << i;
}

TEST_F(Dispatch, SilenceOtherFlagsPeerStateAndLamps)
{
    shared().audio.markedLamp = 3;
    receivePcm(kTypeVoice, 1, 100);
    EXPECT_EQ(shared().lamps.activity[3], 3) << "marked lamp green while listening";
    EXPECT_EQ(shared().lamps.voiceLink, 5) << "first accepted datagram: blue";
    shared().audio.receivedAudioKind = 2;
    std::array<std::uint8_t, kVoiceDatagramBytes> d{};
    receive(std::span(d.data(), buildServerVoice(d, kTypeVoice, 2, 7, {})));  // silence: 24 bytes, flag 0
    EXPECT_EQ(shared().audio.playoutWriteIndex, 7);
    EXPECT_EQ(shared().audio.receivedAudioKind, 2);
    d[1] = 3;
    d[7] = 2;  // neither silence nor samples
    receive(std::span(d.data(), 24));
    EXPECT_EQ(shared().audio.playoutWriteIndex, 7);
    EXPECT_EQ(shared().channel.talkerId, 7);
    std::array<std::uint8_t, kPeerStateBytes> peer{};
    shared().lamps.peer = 1;
    receive(std::span(peer.data(), buildPeerState(peer, kPeerJoined, 99)));
    EXPECT_EQ(shared().lamps.peer, 5);
    EXPECT_EQ(state.sequence.lastSequence, 3) << "peer state has no sequence";
    for (std::uint8_t s = 4; s <= 6; ++s)
        receivePcm(kTypeVoice, s, 1);
    EXPECT_EQ(shared().lamps.voiceLink, 3) << "sixth accepted datagram: green";
    // Talking: still counted and the talker recorded, but no activity lamp.
    shared().lamps.activity[3] = 5;
    setManualPushToTalk(kPttPressed);
    receivePcm(kTypeVoice, 7, 1, 555);
    setManualPushToTalk(kPttReleased);
    EXPECT_EQ(shared().lamps.activity[3], 5);
    EXPECT_EQ(shared().channel.talkerId, 555);
}

TEST_F(Dispatch, OpusPacketReachesTheRenderRingAndABadOneOnlyPrints)
{
    createOpusDecoder();
    ASSERT_NE(shared().audio.opusDecoder.load(), nullptr);
    int error = 0;
    OpusEncoder* encoder = opus_encoder_create(8000, 2, OPUS_APPLICATION_AUDIO, &error);
    ASSERT_EQ(error, OPUS_OK);
    std::vector<std::int16_t> pcm = testing_audio::stereoTone(160, 8000, 440, 880);
    std::array<std::uint8_t, 255> packet{};
    int length = opus_encode(encoder, pcm.data(), 160, packet.data(), packet.size());
    opus_encoder_destroy(encoder);
    ASSERT_GT(length, 0);

    shared().audio.renderWriteIndex = 0;
    shared().audio.renderReadIndex = 0;
    std::array<std::uint8_t, kOpusDatagramMaxBytes> d{};
    receive(std::span(d.data(), buildOpusVoice(d, 1, 321, std::span(packet.data(), static_cast<std::size_t>(length)))));
    EXPECT_EQ(shared().audio.renderWriteIndex, 1920);
    EXPECT_EQ(shared().audio.receivedAudioKind, 2);
    EXPECT_EQ(shared().channel.talkerId, 321);

    // A packet that cannot decode: its message, and nothing else changes.
    shared().audio.receivedAudioKind = 1;
    const std::uint8_t bad[] = {0x03};  // code 3 packet without its frame count byte
    ::testing::internal::CaptureStdout();
    receive(std::span(d.data(), buildOpusVoice(d, 2, 999, bad)));
    std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Erreur : paquet Opus invalide/corrompu\n");
    EXPECT_EQ(shared().audio.renderWriteIndex, 1920);
    EXPECT_EQ(shared().audio.receivedAudioKind, 1);
    EXPECT_EQ(shared().channel.talkerId, 321);
    destroyOpusDecoder();
}

}  // namespace
}  // namespace tamovox
