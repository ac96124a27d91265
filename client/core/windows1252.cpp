#include "core/windows1252.h"

namespace tamovox {

namespace {

// Code points of bytes 0x80..0x9F; 0 where the code page leaves the byte undefined.
constexpr char16_t kHighBytes[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char toSingleByte(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighBytes[i] != 0 && kHighBytes[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

std::string windows1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c >= 0x80 && c < 0xA0)
            appendUtf8(out, kHighBytes[c - 0x80] ? kHighBytes[c - 0x80] : U'?');
        else
            appendUtf8(out, c);
    }
    return out;
}

std::string utf8ToWindows1252(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        const int extra = b >= 0xC2 && b < 0xE0 ? 1 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xF0 && b < 0xF5 ? 3 : 0;
        char32_t cp = extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool valid = extra > 0 && in.size() - i > static_cast<std::size_t>(extra);
        for (int k = 1; valid && k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(in[i + k]);
            if ((c & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        out.push_back(toSingleByte(cp));
        i += 1 + extra;
    }
    return out;
}

}  // namespace tamovox
