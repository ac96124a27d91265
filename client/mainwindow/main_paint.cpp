#include "mainwindow/main_paint.h"

#include "core/shared_state.h"
#include "mainwindow/colours.h"
#include "mainwindow/main_window.h"

#include <QPainter>

namespace tamovox {

namespace {
constexpr const char* kCreditLine = "Conception : l'équipe Tamo-Vox";

QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }
QColor background() { return colourFromRef(shared().appearance.backgroundColour.load()); }
}  // namespace

void paintLogo()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    const QRect logo(125, 15, 300, 20);
    QPainter painter(&window->canvas());
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(logo, background());
    painter.setFont(skinFont(30));
    painter.setPen(colourFromRef(kYellow));
    painter.drawText(logo.adjusted(0, -8, 0, 8), Qt::AlignCenter, "TAMO-VOX");
    window->flush({125, 7, 425, 43});
}

void drawCloseCross(bool hot)
{
    MainWindow* window = mainWindow();
    if (!window || !shared().appearance.closeCrossEnabled)
        return;
    const Rect& r = shared().layout.closeCross;
    QPainter painter(&window->canvas());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colourFromRef(hot ? kYellow : kRed), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(r.left + 10, r.top + 10, r.left + 20, r.top + 20);
    painter.drawLine(r.right - 10, r.top + 10, r.left + 10, r.top + 20);
    window->flush(r);
}

void paintMainWindow()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    SharedState& s = shared();
    {
        QPainter painter(&window->canvas());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setBrush(background());
        painter.setPen(QPen(colourFromRef(kYellow), 4));
        painter.drawRoundedRect(QRect(0, 0, kMainWindowWidth, kMainWindowHeight), 10, 10);
        painter.setPen(QPen(colourFromRef(kYellow), 2));
        painter.drawRoundedRect(toQRect(s.layout.statusBox), 10, 10);

        painter.setFont(skinFont(14));
        painter.setPen(colourFromRef(kWhite));
        painter.drawText(QPoint(430, 605 + 13), "Version ");
        painter.drawText(QPoint(480, 605 + 13), s.identity.clientVersion);
        painter.setPen(colourFromRef(kYellow));
        painter.setFont(skinFont(12));
        painter.drawText(toQRect(s.layout.credit), Qt::AlignCenter, QString::fromUtf8(kCreditLine));
    }
    paintLogo();
    drawCloseCross(false);
    {
        std::lock_guard lock(s.skin.usbIconLock);
        const Rect& icon = s.skin.usbIconRect;
        if (!s.skin.usbIcon.isNull() && (icon.left != 0 || icon.top != 0)) {
            QPainter painter(&window->canvas());
            painter.drawImage(QRect(icon.left, icon.top, 32, 32), s.skin.usbIcon);
        }
    }
    s.appearance.repaintRefetch = 1;
    window->update();
}

}  // namespace tamovox
