// The web server's reply formats and request paths as plain byte functions: tag extraction,
// the one entity, the lookup reply layout, picture paths, hexadecimal colours. Any thread;
// no Qt and no HTTP library here, so tests and fuzzers call them directly.
#pragma once

#include "core/windows1252.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tamovox {

// Copies the text between the first "<tag>" and the first "</tag>" after it into dest
// (capacity bytes, terminator included). Returns false and leaves dest unchanged when either
// tag is missing, the tag name is longer than 63 characters, or the text does not fit.
bool extractTag(std::string_view text, std::string_view tag, char* dest, std::size_t capacity);

// Turns every "&#xE9;" of the terminated string into the UTF-8 bytes of é, in place.
void decodeEntities(char* text);

// The lookup reply, read by fixed offsets. Bytes past the end of the body read as zero.
inline constexpr std::size_t kLookupStatusOffset = 2;
inline constexpr std::size_t kLookupNumberOffset = 34;
inline constexpr std::size_t kLookupNumberBytes = 5;
inline constexpr std::size_t kLookupNameOffset = 40;
inline constexpr std::size_t kLookupNameBytes = 24;
inline constexpr std::size_t kLookupLine1Offset = 98;
inline constexpr std::size_t kLookupLine2Offset = 130;
inline constexpr std::size_t kLookupLineBytes = 29;
inline constexpr std::size_t kLookupReplyBytes = 160;  // what the reference server sends

inline constexpr int kLookupUnknownPc = 200;
inline constexpr int kLookupUpdateRequired = 220;
inline constexpr int kLookupRefused = 230;
inline constexpr int kLookupClosed = 240;

struct LookupReply {
    int status = 0;                          // unsigned byte at offset 2
    int number = 0;                          // decimal field at offset 34 (before the 16-bit cut)
    char name[kLookupNameBytes + 1] = {};    // Windows-1252
    char line1[kLookupLineBytes + 1] = {};   // UTF-8
    char line2[kLookupLineBytes + 1] = {};   // UTF-8
};
LookupReply parseLookupReply(std::span<const std::uint8_t> body);

// The two message lines as one message of at most 58 bytes.
std::string joinLookupLines(const LookupReply& reply);

// C-style integer parse: leading blanks, a sign, digits; stops at the first other character.
int parseDecimalPrefix(std::string_view text);

// Hexadecimal colour: leading blanks, a sign and "0x" accepted; no digits give 0.
// Saturates like a 32-bit strtol.
std::uint32_t parseHexColour(std::string_view text);

// "/users/", "/echange/" and "/usb/" with their kinds; an empty string for any other pair.
std::string buildImagePath(std::string_view base, int number, int kind);

// The lookup request path before escaping.
std::string lookupPath(std::string_view machineId, std::string_view version);

// Percent-escapes the bytes a request line may not carry (blanks, controls, non-ASCII, "<>\"{}|\\^`").
std::string escapeRequestPath(std::string_view path);


}  // namespace tamovox
