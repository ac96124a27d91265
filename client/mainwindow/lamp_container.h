// The lamp container "mini_leds.bmf": a directory of up to 20 named BMP members.
// Pure: validates every offset and size against the file before reading. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tamovox {

inline constexpr std::uint32_t kMaxLampEntries = 20;
inline constexpr std::size_t kLampEntryBytes = 40;
inline constexpr std::size_t kLampNameBytes = 32;

struct LampEntry {
    std::string name;
    std::uint32_t offset = 0;  // from the start of the file
    std::uint32_t size = 0;    // bytes
};

// Decoded member: top-down rows of 0xAARRGGBB pixels, alpha 255.
struct LampBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// The directory, or nothing when the count exceeds 20 or the directory runs past the file.
// Entries whose member lies outside the file are kept so a lookup finds them and fails alone.
std::optional<std::vector<LampEntry>> parseLampDirectory(std::span<const std::uint8_t> file);

// First entry with exactly that name (case-sensitive).
const LampEntry* findLampEntry(const std::vector<LampEntry>& entries, const std::string& name);

// Decodes an uncompressed 24- or 32-bit BMP member, or 8-bit with a colour table.
// Nothing when the member, its pixel offset or its dimensions do not fit.
std::optional<LampBitmap> decodeLampMember(std::span<const std::uint8_t> file, const LampEntry& entry);

// Decodes a whole BMP image held in memory (the same rules as a member).
std::optional<LampBitmap> decodeBmp(std::span<const std::uint8_t> bmp);

}  // namespace tamovox
