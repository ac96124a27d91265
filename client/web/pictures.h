// Pictures from response bodies. Any thread (QImage only, no window).
// The caller holds ResponseHold between the exchange and the decoding.
#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <span>

namespace tamovox {

// Pictures come from outside: anything larger is refused before it is decoded.
inline constexpr int kMaxPictureSide = 4096;

// PNG only (signature checked); the first length bytes of responseBuffer. Null on failure.
QImage decodePng(int length);
// Any format the image library reads; the first frame of an animation. Null on failure.
QImage decodeAnyImage(int length);

// The same on any bytes: transparent parts composed over opaque black, ARGB32.
QImage decodePictureBytes(std::span<const std::uint8_t> bytes, bool pngOnly);

}  // namespace tamovox
