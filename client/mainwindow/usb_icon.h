// The USB status icon: 1 no adapter, 2 adapter open and released, 3 button pressed.
#pragma once

namespace tamovox {

void showUsbStatusIcon(int state);

}  // namespace tamovox
