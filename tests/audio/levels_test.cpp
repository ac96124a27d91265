// Meters, capture block completion and the microphone level kept across a run.
#include "audio/audio_threads.h"
#include "audio/meters.h"
#include "audio/volume.h"
#include "core/shared_state.h"
#include "platform/audio_backend_memory.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace tamovox {
namespace {

TEST(Meters, FullScaleClimbsAsSmoothedAndOnlyTheFirstHundredFramesCount)
{
    AudioShared& audio = shared().audio;
    for (int c = 0; c < 2; ++c) {
        audio.smoothedPeak[c] = 0;
        audio.barMemory[c] = 0;
    }
    std::vector<std::int16_t> block(2000);
    for (std::size_t i = 0; i < 200; ++i)
        block[i] = i % 4 < 2 ? 32767 : -32767;
    const int expected[] = {6553, 11795, 15989, 19344};
    for (int want : expected) {
        playbackMeterUpdate(block.data());
        EXPECT_EQ(audio.smoothedPeak[0], want);
        EXPECT_EQ(audio.smoothedPeak[1], want);
    }
    for (int i = 0; i < 100; ++i)
        playbackMeterUpdate(block.data());
    EXPECT_EQ(audio.smoothedPeak[0], 32763);
    EXPECT_EQ(audio.meterAngle[0], 319);
    EXPECT_EQ(audio.barLevel[1], 32766);
    // Silence at the start and loud sound after frame 100: the needles fall.
    std::vector<std::int16_t> late(2000, 0);
    for (std::size_t i = 200; i < late.size(); ++i)
        late[i] = 30000;
    for (int i = 0; i < 200; ++i)
        captureMeterUpdate(late.data());
    EXPECT_EQ(audio.meterAngle[0], 218);
    EXPECT_EQ(audio.barLevel[1], 32766) << "the capture side leaves the bars alone";
    std::vector<std::int16_t> minimum(200, -32768);
    BlockPeaks peaks = peakOfBlock(minimum.data());
    EXPECT_EQ(peaks.left, 0);
    EXPECT_EQ(peaks.right, 0);
}

TEST(CaptureBlock, UnfilledPartIsSilenceNotTheEarlierSound)
{
    std::array<std::uint8_t, 1000> device;
    device.fill(0x44);  // what an earlier, full block left in the buffer
    std::array<std::int16_t, 500> sent;
    sent.fill(-1);
    completeCaptureBlock(device.data(), 600, sent);
    EXPECT_EQ(sent[0], 0x4444);
    EXPECT_EQ(sent[299], 0x4444);
    for (std::size_t i = 300; i < sent.size(); ++i)
        ASSERT_EQ(sent[i], 0) << "value " << i;
    completeCaptureBlock(device.data(), 5000, sent);
    EXPECT_EQ(sent[499], 0x4444);
}

TEST(Knobs, ClickAnglesAndPainting)
{
    const Rect knob{100, 100, 140, 140};  // centre 120, 120
    struct Case {
        int x, y;
        float volume;
    } cases[] = {{120, 90, 0.6f}, {150, 120, 0.9f}, {120, 150, 0.0f}, {150, 150, 1.0f}, {200, 120, -1.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_NEAR(volumeOfClick(c.x, c.y, knob), c.volume, 0.01f);
    }
    EXPECT_FLOAT_EQ(knobAngleOfVolume(0.5f), 330.0f);
}

// The only test that reads the microphone level: the first read of the process is its own.
TEST(MicrophoneLevel, AStartWithoutSoundServerDoesNotMuteTheMicrophoneAtExit)
{
    memory_audio::setServerPresent(false);
    memory_audio::setVolume(VolumeTarget::Source, 0.7f);
    shared().audio.savedMicrophoneGain = getCaptureVolume();  // as at start-up
    EXPECT_EQ(shared().audio.savedMicrophoneGain, 0.0f);
    memory_audio::setServerPresent(true);
    EXPECT_FLOAT_EQ(getCaptureVolume(), 0.7f);  // the knob's painting
    setCaptureVolume(0.2f);                     // the user turns MIC GAIN
    EXPECT_FLOAT_EQ(memory_audio::volume(VolumeTarget::Source), 0.2f);
    setCaptureVolume(shared().audio.savedMicrophoneGain);  // as at exit
    EXPECT_FLOAT_EQ(memory_audio::volume(VolumeTarget::Source), 0.7f);
}

}  // namespace
}  // namespace tamovox
