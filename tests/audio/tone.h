// Test helpers: stereo tones and a frequency estimate from zero crossings.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace tamovox::testing_audio {

// Interleaved stereo at `rate`, left at leftHz and right at rightHz (0 for silence).
inline std::vector<std::int16_t> stereoTone(int frames, int rate, double leftHz, double rightHz, double amplitude = 12000)
{
    std::vector<std::int16_t> v(static_cast<std::size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        v[2 * i] = static_cast<std::int16_t>(amplitude * std::sin(2 * M_PI * leftHz * i / rate));
        v[2 * i + 1] = static_cast<std::int16_t>(amplitude * std::sin(2 * M_PI * rightHz * i / rate));
    }
    return v;
}

// Frequency of one channel of interleaved values (stride = channel count) from its rising zero crossings.
template <typename T>
double crossingFrequency(const std::vector<T>& values, int channel, int stride, int rate)
{
    int first = -1, last = -1, count = 0;
    const int frames = static_cast<int>(values.size()) / stride;
    for (int i = 1; i < frames; ++i) {
        if (values[static_cast<std::size_t>((i - 1) * stride + channel)] < 0 && values[static_cast<std::size_t>(i * stride + channel)] >= 0) {
            if (first < 0)
                first = i;
            last = i;
            ++count;
        }
    }
    if (count < 2)
        return 0.0;
    return static_cast<double>(count - 1) * rate / (last - first);
}

}  // namespace tamovox::testing_audio
