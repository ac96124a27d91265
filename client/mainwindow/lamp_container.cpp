#include "mainwindow/lamp_container.h"

#include <cstring>

namespace tamovox {

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::int64_t kMaxBmpSide = 4096;

std::uint32_t le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

}  // namespace

std::optional<std::vector<LampEntry>> parseLampDirectory(std::span<const std::uint8_t> file)
{
    if (file.size() < 4)
        return std::nullopt;
    const std::uint32_t count = le32(file.data());
    if (count > kMaxLampEntries || 4 + count * kLampEntryBytes > file.size())
        return std::nullopt;
    std::vector<LampEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* raw = file.data() + 4 + i * kLampEntryBytes;
        LampEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(raw), strnlen(reinterpret_cast<const char*>(raw), kLampNameBytes));
        entry.offset = le32(raw + 32);
        entry.size = le32(raw + 36);
        entries.push_back(std::move(entry));
    }
    return entries;
}

const LampEntry* findLampEntry(const std::vector<LampEntry>& entries, const std::string& name)
{
    for (const LampEntry& entry : entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

std::optional<LampBitmap> decodeBmp(std::span<const std::uint8_t> bmp)
{
    if (bmp.size() < kFileHeaderBytes + 40 || bmp[0] != 'B' || bmp[1] != 'M')
        return std::nullopt;
    const std::uint32_t pixelOffset = le32(bmp.data() + 10);
    const std::uint8_t* info = bmp.data() + kFileHeaderBytes;
    const std::uint32_t infoSize = le32(info);
    if (infoSize < 40 || infoSize > bmp.size() - kFileHeaderBytes)
        return std::nullopt;
    const std::int32_t width = static_cast<std::int32_t>(le32(info + 4));
    const std::int32_t rawHeight = static_cast<std::int32_t>(le32(info + 8));
    const std::uint16_t bits = le16(info + 14);
    const std::uint32_t compression = le32(info + 16);
    const std::uint32_t paletteUsed = le32(info + 32);
    // Bit fields with 32-bit pixels lay them out as plain BGRA for the usual masks.
    if (compression != 0 && !(compression == 3 && bits == 32))
        return std::nullopt;
    const bool topDown = rawHeight < 0;
    const std::int64_t height = topDown ? -static_cast<std::int64_t>(rawHeight) : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxBmpSide || height > kMaxBmpSide)
        return std::nullopt;
    if (bits != 8 && bits != 24 && bits != 32)
        return std::nullopt;

    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    const std::size_t pixelBytes = stride * static_cast<std::size_t>(height);
    if (pixelOffset < kFileHeaderBytes + infoSize || pixelOffset > bmp.size() || pixelBytes > bmp.size() - pixelOffset)
        return std::nullopt;

    std::uint32_t palette[256] = {};
    if (bits == 8) {
        const std::size_t colours = paletteUsed == 0 ? 256 : paletteUsed;
        const std::size_t paletteStart = kFileHeaderBytes + infoSize;
        if (colours > 256 || paletteStart + colours * 4 > pixelOffset)
            return std::nullopt;
        for (std::size_t i = 0; i < colours; ++i) {
            const std::uint8_t* c = bmp.data() + paletteStart + i * 4;
            palette[i] = 0xFF000000u | std::uint32_t(c[2]) << 16 | std::uint32_t(c[1]) << 8 | c[0];
        }
    }

    LampBitmap out;
    out.width = width;
    out.height = static_cast<int>(height);
    out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int64_t y = 0; y < height; ++y) {
        const std::int64_t sourceRow = topDown ? y : height - 1 - y;
        const std::uint8_t* row = bmp.data() + pixelOffset + static_cast<std::size_t>(sourceRow) * stride;
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint32_t argb;
            if (bits == 8) {
                argb = palette[row[x]];
            } else {
                const std::uint8_t* p = row + static_cast<std::size_t>(x) * (bits / 8);
                argb = 0xFF000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
            }
            out.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = argb;
        }
    }
    return out;
}

std::optional<LampBitmap> decodeLampMember(std::span<const std::uint8_t> file, const LampEntry& entry)
{
    if (entry.offset > file.size() || entry.size > file.size() - entry.offset)
        return std::nullopt;
    return decodeBmp(file.subspan(entry.offset, entry.size));
}

}  // namespace tamovox
