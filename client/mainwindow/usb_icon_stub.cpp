// Placeholder until the picture can be fetched over HTTPS: the state is remembered, no icon.
#include "mainwindow/usb_icon.h"

#include "core/shared_state.h"

namespace tamovox {

void showUsbStatusIcon(int state)
{
    std::lock_guard lock(shared().skin.usbIconLock);
    shared().skin.usbIconState = state;
}

}  // namespace tamovox
