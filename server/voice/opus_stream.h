// Streaming a sound file to a channel as Opus datagrams: 8000 Hz stereo, 20 ms frames, packets of
// at most 255 bytes. Pure apart from the encoder; the event loop's timer calls nextOpusDatagram.
#pragma once

#include "audio/wav_file.h"
#include "transport/datagrams.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct OpusEncoder;

namespace tamovox::voice {

inline constexpr int kStreamRate = 8000;
inline constexpr int kStreamFrameFrames = 160;  // 20 ms
inline constexpr int kStreamFrameMs = 20;
inline constexpr int kStreamBitrate = 32000;    // about 80 bytes a packet, far under 255
inline constexpr std::size_t kMaxStreamFrames = 8000 * 60 * 30;  // half an hour

// Any 16-bit WAV to 8000 Hz interleaved stereo (mono duplicated, more channels: first two);
// false with a reason when it cannot be used.
bool toStreamPcm(const WavSound& sound, std::vector<std::int16_t>& out, std::string& error);

struct OpusStream {
    OpusStream() = default;
    OpusStream(const OpusStream&) = delete;
    OpusStream& operator=(const OpusStream&) = delete;
    ~OpusStream();

    bool active = false;
    std::uint16_t talkerId = 0;
    std::uint8_t sequence = 1;
    std::vector<std::int16_t> pcm;  // 8000 Hz stereo
    std::size_t position = 0;       // frames already sent
    OpusEncoder* encoder = nullptr;
};

// Loads pcm into the stream and (re)creates its encoder; false with a reason.
bool startStream(OpusStream& stream, std::vector<std::int16_t> pcm, std::uint16_t talkerId, std::string& error);
void stopStream(OpusStream& stream);
// The next 20 ms as an "O" datagram; 0 at the end of the sound (the stream then stops) or on an
// encoder failure.
std::size_t nextOpusDatagram(OpusStream& stream, std::span<std::uint8_t, kOpusDatagramMaxBytes> out);

}  // namespace tamovox::voice
