// Lamp bitmaps from "mini_leds.bmf", the lamp defaults, and drawing one lamp. Main thread.
#pragma once

#include "core/rect.h"

#include <QImage>

#include <string>

namespace tamovox {

inline constexpr const char* kLampContainerFile = "mini_leds.bmf";

// Loads the six lamp bitmaps (a bad or missing member leaves its colour empty), then sets the defaults.
void loadLampBitmaps(const std::string& path = kLampContainerFile);

// Draws the lamp of colour code state with its top-left at (x, y) on target. The lamp's cell is
// cleared to background first, so a lamp that goes out (state outside 1..6) does not stay lit.
// Returns the cell.
Rect drawLamp(QImage& target, int state, int x, int y, std::uint32_t background);

}  // namespace tamovox
