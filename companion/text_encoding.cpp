#include "text_encoding.h"

#include <cstdint>

namespace companion {

namespace {
// Code points of 0x80..0x9F; 0 where Windows-1252 leaves the byte undefined.
constexpr char32_t kHighTable[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
}  // namespace

std::string cp1252ToUtf8(std::string_view text)
{
    std::string out;
    for (unsigned char b : text) {
        char32_t c = b;
        if (b >= 0x80 && b < 0xA0)
            c = kHighTable[b - 0x80] ? kHighTable[b - 0x80] : U'?';
        appendUtf8(out, c);
    }
    return out;
}

std::string utf8ToCp1252(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t c;
        std::size_t length;
        if (b < 0x80) {
            c = b;
            length = 1;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < text.size()) {
            c = (b & 0x1F) << 6 | (text[i + 1] & 0x3F);
            length = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < text.size()) {
            c = (b & 0x0F) << 12 | (text[i + 1] & 0x3F) << 6 | (text[i + 2] & 0x3F);
            length = 3;
        } else {
            c = U'?';
            length = (b & 0xF8) == 0xF0 ? 4 : 1;
        }
        i += length;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHighTable[k] == c)
                mapped = static_cast<char>(0x80 + k);
        out += mapped;
    }
    return out;
}

}  // namespace companion
