#include "web/web_text.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace tamovox {

namespace {

constexpr std::size_t kMaxTagName = 63;
constexpr std::string_view kEacuteEntity = "&#xE9;";

// Code points of 0x80..0x9F in Windows-1252; 0 where the code page has no character.
std::uint8_t byteAt(std::span<const std::uint8_t> body, std::size_t offset)
{
    return offset < body.size() ? body[offset] : 0;
}

// Copies n bytes from offset, zero past the body, and terminates at the first zero.
void copyField(std::span<const std::uint8_t> body, std::size_t offset, std::size_t n, char* dest)
{
    for (std::size_t i = 0; i < n; ++i)
        dest[i] = static_cast<char>(byteAt(body, offset + i));
    dest[n] = '\0';
}

bool isUnsafeInPath(unsigned char c)
{
    return c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

}  // namespace

bool extractTag(std::string_view text, std::string_view tag, char* dest, std::size_t capacity)
{
    if (tag.empty() || tag.size() > kMaxTagName || !dest || capacity == 0)
        return false;
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on operator+ with a literal here.
    std::string open(1, '<');
    open.append(tag).push_back('>');
    std::string close("</");
    close.append(tag).push_back('>');
    const std::size_t start = text.find(open);
    if (start == std::string_view::npos)
        return false;
    const std::size_t valueStart = start + open.size();
    const std::size_t end = text.find(close, valueStart);
    if (end == std::string_view::npos)
        return false;
    const std::size_t n = end - valueStart;
    if (n >= capacity)
        return false;
    std::memcpy(dest, text.data() + valueStart, n);
    dest[n] = '\0';
    return true;
}

void decodeEntities(char* text)
{
    if (!text)
        return;
    char* out = text;
    for (const char* in = text; *in;) {
        if (std::strncmp(in, kEacuteEntity.data(), kEacuteEntity.size()) == 0) {
            *out++ = static_cast<char>(0xC3);
            *out++ = static_cast<char>(0xA9);
            in += kEacuteEntity.size();
        } else {
            *out++ = *in++;
        }
    }
    *out = '\0';
}

LookupReply parseLookupReply(std::span<const std::uint8_t> body)
{
    LookupReply reply;
    reply.status = byteAt(body, kLookupStatusOffset);
    char digits[kLookupNumberBytes + 1];
    copyField(body, kLookupNumberOffset, kLookupNumberBytes, digits);
    reply.number = parseDecimalPrefix(digits);
    copyField(body, kLookupNameOffset, kLookupNameBytes, reply.name);
    copyField(body, kLookupLine1Offset, kLookupLineBytes, reply.line1);
    copyField(body, kLookupLine2Offset, kLookupLineBytes, reply.line2);
    return reply;
}

std::string joinLookupLines(const LookupReply& reply)
{
    std::string joined = std::string(reply.line1) + reply.line2;
    return joined.substr(0, 2 * kLookupLineBytes);
}

// Leading blanks and an optional sign, as strtol takes them; true for a minus.
static bool skipBlanksAndSign(std::string_view text, std::size_t& i)
{
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    return i < text.size() && (text[i] == '+' || text[i] == '-') && text[i++] == '-';
}

int parseDecimalPrefix(std::string_view text)
{
    std::size_t i = 0;
    const bool negative = skipBlanksAndSign(text, i);
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

std::uint32_t parseHexColour(std::string_view text)
{
    std::size_t i = 0;
    const bool negative = skipBlanksAndSign(text, i);
    auto hexDigit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    // "0x" counts only when a hexadecimal digit follows it.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexDigit(text[i + 2]) >= 0)
        i += 2;
    std::int64_t value = 0;
    bool saturated = false;
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
        value = value * 16 + hexDigit(text[i]);
        if (value > std::int64_t{INT32_MAX} + 1) {
            saturated = true;
            value = std::int64_t{INT32_MAX} + 1;
        }
    }
    std::int64_t result = negative ? -value : value;
    if (result > INT32_MAX || (saturated && !negative))
        result = INT32_MAX;
    if (result < INT32_MIN)
        result = INT32_MIN;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(result));
}

std::string buildImagePath(std::string_view base, int number, int kind)
{
    const std::string n = std::to_string(number);
    std::string suffix;
    if (base == "/users/" && kind == 1)
        suffix = "/images.php?F=" + n + "&N=1";
    else if (base == "/echange/" && kind == 1)
        suffix = "pc_img_share_get.php?F=" + n + "&N=1";
    else if (base == "/echange/" && kind == 3)
        suffix = "pc_img_share_post.php";
    else if (base == "/usb/" && kind == 1)
        suffix = "/usb_black.png";
    else if (base == "/usb/" && kind == 2)
        suffix = "/usb_green.png";
    else if (base == "/usb/" && kind == 3)
        suffix = "/usb_red.png";
    else
        return {};
    std::string path(base);
    if (!path.empty() && path.back() == '/' && suffix.front() == '/')
        path.pop_back();
    return path + suffix;
}

std::string lookupPath(std::string_view machineId, std::string_view version)
{
    return "/Hw7rTq2Lmc.php?S=2&I=" + std::string(machineId) + "&V=QUENTAR " + std::string(version) + "&A=" + "&F=";
}

std::string escapeRequestPath(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    for (unsigned char c : path) {
        if (isUnsafeInPath(c)) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace tamovox
