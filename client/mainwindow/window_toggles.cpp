#include "mainwindow/window_toggles.h"

namespace tamovox {

void toggleSecondaryWindow(std::atomic<int>& openFlag, QWidget*& handle, QWidget* (*create)())
{
    if (openFlag) {
        openFlag = 0;
        if (QWidget* window = handle) {
            handle = nullptr;
            window->close();
            window->deleteLater();
        }
        return;
    }
    openFlag = 1;
    if (!create)
        return;
    QWidget* window = create();
    if (!window) {
        openFlag = 0;
        handle = nullptr;
        return;
    }
    handle = window;
    // Closed by its own means (its close box, a destroy order): clear both so the next click reopens.
    QObject::connect(window, &QObject::destroyed, [&openFlag, &handle, window] {
        if (handle == window) {
            handle = nullptr;
            openFlag = 0;
        }
    });
}

}  // namespace tamovox
