// The input device table of the Input device window; main thread.
#pragma once

namespace tamovox {

// 15 entries without a device, both names "Windows Driver"; the selection becomes the default (-1).
void resetInputDeviceTable();

}  // namespace tamovox
