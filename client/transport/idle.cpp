#include "transport/idle.h"

#include "core/message_box.h"
#include "core/shared_state.h"
#include "mainwindow/colours.h"
#include "mainwindow/main_window.h"

#include <QPainter>
#include <QTimer>

#include <cstdio>

namespace tamovox {

void resetIdleCountdown()
{
    const bool guest = shared().identity.accountNumber == kGuestAccountNumber;
    shared().idle.idleCountdown = guest ? kGuestIdleSeconds : kEnrolledIdleSeconds;
}

void idleTick()
{
    SharedState& s = shared();
    int seconds = s.idle.idleCountdown.fetch_sub(1) - 1;
    MainWindow* window = mainWindow();
    if (seconds < 0) {
        s.idle.idleCountdown = 0;
        if (s.timers.idle)
            s.timers.idle->stop();
        if (!window)
            return;
        window->setEnabled(false);
        showMessageBox(window,
                       QString::fromUtf8("Le délais d'utilisation sans activité est terminé\nLe superviseur va maintenant fermer\n"
                                         "automatiquement votre application\ndans 20 secondes"),
                       "Info du Superviseur", BoxIcon::Information);
        window->setEnabled(true);
        window->destroyWindow();
        return;
    }
    if (!window)
        return;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
    const Rect& r = s.layout.countdown;
    QPainter painter(&window->canvas());
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRect(r.left, r.top, r.width(), r.height()), colourFromRef(s.appearance.backgroundColour));
    painter.setFont(skinFont(14));
    painter.setPen(colourFromRef(kYellow));
    painter.drawText(QRect(r.left, r.top, r.width() + 10, r.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    painter.fillRect(QRect(455, 293, 85, 16), colourFromRef(s.appearance.backgroundColour));
    painter.setPen(colourFromRef(kWhite));
    painter.drawText(QPoint(455, 293 + 12), "TIME LEFT");
    window->flush({r.left, r.top, 545, 310});  // the label runs past the countdown's right edge
}

}  // namespace tamovox
