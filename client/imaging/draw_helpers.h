// Colour-keyed, scaled and rotated copies of skin bitmaps onto a window's image. Main thread.
#pragma once

#include <QImage>

namespace tamovox {

// Copies bitmap at its own size to (x, y) on target, leaving its black pixels out (black is the
// skin's transparent key). Alpha is ignored, as a colour-keyed blit does.
void drawTransparent(QImage& target, const QImage& bitmap, int x, int y);

// Draws bitmap resized (smoothly) to width x height at (x, y), opaque.
void drawScaled(QImage& target, const QImage& bitmap, int x, int y, int width, int height);

// The bitmap turned clockwise on screen by angle degrees about its centre, same size, into an
// ARGB image whose uncovered area is opaque black. Returns the source itself if anything fails.
QImage rotateBitmap(const QImage& bitmap, double angleDegrees);

}  // namespace tamovox
