// Entry points of the audio thread (capture and playback, half-duplex) and of the render
// thread (the always-open Opus path), plus the decoder's life.
#pragma once

#include <cstdint>
#include <span>

namespace tamovox {

inline constexpr int kLampMicrophoneOpen = 1;     // transmit lamp
inline constexpr int kLampMicrophoneClosed = 5;
inline constexpr int kLampNoSoundServer = 4;      // yellow: no sound server, retried every second

int audioThread();
void renderThread();
void createOpusDecoder();
void destroyOpusDecoder();

// A finished capture block as it is sent: the recorded bytes, the part the device did not fill
// as silence (never the sound of an earlier block). recorded is clamped to 0..1000.
void completeCaptureBlock(const std::uint8_t* block, int recorded, std::span<std::int16_t, 500> out);

}  // namespace tamovox
