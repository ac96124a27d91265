// Placeholder until the group window lands: the click only flips the open flag.
#include "mainwindow/window_toggles.h"

#include "core/shared_state.h"

namespace tamovox {

void toggleGroupWindow()
{
    toggleSecondaryWindow(shared().windows.groupWindowOpen, shared().windows.groupWindow, nullptr);
}

}  // namespace tamovox
