#include "mainwindow/input.h"

#include "core/shared_state.h"
#include "mainwindow/main_window.h"
#include "transport/idle.h"

#include <QKeyEvent>

namespace tamovox {

void handleKeyDown(const QKeyEvent& event)
{
    if (event.key() == Qt::Key_Escape) {
        if (MainWindow* window = mainWindow())
            QMetaObject::invokeMethod(window, [window] { window->destroyWindow(); }, Qt::QueuedConnection);
        return;
    }
    if (event.key() == Qt::Key_Space) {
        setManualPushToTalk(kPttPressed);
        return;
    }
}

void handleKeyUp(const QKeyEvent& event)
{
    if (event.isAutoRepeat())
        return;  // a held key repeats; only the real release counts
    resetIdleCountdown();
    if (event.key() == Qt::Key_Space)
        setManualPushToTalk(kPttReleased);
}

void handleMouseMove(int, int) {}

void handleLeftButtonDown(int x, int y)
{
    if (shared().layout.closeCross.contains(x, y))
        if (MainWindow* window = mainWindow())
            QMetaObject::invokeMethod(window, [window] { window->destroyWindow(); }, Qt::QueuedConnection);
}

void handleRightButtonDown(int, int) {}

}  // namespace tamovox
