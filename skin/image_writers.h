// Writers for the skin's file formats: uncompressed BMP, animated GIF, 16-bit WAV, the lamp container.
#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace skin {

std::vector<std::uint8_t> encodeBmp24(const QImage& image);
// Frames share one palette; delay in hundredths of a second; loops forever.
std::vector<std::uint8_t> encodeGif(const std::vector<QImage>& frames, int delayCentiseconds);
std::vector<std::uint8_t> encodeWav16(const std::vector<std::int16_t>& samples, int sampleRate, int channels);
// Directory of named members followed by the members, as the client reads it.
std::vector<std::uint8_t> encodeLampContainer(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& members);

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace skin
