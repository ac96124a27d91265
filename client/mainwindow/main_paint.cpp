#include "mainwindow/main_paint.h"

#include "core/shared_state.h"
#include "imaging/labels.h"
#include "mainwindow/colours.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window.h"
#include "mainwindow/texts.h"

#include <QPainter>

namespace tamovox {

namespace {

constexpr int kCornerRadius = 10;  // a 20 x 20 corner ellipse
constexpr int kVersionY = 605;
constexpr int kUsbIconSide = 32;

QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }
std::uint32_t background() { return shared().appearance.backgroundColour.load(); }

}  // namespace

void paintLogo()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    // The 30 px face is taller than its 20 px rectangle: centre it on the rectangle's middle line
    // without clipping it.
    const Rect area{kLogoRect.left + 16, kLogoRect.top - 8, kLogoRect.right - 16, kLogoRect.bottom + 8};
    drawCentredText(window->canvas(), kLogoText, area, kLogoHeight, kYellow, background());
    window->flush(area);
}

void drawCloseCross(bool hot)
{
    MainWindow* window = mainWindow();
    if (!window || !shared().appearance.closeCrossEnabled)
        return;
    const Rect& r = shared().layout.closeCross;
    {
        QPainter painter(&window->canvas());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(colourFromRef(hot ? kYellow : kRed), 4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(r.left + 10, r.top + 10, r.left + 20, r.top + 20);
        painter.drawLine(r.right - 10, r.top + 10, r.left + 10, r.top + 20);
    }
    window->flush(r);
}

void paintMainWindow()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    SharedState& s = shared();
    QImage& canvas = window->canvas();
    window->countRepaint();
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(colourFromRef(background()));
        painter.setPen(QPen(colourFromRef(kYellow), 4));
        painter.drawRoundedRect(QRectF(1, 1, kMainWindowWidth - 2, kMainWindowHeight - 2), kCornerRadius, kCornerRadius);
        if (s.layout.statusBox.width() > 0) {
            painter.setPen(QPen(colourFromRef(kYellow), 2));
            painter.drawRoundedRect(QRectF(toQRect(s.layout.statusBox)).adjusted(1, 1, -1, -1), kCornerRadius, kCornerRadius);
        }
    }
    paintLogo();
    drawCloseCross(false);
    drawLabel(canvas, "Version ", 430, kVersionY, background());
    drawLabel(canvas, s.identity.clientVersion, 480, kVersionY, background());
    drawCentredText(canvas, QString::fromUtf8(kCreditLine), s.layout.credit, 12, kYellow, background());
    {
        std::lock_guard lock(s.skin.usbIconLock);
        const Rect& icon = s.skin.usbIconRect;
        if (!s.skin.usbIcon.isNull() && (icon.left != 0 || icon.top != 0)) {
            QPainter painter(&canvas);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect(icon.left, icon.top, kUsbIconSide, kUsbIconSide), s.skin.usbIcon);
        }
    }
    s.appearance.repaintRefetch = 1;
    window->flush({0, 0, kMainWindowWidth, kMainWindowHeight});
}

}  // namespace tamovox
