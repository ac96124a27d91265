// The six status panels, each redrawn in full by its own timer, and the pure tables they use.
// Main thread.
#pragma once

#include "core/rect.h"

#include <array>

namespace tamovox {

void paintChannelPanel();  // timer 13
void paintNetworkRing();   // timer 3
void paintKnobPanel();     // timer 8
void paintHelpLine();      // timer 11
void paintStatusBox();     // timer 12
void paintLampPanel();     // timer 6

struct LampPoint {
    int x;
    int y;
};
// Top-left corners of the 16 activity lamps around (420, 380), lamp 0 at the bottom, clockwise.
std::array<LampPoint, 16> networkRingPositions();

// The five "ERROR LEVEL" lamp states for a reception error count.
std::array<int, 5> errorLevelLamps(int receptionErrorCount);

}  // namespace tamovox
