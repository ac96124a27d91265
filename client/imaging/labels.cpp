#include "imaging/labels.h"

#include "mainwindow/colours.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace tamovox {

namespace {

// Labels sit close together on the skin (lamp captions 30 px apart): a slightly narrow face keeps
// each one inside its slot.
constexpr int kLabelStretch = 90;

// A label is shaped and rendered once per text, face, colour and background, then copied: the
// panels redraw the same few captions many times a second.
struct RenderedText {
    QString text;
    int height, stretch;
    std::uint32_t colour;
    std::int64_t background;
    QImage image;  // ARGB premultiplied, transparent where the background is
};
constexpr std::size_t kMaxRenderedTexts = 128;

const QImage& renderedText(const QString& line, int height, std::uint32_t colour, std::int64_t background, int stretch)
{
    static std::vector<RenderedText> cache;
    for (const RenderedText& r : cache)
        if (r.height == height && r.stretch == stretch && r.colour == colour && r.background == background && r.text == line)
            return r.image;
    if (cache.size() >= kMaxRenderedTexts)
        cache.clear();  // changing texts (counts) never grow it without bound
    QFont font = skinFont(height);
    font.setStretch(stretch);
    const QFontMetrics metrics(font);
    QImage image(std::max(1, metrics.horizontalAdvance(line)), metrics.height(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background >= 0 ? colourFromRef(static_cast<std::uint32_t>(background)) : QColor(Qt::transparent));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(colourFromRef(colour));
        painter.drawText(QPoint(0, metrics.ascent()), line);
    }
    cache.push_back({line, height, stretch, colour, background, image});
    return cache.back().image;
}

Rect drawTextAt(QImage& target, const char* text, int x, int y, int height, std::uint32_t colour, std::int64_t background,
                int stretch)
{
    if (!text || !*text || target.isNull())
        return {};
    const QImage& image = renderedText(QString::fromUtf8(text), height, colour, background, stretch);
    QPainter painter(&target);
    painter.drawImage(QPoint(x, y), image);
    return {x, y, x + image.width(), y + image.height()};
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
