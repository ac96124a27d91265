// Needle angles and level bars computed from the audio being played, received or sent.
// Written by the audio and receive threads, read by the meter windows without a lock.
#pragma once

#include <cstdint>

namespace tamovox {

inline constexpr int kMeterFramesMeasured = 100;  // only the start of a block moves the meters
inline constexpr int kMeterAngleSilence = 218;    // degrees
inline constexpr int kMeterAngleSpan = 102;

struct BlockPeaks {
    int left = 0;
    int right = 0;
};
// Largest magnitudes of the first 100 frames (200 interleaved values); -32768 never counts.
BlockPeaks peakOfBlock(const std::int16_t* values);

// Capture side: smoothed peaks and needle angles only, from the first 100 frames of the block.
void captureMeterUpdate(const std::int16_t* values);
// Playback and receive sides: needles and bars.
void playbackMeterUpdate(const std::int16_t* values);
void receiveMeterUpdate(const std::int16_t* values);

}  // namespace tamovox
