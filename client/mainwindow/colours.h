// Colours and fonts of the main window. Colour references keep red in the low byte.
#pragma once

#include <QColor>
#include <QFont>

#include <cstdint>

namespace tamovox {

inline constexpr std::uint32_t kYellow = 0x0000FFFF;
inline constexpr std::uint32_t kWhite = 0x00FFFFFF;
inline constexpr std::uint32_t kRed = 0x000000FF;
inline constexpr std::uint32_t kHelpGreen = 0x0047FF14;

inline QColor colourFromRef(std::uint32_t ref)
{
    return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

// Bold sans face whose line (ascent + descent) is about cellHeight pixels, as the skin's texts
// are sized; Liberation Sans keeps the metrics of the classic UI face.
inline QFont skinFont(int cellHeight)
{
    QFont font("Liberation Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize((cellHeight * 9 + 5) / 10);
    return font;
}

}  // namespace tamovox
