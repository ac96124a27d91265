// The skin bitmaps read at start-up from the working folder, and the report of a missing one,
// after which the program shuts down in order. Main thread.
#pragma once

namespace tamovox {

void loadKnobBitmaps();
void loadIconBitmaps();
void loadChannelBitmaps();

}  // namespace tamovox
