#include "imaging/draw_helpers.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace tamovox {

namespace {

bool is32Bit(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

}  // namespace

void drawTransparent(QImage& target, const QImage& bitmap, int x, int y)
{
    if (target.isNull() || bitmap.isNull() || !is32Bit(target.format()))
        return;
    const QImage source = is32Bit(bitmap.format()) ? bitmap : bitmap.convertToFormat(QImage::Format_RGB32);
    const int left = std::max(0, -x);
    const int top = std::max(0, -y);
    const int right = std::min(source.width(), target.width() - x);
    const int bottom = std::min(source.height(), target.height() - y);
    for (int row = top; row < bottom; ++row) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(source.constScanLine(row));
        auto* out = reinterpret_cast<std::uint32_t*>(target.scanLine(y + row)) + x;
        for (int column = left; column < right; ++column) {
            const std::uint32_t rgb = in[column] & 0x00FFFFFFu;
            if (rgb != 0)
                out[column] = 0xFF000000u | rgb;
        }
    }
}

void drawScaled(QImage& target, const QImage& bitmap, int x, int y, int width, int height)
{
    if (target.isNull() || bitmap.isNull() || width <= 0 || height <= 0)
        return;
    const QImage scaled = bitmap.size() == QSize(width, height)
                              ? bitmap
                              : bitmap.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(x, y), scaled.convertToFormat(QImage::Format_RGB32));
}

QImage rotateBitmap(const QImage& bitmap, double angleDegrees)
{
    if (bitmap.isNull())
        return bitmap;
    const int w = bitmap.width();
    const int h = bitmap.height();
    QImage rotated(w, h, QImage::Format_ARGB32);
    if (rotated.isNull())
        return bitmap;
    rotated.fill(0xFF000000u);
    QPainter painter(&rotated);
    if (!painter.isActive())
        return bitmap;
    const float halfW = w / 2.0f;
    const float halfH = h / 2.0f;
    painter.translate(halfW, halfH);
    painter.rotate(angleDegrees);
    painter.translate(-halfW, -halfH);
    painter.drawImage(QRect(0, 0, w, h), bitmap);
    painter.end();
    return rotated;
}

}  // namespace tamovox
