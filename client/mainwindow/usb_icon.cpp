// The USB status icon. The device thread fetches and decodes the picture; only the main thread
// replaces the shown picture and draws it, so no window is touched from a worker.
#include "mainwindow/usb_icon.h"

#include "core/main_thread_jobs.h"
#include "core/shared_state.h"
#include "mainwindow/main_window.h"
#include "web/http_client.h"
#include "web/pictures.h"

#include <QPainter>

namespace tamovox {

namespace {

constexpr Rect kUsbIconOffset{314, 500, 346, 532};

// Main thread: takes the fetched picture (or keeps the previous one) and draws it.
void applyUsbIcon(int state, bool replace, QImage picture)
{
    SkinImages& skin = shared().skin;
    std::lock_guard lock(skin.usbIconLock);
    if (skin.usbIconState != state)
        return;  // a later state is on its way
    const Rect previous = skin.usbIconRect;
    if (replace)
        skin.usbIcon = std::move(picture);
    MainWindow* window = mainWindow();
    if (replace && !skin.usbIcon.isNull() && window && (previous.left != 0 || previous.top != 0)) {
        QPainter painter(&window->canvas());
        painter.drawImage(QRect(previous.left, previous.top, 32, 32), skin.usbIcon);
        painter.end();
        window->flush(previous);
    }
    // The client area starts at (0, 0) here.
    skin.usbIconRect = kUsbIconOffset;
}

}  // namespace

void showUsbStatusIcon(int state)
{
    {
        std::lock_guard lock(shared().skin.usbIconLock);
        if (state == shared().skin.usbIconState)
            return;
        shared().skin.usbIconState = state;
    }
    bool replace = false;
    QImage picture;
    {
        ResponseHold hold;  // the body stays ours until it is decoded
        const int result = httpGet("/usb/", 0, state);
        if (result != 0) {
            replace = true;
            picture = decodePng(result);
        }
    }
    // Posted, never waited for: the main thread may itself be waiting for the response buffer.
    postToMainThread([state, replace, picture = std::move(picture)] { applyUsbIcon(state, replace, picture); });
}

}  // namespace tamovox
