// Placeholder until the serial adapter lands: the thread waits for its stop request.
#include "devices/usb_ptt.h"

#include "core/shared_state.h"

#include <chrono>
#include <thread>

namespace tamovox {

void deviceThread()
{
    while (shared().timers.deviceRunFlag)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace tamovox
