#include "audio/meters.h"

#include "core/shared_state.h"

#include <cmath>

namespace tamovox {

namespace {

enum class Bars { Keep, Update };

void updateChannelNeedle(int channel, int peak)
{
    AudioShared& audio = shared().audio;
    auto smoothed = static_cast<std::int16_t>(0.8f * audio.smoothedPeak[channel].load(std::memory_order_relaxed) + 0.2f * peak);
    audio.smoothedPeak[channel].store(smoothed, std::memory_order_relaxed);
    int angle = kMeterAngleSilence - static_cast<int>(std::trunc(smoothed * (-1.0 / 32768.0) * kMeterAngleSpan));
    audio.meterAngle[channel].store(angle, std::memory_order_relaxed);
}

void updateChannelBar(int channel, int peak)
{
    AudioShared& audio = shared().audio;
    auto memory = static_cast<std::int16_t>(0.5f * peak + 0.5f * audio.barMemory[channel].load(std::memory_order_relaxed));
    audio.barMemory[channel].store(memory, std::memory_order_relaxed);
    audio.barLevel[channel].store(memory, std::memory_order_relaxed);
}

void meterUpdate(const std::int16_t* values, Bars bars)
{
    BlockPeaks peaks = peakOfBlock(values);
    updateChannelNeedle(0, peaks.left);
    updateChannelNeedle(1, peaks.right);
    if (bars == Bars::Update) {
        updateChannelBar(0, peaks.left);
        updateChannelBar(1, peaks.right);
    }
}

}  // namespace

BlockPeaks peakOfBlock(const std::int16_t* values)
{
    BlockPeaks peaks;
    std::int16_t left = 0, right = 0;
    for (int i = 0; i < 2 * kMeterFramesMeasured; i += 2) {
        // The magnitude as a 16-bit value: -32768 stays negative and never raises a peak.
        auto l = static_cast<std::int16_t>(values[i] < 0 ? -values[i] : values[i]);
        auto r = static_cast<std::int16_t>(values[i + 1] < 0 ? -values[i + 1] : values[i + 1]);
        if (l > left)
            left = l;
        if (r > right)
            right = r;
    }
    peaks.left = left;
    peaks.right = right;
    return peaks;
}

void captureMeterUpdate(const std::int16_t* values) { meterUpdate(values, Bars::Keep); }
void playbackMeterUpdate(const std::int16_t* values) { meterUpdate(values, Bars::Update); }
void receiveMeterUpdate(const std::int16_t* values) { meterUpdate(values, Bars::Update); }

}  // namespace tamovox
