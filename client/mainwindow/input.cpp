#include "mainwindow/input.h"

#include "audio/volume.h"
#include "core/message_box.h"
#include "core/shared_state.h"
#include "core/text_field.h"
#include "mainwindow/about_dialog.h"
#include "mainwindow/main_paint.h"
#include "mainwindow/main_window.h"
#include "mainwindow/speech_companion.h"
#include "mainwindow/texts.h"
#include "mainwindow/window_toggles.h"
#include "transport/idle.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QUrl>

#include <cstdlib>

namespace tamovox {

namespace {

constexpr int kKnobGrowth = 14;
// X11 key codes of the main keyboard's digit row "1".."9", "0": the row is a digit row whatever
// the layout, as on layouts where its unshifted symbols are not digits.
constexpr quint32 kDigitRowFirstKeyCode = 10;

enum class Hover { Normal = 1, Hot = 2 };
Hover g_hover = Hover::Normal;

void postDestroy()
{
    if (MainWindow* window = mainWindow())
        QMetaObject::invokeMethod(window, [window] { window->destroyWindow(); }, Qt::QueuedConnection);
}

void openDocumentation()
{
    const char* base = std::getenv("TAMOVOX_WEB_URL");
    const QString site = QString::fromUtf8(base && *base ? base : "https://localhost:8443");
    QDesktopServices::openUrl(QUrl(site + kDocumentationPath));
}

// True when the click turned the knob (it lies within the knob grown by 14 pixels).
bool turnKnob(const Rect& knob, int x, int y, void (*set)(float))
{
    if (knob.width() <= 0)
        return false;  // not drawn yet
    const float volume = volumeOfClick(x, y, knob);
    if (volume < 0)
        return false;
    set(volume);
    return true;
}

}  // namespace

std::optional<int> channelPortOfKey(const QKeyEvent& event)
{
    const int key = event.key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return kFirstChannelPort + (key - Qt::Key_0);
    if (key == Qt::Key_Plus && (event.modifiers() & Qt::KeypadModifier))
        return kFirstChannelPort + 10;
    const quint32 code = event.nativeScanCode();
    if (!(event.modifiers() & Qt::KeypadModifier) && code >= kDigitRowFirstKeyCode && code < kDigitRowFirstKeyCode + 10 &&
        QGuiApplication::platformName() == "xcb")
        return kFirstChannelPort + static_cast<int>((code - kDigitRowFirstKeyCode + 1) % 10);
    return std::nullopt;
}

const char* mouseOverText(int x, int y)
{
    const LayoutRects& l = shared().layout;
    const struct {
        const Rect& rect;
        const char* text;
    } regions[] = {
        {l.networkRing, kHelpNetworkRing}, {l.channelFrame, kHelpChannelFrame}, {l.documentationIcon, kHelpDocumentation},
        {l.animation, kHelpAnimation},     {l.credit, kHelpCredit},             {l.speechIcon, kHelpSpeech},
        {l.dragStrip, kHelpDragStrip},
    };
    for (const auto& region : regions)
        if (region.rect.contains(x, y))
            return region.text;
    return kWelcomeText;
}

void handleKeyDown(const QKeyEvent& event)
{
    SharedState& s = shared();
    const int key = event.key();
    if (key == Qt::Key_Escape) {
        postDestroy();
        return;
    }
    if (key == Qt::Key_Space) {
        setManualPushToTalk(kPttPressed);  // a held bar repeats this: it stays pressed
        return;
    }
    if (key == Qt::Key_F1) {
        showAboutDialog(mainWindow());
        return;
    }
    if (const auto port = channelPortOfKey(event)) {
        s.channel.currentChannelCount = -1;
        s.channel.channelPort = *port;
        return;
    }
    // Alt is the system menu key (Alt+F4 closes through closeEvent), not a key of ours.
    if (key == Qt::Key_Alt || key == Qt::Key_AltGr || (event.modifiers() & Qt::AltModifier))
        return;
    if (event.isAutoRepeat())
        return;  // one box per press, not one per repeat
    showMessageBox(mainWindow(), QString::fromUtf8(kInactiveKeyText), QString::fromUtf8(kInactiveKeyCaption), BoxIcon::None);
}

void handleKeyUp(const QKeyEvent& event)
{
    if (event.isAutoRepeat())
        return;  // a held key repeats; only the real release counts
    resetIdleCountdown();
    if (event.key() == Qt::Key_Space)
        setManualPushToTalk(kPttReleased);
}

void handleMouseMove(int x, int y)
{
    SharedState& s = shared();
    if (s.layout.closeCross.contains(x, y)) {
        if (g_hover != Hover::Hot) {
            drawCloseCross(/*hot=*/true);
            g_hover = Hover::Hot;
        }
    } else if (g_hover != Hover::Normal) {
        drawCloseCross(/*hot=*/false);
        g_hover = Hover::Normal;
    }
    copyTextField(s.appearance.helpLine, sizeof s.appearance.helpLine, mouseOverText(x, y));
}

bool handleLeftButtonDown(int x, int y)
{
    SharedState& s = shared();
    const LayoutRects& l = s.layout;
    // The drag strip is the window's caption: the system tests it before any click reaches the
    // window, so the top band of the channel frame drags too.
    if (l.dragStrip.contains(x, y))
        return true;
    if (turnKnob(l.knobVolume, x, y, setRenderVolume) || turnKnob(l.knobMicGain, x, y, setCaptureVolume)) {
        // the knob panel shows the new level on its next tick
    } else if (l.knobParams.width() > 0 && l.knobParams.grown(kKnobGrowth).contains(x, y)) {
        toggleParamsWindow();
    } else if (l.networkRing.contains(x, y)) {
        toggleNetworkWindow();
    } else if (l.channelFrame.contains(x, y)) {
        toggleGroupWindow();
    } else if (l.documentationIcon.contains(x, y)) {
        openDocumentation();
    } else if (l.animation.contains(x, y)) {
        if (s.channel.channelPort != kFirstChannelPort) {
            toggleCanvasWindow();
            if (MainWindow* window = mainWindow())
                window->activateWindow();
        }
    } else if (l.speechIcon.contains(x, y)) {
        toggleSpeechCompanion();
    } else if (l.credit.contains(x, y)) {
        showAboutDialog(mainWindow());
    } else if (l.closeCross.contains(x, y)) {
        postDestroy();
    }
    return false;
}

void handleRightButtonDown(int, int) {}

}  // namespace tamovox
