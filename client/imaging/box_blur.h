// The tinted box blur drawn under the speaker's phrase. Main thread.
#pragma once

#include "core/rect.h"

#include <QImage>

namespace tamovox {

// Replaces the pixels of rect (inside image) by a 5 x 5 average of red and blue with green 127;
// a border two pixels wide keeps its colours.
void boxBlur(QImage& image, const Rect& rect);

}  // namespace tamovox
