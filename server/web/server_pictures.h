// Pictures the web server makes or checks: profile pictures scaled to at most 240 x 240 PNG,
// the generated default portrait, the three USB status icons, shared pictures. Any thread
// (QImage only).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tamovox::web {

inline constexpr int kProfilePictureSide = 240;
inline constexpr int kMaxIncomingSide = 4096;

// A PNG or JPEG turned into a PNG of at most 240 x 240; none (and the French reason) otherwise.
std::optional<std::vector<std::uint8_t>> normaliseProfilePicture(std::span<const std::uint8_t> bytes, std::string& error);
// True for a PNG, JPEG, BMP or GIF that decodes and is at most 4096 x 4096.
bool isSharedPicture(std::span<const std::uint8_t> bytes);
// A portrait drawn for an account that gave no picture; its colours follow the number.
std::vector<std::uint8_t> defaultPicture(int number);
// 32 x 32 USB plug icons: 1 black, 2 green, 3 red.
std::vector<std::uint8_t> usbIconPng(int state);

}  // namespace tamovox::web
