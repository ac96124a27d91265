// The animated picture of the main window's lower part, on the main window's timer 4. Main thread.
#pragma once

namespace tamovox {

inline constexpr const char* kAnimationFile = "electron-animation.gif";

void loadAnimation();
void animationStep();

}  // namespace tamovox
