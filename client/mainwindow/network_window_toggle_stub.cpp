// Placeholder until the network window lands: the click only flips the open flag.
#include "mainwindow/window_toggles.h"

#include "core/shared_state.h"

namespace tamovox {

void toggleNetworkWindow()
{
    toggleSecondaryWindow(shared().windows.networkWindowOpen, shared().windows.networkWindow, nullptr);
}

}  // namespace tamovox
