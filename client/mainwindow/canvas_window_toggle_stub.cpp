// Placeholder until the canvas window lands: the click only flips the open flag.
#include "mainwindow/window_toggles.h"

#include "core/shared_state.h"

namespace tamovox {

void toggleCanvasWindow()
{
    toggleSecondaryWindow(shared().windows.canvasWindowOpen, shared().windows.canvasWindow, nullptr);
}

}  // namespace tamovox
