// Placeholder until the params window lands: the click only flips the open flag.
#include "mainwindow/window_toggles.h"

#include "core/shared_state.h"

namespace tamovox {

void toggleParamsWindow()
{
    toggleSecondaryWindow(shared().windows.paramsWindowOpen, shared().windows.paramsWindow, nullptr);
}

}  // namespace tamovox
