// The Opus decoder (8000 Hz stereo, created at start-up, destroyed at shutdown) and the hand-over
// of decoded audio to the render ring and the meters. Receive thread, except create and destroy.
#pragma once

#include <cstdint>
#include <string>

namespace tamovox {

inline constexpr int kOpusFrameSize = 500;  // frames per channel the decoder may produce
inline constexpr int kOpusRate = 8000;
inline constexpr int kDecodeBufferValues = 2 * kOpusFrameSize;

// The line printed on standard output for a negative decoder result.
std::string opusErrorText(int code);

// Decodes one packet (length 0..255) into 500 x 2 values; frames per channel, or a negative code
// (printed). -1 without a message when there is no decoder.
int decodeOpusPacket(const std::uint8_t* packet, int length, std::int16_t* output);

// n >= 1 decoded frames: to the render ring, then the receive-side meters (first 100 frames of
// the decode buffer), then the received audio kind becomes Opus.
void queueDecodedAudio(const std::int16_t* decodeBuffer, int frames);

}  // namespace tamovox
