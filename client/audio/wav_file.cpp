#include "audio/wav_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace tamovox {

namespace {
std::uint32_t le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
}  // namespace

bool parseWav(std::span<const std::uint8_t> bytes, WavSound& out)
{
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    std::size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        const std::uint8_t* chunk = bytes.data() + pos;
        const std::uint32_t size = le32(chunk + 4);
        const std::size_t body = pos + 8;
        if (size > bytes.size() - body)
            return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16)
                return false;
            const std::uint16_t tag = le16(chunk + 8);
            out.channels = le16(chunk + 10);
            out.sampleRate = static_cast<int>(le32(chunk + 12));
            const std::uint16_t bits = le16(chunk + 22);
            if (tag != 1 || bits != 16 || out.channels < 1 || out.channels > 8 || out.sampleRate < 1000 || out.sampleRate > 192000)
                return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return false;
            out.samples.resize(size / 2);
            for (std::size_t i = 0; i < out.samples.size(); ++i)
                out.samples[i] = static_cast<std::int16_t>(le16(bytes.data() + body + 2 * i));
            return true;
        }
        pos = body + size + (size & 1);  // chunks are padded to even sizes
    }
    return false;
}

bool readWavFile(const std::string& path, WavSound& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parseWav(bytes, out);
}

}  // namespace tamovox
