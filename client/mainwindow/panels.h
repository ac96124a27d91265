// The six status panels, each redrawn in full by its own timer. Main thread.
#pragma once

namespace tamovox {

void paintChannelPanel();  // timer 13
void paintNetworkRing();   // timer 3
void paintKnobPanel();     // timer 8
void paintHelpLine();      // timer 11
void paintStatusBox();     // timer 12
void paintLampPanel();     // timer 6

}  // namespace tamovox
