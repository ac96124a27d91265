#include "imaging/box_blur.h"

#include <algorithm>
#include <cstdint>

namespace tamovox {

void boxBlur(QImage& image, const Rect& rect)
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_ARGB32_Premultiplied &&
        image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    const QRect area = QRect(rect.left, rect.top, rect.width(), rect.height()).intersected(image.rect());
    if (area.width() < 5 || area.height() < 5)
        return;
    // Averages come from this unfiltered copy, never from pixels already written.
    const QImage source = image.copy(area);
    const int width = area.width();
    const int height = area.height();
    for (int r = 2; r <= height - 3; ++r) {
        auto* out = reinterpret_cast<std::uint32_t*>(image.scanLine(area.top() + r)) + area.left();
        for (int c = 2; c <= width - 3; ++c) {
            unsigned sumRed = 0;
            unsigned sumBlue = 0;
            for (int dr = -2; dr <= 2; ++dr) {
                const auto* in = reinterpret_cast<const std::uint32_t*>(source.constScanLine(r + dr));
                for (int dc = -2; dc <= 2; ++dc) {
                    const std::uint32_t p = in[c + dc];
                    sumRed += (p >> 16) & 0xFF;
                    sumBlue += p & 0xFF;
                }
            }
            out[c] = 0xFF000000u | (sumRed / 25) << 16 | 127u << 8 | (sumBlue / 25);
        }
    }
}

}  // namespace tamovox
