// The animated picture of the main window's lower part, on the main window's timer 4. Main thread.
#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace tamovox {

inline constexpr const char* kAnimationFile = "electron-animation.gif";
inline constexpr int kAnimationSide = 150;
inline constexpr int kDefaultFrameDelayMs = 100;

struct AnimationFrames {
    std::vector<QImage> frames;  // 150 x 150 ARGB, pre-scaled
    std::vector<int> delays;     // milliseconds per frame
};

// Decodes every frame of a GIF; no frames when it cannot be read. A frame without a delay
// (or a zero one, which would spin the timer) gets 100 ms.
AnimationFrames readAnimationFrames(const QString& path);

// Loads kAnimationFile and starts timer 4 at the first frame's delay; a missing file shows the
// message and ends the program in order.
void loadAnimation();
// Draws the next frame at (350, 450).
void animationStep();
// Index of the next frame to draw (for the panel tests).
int animationNextFrame();

}  // namespace tamovox
