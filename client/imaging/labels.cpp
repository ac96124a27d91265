#include "imaging/labels.h"

#include "mainwindow/colours.h"

#include <QFontMetrics>
#include <QPainter>

namespace tamovox {

namespace {

// Labels sit close together on the skin (lamp captions 30 px apart): a slightly narrow face keeps
// each one inside its slot.
constexpr int kLabelStretch = 90;

Rect drawTextAt(QImage& target, const char* text, int x, int y, int height, std::uint32_t colour, std::int64_t background,
                int stretch)
{
    if (!text || !*text || target.isNull())
        return {};
    const QString line = QString::fromUtf8(text);
    QFont font = skinFont(height);
    font.setStretch(stretch);
    const QFontMetrics metrics(font);
    const QRect box(x, y, metrics.horizontalAdvance(line), metrics.height());
    QPainter painter(&target);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (background >= 0)
        painter.fillRect(box, colourFromRef(static_cast<std::uint32_t>(background)));
    painter.setFont(font);
    painter.setPen(colourFromRef(colour));
    painter.drawText(QPoint(x, y + metrics.ascent()), line);
    return {box.left(), box.top(), box.left() + box.width(), box.top() + box.height()};
}

}  // namespace

Rect drawLabel(QImage& target, const char* text, int x, int y, std::uint32_t background)
{
    return drawTextAt(target, text, x, y, kLabelHeight, kWhite, background, kLabelStretch);
}

Rect drawUtf8Text(QImage& target, const char* text, int x, int y, std::uint32_t colour)
{
    return drawTextAt(target, text, x, y, kUtf8TextHeight, colour, -1, QFont::Unstretched);
}

void drawCentredText(QImage& target, const QString& text, const Rect& rect, int height, std::uint32_t colour,
                     std::int64_t background, TextAlign align)
{
    if (text.isEmpty() || target.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    const QRect box(rect.left, rect.top, rect.width(), rect.height());
    const QFont font = skinFont(height);
    const QFontMetrics metrics(font);
    QPainter painter(&target);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(box);
    painter.setFont(font);
    const QRect textBox = metrics.boundingRect(box, Qt::AlignHCenter | (align == TextAlign::Top ? Qt::AlignTop : Qt::AlignVCenter) |
                                                        Qt::TextSingleLine, text);
    if (background >= 0)
        painter.fillRect(textBox, colourFromRef(static_cast<std::uint32_t>(background)));
    painter.setPen(colourFromRef(colour));
    painter.drawText(box, Qt::AlignHCenter | (align == TextAlign::Top ? Qt::AlignTop : Qt::AlignVCenter) | Qt::TextSingleLine, text);
}

}  // namespace tamovox
