// The rotary knob: a knob bitmap turned to its angle, its scale dots and its caption. Main thread.
#pragma once

#include "core/rect.h"

#include <QImage>

#include <cstdint>

namespace tamovox {

// One painting pass over a row of knobs; counter is 1 for the first knob and grows after each.
struct KnobContext {
    QImage* target = nullptr;     // the window's image
    int rowY = 0;                 // top of the knob row
    std::uint32_t background = 0; // colour reference behind the caption
    int counter = 1;
};

// Scale dots of the knob painted with this counter: 8, then 7 and 7, then none.
int knobDotCount(int counter);

// Draws knob turned by angle degrees at (x, rowY) with its dots and label, sets hit to the
// bitmap's rectangle as drawn. False when nothing could be drawn (no target or no bitmap).
bool drawKnob(KnobContext& context, const QImage& knob, double angle, int x, const char* label, Rect& hit);

}  // namespace tamovox
