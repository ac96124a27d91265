#include "web/pictures.h"

#include "web/http_client.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>

#include <cstring>

namespace tamovox {

namespace {
constexpr std::uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// Enough for one 4096 x 4096 ARGB32 frame and no more.
constexpr int kAllocationLimitMb = 4096 * 4096 * 4 / (1024 * 1024) + 1;

bool withinCap(const QSize& size)
{
    return size.isValid() && size.width() > 0 && size.height() > 0 && size.width() <= kMaxPictureSide &&
           size.height() <= kMaxPictureSide;
}

QImage decodeFromResponse(int length, bool pngOnly)
{
    if (length <= 0)
        return {};
    ResponseHold hold;
    const char* buffer = responseBuffer();
    if (!buffer)
        return {};
    return decodePictureBytes({reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(length)}, pngOnly);
}
}  // namespace

QImage decodePictureBytes(std::span<const std::uint8_t> bytes, bool pngOnly)
{
    if (bytes.empty())
        return {};
    if (pngOnly && (bytes.size() < sizeof kPngSignature || std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0))
        return {};
    // The memory stream owns its copy: the response buffer may be reused once we return.
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer stream(&data);
    stream.open(QIODevice::ReadOnly);
    QImageReader reader(&stream, pngOnly ? QByteArray("png") : QByteArray());
    reader.setAllocationLimit(kAllocationLimitMb);
    if (!withinCap(reader.size()))
        return {};
    QImage frame;
    if (!reader.read(&frame) || frame.isNull() || !withinCap(frame.size()))
        return {};
    QImage picture(frame.size(), QImage::Format_ARGB32);
    picture.fill(0xFF000000);
    QPainter painter(&picture);
    painter.drawImage(0, 0, frame);
    painter.end();
    return picture;
}

QImage decodePng(int length) { return decodeFromResponse(length, /*pngOnly=*/true); }
QImage decodeAnyImage(int length) { return decodeFromResponse(length, /*pngOnly=*/false); }

}  // namespace tamovox
