// Keyboard and mouse commands of the main window. Main thread.
#pragma once

class QKeyEvent;

namespace tamovox {

void handleKeyDown(const QKeyEvent& event);
void handleKeyUp(const QKeyEvent& event);
void handleMouseMove(int x, int y);
void handleLeftButtonDown(int x, int y);
void handleRightButtonDown(int x, int y);

}  // namespace tamovox
