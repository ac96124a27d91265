// Controls of the in-memory sound backend, for unit tests only: a sound server that can be made
// absent, device volumes, and capture blocks that the test finishes by hand.
#pragma once

#include "platform/audio_backend.h"

#include <cstdint>

namespace tamovox::memory_audio {

void setServerPresent(bool present);             // absent: every open and volume call fails
void setVolume(VolumeTarget target, float volume);
float volume(VolumeTarget target);
// Writes bytes into block index of the open capture stream and marks it finished with that count.
void finishCaptureBlock(int index, const std::uint8_t* data, int bytes);
int playbackBuffersWritten();

}  // namespace tamovox::memory_audio
