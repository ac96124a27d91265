// The main window's paint handling: outline, logo, close cross, version and credit lines,
// status box outline and the USB status icon. Main thread.
#pragma once

namespace tamovox {

// The full static repaint (the window's first show or a new exposure); the panels fill in the
// rest on their next tick. Sets repaintRefetch.
void paintMainWindow();
void paintLogo();
// Only when the close cross is enabled: red when normal, yellow when hot.
void drawCloseCross(bool hot);

}  // namespace tamovox
