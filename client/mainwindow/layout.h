// Fixed rectangles and positions of the main window (client coordinates) that the paint handling,
// the panels and the input share. The rectangles start-up stores live in shared().layout.
#pragma once

#include "core/rect.h"

namespace tamovox {

inline constexpr Rect kLogoRect{125, 15, 425, 35};
inline constexpr Rect kHelpLineRect{10, 45, 540, 65};
inline constexpr Rect kChannelNameRect{20, 85, 180, 105};
inline constexpr int kLogoHeight = 30;
inline constexpr int kKnobRowY = 220;
inline constexpr int kFocusLampY = 18;
inline constexpr int kFocusLampX[2] = {125, 409};
inline constexpr int kVuMeterX[2] = {200, 370};
inline constexpr int kVuMeterY = 80;
inline constexpr int kVuMeterWidth = 150;
inline constexpr int kVuMeterHeight = 84;

}  // namespace tamovox
