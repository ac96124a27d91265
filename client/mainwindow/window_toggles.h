// Opening and closing the secondary windows from the main window's clicks. Main thread.
#pragma once

#include <QWidget>

#include <atomic>

namespace tamovox {

// Opens the window with create() when closed, closes it when open. The window's destruction
// clears the flag and handle; a window that cannot be created (create returns null) leaves both
// clear, so the next click tries again. With no create yet, only the flag changes.
void toggleSecondaryWindow(std::atomic<int>& openFlag, QWidget*& handle, QWidget* (*create)());

void toggleParamsWindow();   // PARAMS knob
void toggleNetworkWindow();  // network ring
void toggleGroupWindow();    // channel frame
void toggleCanvasWindow();   // animation, except on channel port 30000

}  // namespace tamovox
