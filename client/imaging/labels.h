// The small texts of the skinned windows: white labels on the background colour and UTF-8
// lines in a colour of their own. Main thread.
#pragma once

#include "core/rect.h"

#include <QImage>

#include <cstdint>

namespace tamovox {

inline constexpr int kLabelHeight = 14;
inline constexpr int kUtf8TextHeight = 20;

// Draws text (ASCII or UTF-8) with the top of its line at (x, y), white on background (a colour
// reference), bold 14. Returns the rectangle painted; nothing (an empty rectangle) for no text.
Rect drawLabel(QImage& target, const char* text, int x, int y, std::uint32_t background);

// Draws a UTF-8 text at (x, y), bold 20, transparent background, in colour. Returns the rectangle.
Rect drawUtf8Text(QImage& target, const char* text, int x, int y, std::uint32_t colour);

// Draws text on one line centred in rect (horizontally, and vertically unless topAligned), in
// colour on the background colour (background < 0: transparent), clipped to rect.
enum class TextAlign { Centre, Top };
void drawCentredText(QImage& target, const QString& text, const Rect& rect, int height, std::uint32_t colour,
                     std::int64_t background, TextAlign align = TextAlign::Centre);

}  // namespace tamovox
