#include "audio/input_devices.h"

#include "core/shared_state.h"

namespace tamovox {

void resetInputDeviceTable()
{
    AudioShared& audio = shared().audio;
    for (InputDeviceEntry& entry : audio.inputDevices)
        entry = InputDeviceEntry{};
    audio.selectedInputDevice = -1;
}

}  // namespace tamovox
