// The main window's paint handling: outline, logo, close cross, version and credit lines,
// status box outline and the USB status icon. Main thread.
#pragma once

namespace tamovox {

void paintMainWindow();
void paintLogo();
void drawCloseCross(bool hot);

}  // namespace tamovox
