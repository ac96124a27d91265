#include "imaging/knob.h"

#include "imaging/draw_helpers.h"
#include "imaging/labels.h"

#include <QPainter>

#include <cmath>

namespace tamovox {

namespace {
constexpr float kTwoPi = 6.2831855f;
constexpr float kDotRadius = 30.0f;
constexpr int kLabelDx = 8;
constexpr int kLabelDy = 70;
}  // namespace

int knobDotCount(int counter)
{
    if (counter == 1)
        return 8;
    if (counter == 2 || counter == 3)
        return 7;
    return 0;
}

bool drawKnob(KnobContext& context, const QImage& knob, double angle, int x, const char* label, Rect& hit)
{
    if (!context.target || context.target->isNull() || knob.isNull())
        return false;
    const QImage rotated = rotateBitmap(knob, angle);
    const int w = rotated.width();
    const int h = rotated.height();
    const int y = context.rowY;
    drawTransparent(*context.target, rotated, x, y);

    const int dots = knobDotCount(context.counter);
    if (dots > 0) {
        const float step = kTwoPi / static_cast<float>(dots);
        QPainter painter(context.target);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 0, 0), 1));
        for (int k = 0; k < dots; ++k) {
            const float phi = kTwoPi - static_cast<float>(k) * step;
            const int cx = (x + w / 2) - static_cast<int>(std::sin(phi) * -kDotRadius);
            const int cy = (y + h / 2) - static_cast<int>(std::cos(phi) * -kDotRadius);
            painter.setBrush(k == 0 ? QColor(0, 0, 255) : QColor(0, 255, 0));
            painter.drawEllipse(QRectF(cx - 3.5, cy - 3.5, 7, 7));
        }
    }
    ++context.counter;
    hit = {x, y, x + w, y + h};
    drawLabel(*context.target, label, x + kLabelDx, y + kLabelDy, context.background);
    return true;
}

}  // namespace tamovox
