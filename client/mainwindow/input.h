// Keyboard and mouse commands of the main window. Main thread.
#pragma once

#include "core/rect.h"

#include <optional>

class QKeyEvent;

namespace tamovox {

void handleKeyDown(const QKeyEvent& event);
void handleKeyUp(const QKeyEvent& event);
void handleMouseMove(int x, int y);
// True when the press lies in the drag strip, the caption, which takes it before any other
// region: the window then drags.
bool handleLeftButtonDown(int x, int y);
void handleRightButtonDown(int x, int y);

// Channel port selected by a key, or nothing for a key that selects no channel.
std::optional<int> channelPortOfKey(const QKeyEvent& event);

// The help line text for a mouse position (UTF-8).
const char* mouseOverText(int x, int y);

}  // namespace tamovox
