// Reading of 16-bit PCM WAV files (the start chime, test fixtures). Pure; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tamovox {

struct WavSound {
    int sampleRate = 0;             // frames per second
    int channels = 0;               // interleaved
    std::vector<std::int16_t> samples;
};

// Parses a RIFF/WAVE image holding 16-bit linear PCM; false for anything else.
bool parseWav(std::span<const std::uint8_t> bytes, WavSound& out);
bool readWavFile(const std::string& path, WavSound& out);

}  // namespace tamovox
