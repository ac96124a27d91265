// Lamp bitmaps from "mini_leds.bmf" and the lamp defaults. Main thread.
#pragma once

#include <QImage>

#include <string>

namespace tamovox {

inline constexpr const char* kLampContainerFile = "mini_leds.bmf";

// Loads the six lamp bitmaps (a bad or missing member leaves its colour empty), then sets the defaults.
void loadLampBitmaps(const std::string& path = kLampContainerFile);

}  // namespace tamovox
