// Needle angles and level bars computed from the audio being played, received or sent.
// Written by the audio and receive threads, read by the meter windows without a lock.
#pragma once

#include <cstdint>

namespace tamovox {

// Capture side: smoothed peaks and needle angles only, from the first 100 frames of the block.
void captureMeterUpdate(const std::int16_t* values);
// Playback and receive sides: needles and bars.
void playbackMeterUpdate(const std::int16_t* values);

}  // namespace tamovox
