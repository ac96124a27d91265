// The Opus path after the decoder: upsampler, render ring pull, decoder error texts.
#include "audio/opus_path.h"
#include "audio/audio_threads.h"
#include "audio/render_ring.h"
#include "core/shared_state.h"
#include "tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tamovox {
namespace {

using testing_audio::crossingFrequency;
using testing_audio::stereoTone;

void clearRing()
{
    shared().audio.renderWriteIndex = 0;
    shared().audio.renderReadIndex = 0;
}

TEST(Upsampler, KeepsEachChannelApartAndHoldsTheLastFrame)
{
    // Constant left and right: any mixing of the two shows as a value between them.
    std::vector<std::int16_t> in = {1000, -1000, 1000, -1000, 1000, -1000};
    std::vector<std::int16_t> out(36);
    upsampleStereo(in, out);
    for (std::size_t i = 0; i < out.size(); i += 2) {
        EXPECT_EQ(out[i], 1000) << "left value " << i;
        EXPECT_EQ(out[i + 1], -1000) << "right value " << i;
    }
    // A ramp on the left interpolates between its own frames; the last frame is held six times.
    in = {0, 7, 600, 7};
    out.assign(24, 0);
    upsampleStereo(in, out);
    const std::int16_t left[12] = {0, 100, 200, 300, 400, 500, 600, 600, 600, 600, 600, 600};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(out[2 * i], left[i]) << "frame " << i;
        EXPECT_EQ(out[2 * i + 1], 7) << "frame " << i;
    }
}

TEST(Upsampler, LeftAndRightTonesStayAtTheirPitch)
{
    const std::vector<std::int16_t> in = stereoTone(800, 8000, 440, 880);  // 100 ms
    std::vector<std::int16_t> out(in.size() * 6);
    upsampleStereo(in, out);
    EXPECT_NEAR(crossingFrequency(out, 0, 2, 48000), 440, 440 * 0.02);
    EXPECT_NEAR(crossingFrequency(out, 1, 2, 48000), 880, 880 * 0.02);
}

TEST(RenderRing, TwentyMillisecondsGiveNineHundredSixtyFramesAsFloats)
{
    clearRing();
    std::vector<std::int16_t> decoded(320, 16384);
    pushUpsampled(decoded);
    EXPECT_EQ(shared().audio.renderWriteIndex, 1920);
    EXPECT_FLOAT_EQ(shared().audio.renderRing[1919], 0.5f);
}

TEST(RenderRing, PullWrapsAroundAndFillsAnUnderrunWithZeros)
{
    AudioShared& audio = shared().audio;
    // 40 values written across the end of the ring.
    audio.renderReadIndex = kRenderRingValues - 16;
    audio.renderWriteIndex = kRenderRingValues - 16;
    std::vector<std::int16_t> decoded = {3276, -3276, 3276, -3276};  // 2 frames -> 24 values
    for (int i = 0; i < 2; ++i)
        pushUpsampled(decoded);
    EXPECT_EQ(audio.renderWriteIndex, 48 - 16);
    std::vector<float> out(64, 9.0f);
    EXPECT_EQ(pullRender(32, 2, out.data()), 0);
    for (int i = 0; i < 48; ++i)
        ASSERT_NEAR(out[static_cast<std::size_t>(i)], i % 2 == 0 ? 0.1 : -0.1, 1e-4) << "value " << i;
    for (int i = 48; i < 64; ++i)
        ASSERT_EQ(out[static_cast<std::size_t>(i)], 0.0f) << "value " << i;
    EXPECT_EQ(audio.renderReadIndex, 32);
    // Empty ring: the whole request is silence.
    std::vector<float> again(10, 9.0f);
    pullRender(5, 2, again.data());
    for (float v : again)
        EXPECT_EQ(v, 0.0f);
}

// Simulates the render thread's wakes against a device that plays half its buffer between them.
TEST(RenderSchedule, AJitteryStreamPlaysWithoutGapsAndSilenceCostsNothing)
{
    constexpr int kBuffer = 48000;
    constexpr int kWake = kBuffer / 2;
    RenderSchedule schedule;
    int padding = 0, ring = 0, gaps = 0, idleWrites = 0;
    bool started = false;
    const int arrivals[] = {0, 0, 9000, 23000, 25500, 22500, 26000, 21000, 25000, 24000, 23500, 24500, 0, 0, 0};
    for (int arrived : arrivals) {
        SCOPED_TRACE(testing::Message() << "ring " << ring << " padding " << padding);
        ring += arrived;
        padding = std::max(0, padding - kWake);
        const bool wasStreaming = schedule.streaming;
        const RenderWrite write = planRenderWrite(schedule, kBuffer, padding, ring);
        ASSERT_GE(write.silenceFrames, 0);
        ASSERT_GE(write.ringFrames, 0);
        if (!wasStreaming && !schedule.streaming && write.ringFrames == 0 && write.silenceFrames > 0)
            ++idleWrites;
        if (write.ringFrames > 0)
            started = true;
        if (write.ringFrames > ring && arrived > 0)
            ++gaps;  // silence pulled into the middle of the stream
        if (started && wasStreaming && arrived > 0) {
            EXPECT_EQ(write.silenceFrames, 0);
        }
        ring = std::max(0, ring - write.ringFrames);
        padding += write.silenceFrames + write.ringFrames;
        if (schedule.streaming) {
            ASSERT_GT(padding, kWake) << "the device would run dry before the next wake";
        }
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(gaps, 0);
    EXPECT_EQ(idleWrites, 0) << "nothing is written outside a stream";
    EXPECT_EQ(ring, 0) << "the stream's end is played";

    // One short packet and nothing after it: it waits a wake for more, then plays behind silence.
    RenderSchedule quiet;
    EXPECT_EQ(planRenderWrite(quiet, kBuffer, 0, 960).silenceFrames, 0);
    RenderWrite start = planRenderWrite(quiet, kBuffer, 0, 960);
    EXPECT_EQ(start.silenceFrames, kBuffer * 6 / 10);
    EXPECT_EQ(planRenderWrite(quiet, kBuffer, start.silenceFrames - kWake, 960).ringFrames, kWake);
}

TEST(OpusDecoder, ErrorTexts)
{
    struct Case {
        int code;
        const char* text;
    } cases[] = {
        {-1, "Erreur : argument invalide\n"},
        {-2, "Erreur : myRingBuffer trop petit\n"},
        {-3, "Erreur interne Opus\n"},
        {-4, "Erreur : paquet Opus invalide/corrompu\n"},
        {-5, "Erreur : fonctionnalité non implémentée\n"},
        {-6, "Erreur : état du décodeur invalide\n"},
        {-7, "Erreur : allocation mémoire échouée\n"},
        {-8, "Erreur inconnue : -8\n"},
        {-123, "Erreur inconnue : -123\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(opusErrorText(c.code), c.text);
    }
}

TEST(OpusDecoder, AbsentDecoderDropsSilently)
{
    destroyOpusDecoder();
    std::int16_t out[1000];
    const std::uint8_t packet[3] = {0xFC, 0xFF, 0xFE};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(decodeOpusPacket(packet, 3, out), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace tamovox
