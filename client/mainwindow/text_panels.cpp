// Help line and status box: the two text panels, twice a second.
#include "mainwindow/panels.h"

#include "core/shared_state.h"
#include "imaging/labels.h"
#include "mainwindow/colours.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window.h"

#include <QPainter>

namespace tamovox {

namespace {
constexpr int kHelpLineTextHeight = 17;
constexpr int kStatusTextHeight = 16;  // the window's default face
}  // namespace

void paintHelpLine()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    SharedState& s = shared();
    QImage& canvas = window->canvas();
    const Rect frame = kHelpLineRect.grown(2);
    {
        QPainter painter(&canvas);
        painter.setPen(QPen(colourFromRef(kYellow), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame.left, frame.top, frame.width() - 1, frame.height() - 1);
        painter.fillRect(QRect(kHelpLineRect.left, kHelpLineRect.top, kHelpLineRect.width(), kHelpLineRect.height()), Qt::black);
    }
    drawCentredText(canvas, QString::fromUtf8(s.appearance.helpLine), kHelpLineRect, kHelpLineTextHeight, kHelpGreen,
                    s.appearance.backgroundColour.load());
    window->flush(frame);
}

void paintStatusBox()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    SharedState& s = shared();
    const Rect& box = s.layout.statusBox;
    if (box.width() <= 10 || box.height() <= 10)
        return;
    QImage& canvas = window->canvas();
    const std::uint32_t background = s.appearance.backgroundColour;
    const Rect inner{box.left + 5, box.top + 5, box.right - 5, box.bottom - 5};
    {
        QPainter painter(&canvas);
        painter.fillRect(QRect(inner.left, inner.top, inner.width(), inner.height()), colourFromRef(background));
    }
    // Clipped to the inner area so a long text never paints over the box's outline.
    drawCentredText(canvas, QString::fromUtf8(s.appearance.statusText), inner, kStatusTextHeight, kYellow, background);
    window->flush(inner);
}

}  // namespace tamovox
