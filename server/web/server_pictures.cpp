#include "web/server_pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

namespace tamovox::web {

namespace {

constexpr int kAllocationLimitMb = kMaxIncomingSide * kMaxIncomingSide * 4 / (1024 * 1024) + 1;

std::vector<std::uint8_t> toPng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return {bytes.begin(), bytes.end()};
}

// Decodes bytes whose format is one of allowed; null when it is not or it is too large.
QImage readPicture(std::span<const std::uint8_t> bytes, std::initializer_list<const char*> allowed)
{
    QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kAllocationLimitMb);
    bool known = false;
    for (const char* format : allowed)
        known = known || reader.format() == format;
    const QSize size = reader.size();
    if (!known || !size.isValid() || size.width() > kMaxIncomingSide || size.height() > kMaxIncomingSide)
        return {};
    QImage image;
    if (!reader.read(&image))
        return {};
    return image;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> normaliseProfilePicture(std::span<const std::uint8_t> bytes, std::string& error)
{
    QImage image = readPicture(bytes, {"png", "jpeg"});
    if (image.isNull()) {
        error = "La photo doit être une image PNG ou JPEG lisible d'au plus 4096 x 4096 pixels.";
        return std::nullopt;
    }
    if (image.width() > kProfilePictureSide || image.height() > kProfilePictureSide)
        image = image.scaled(kProfilePictureSide, kProfilePictureSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return toPng(image.convertToFormat(QImage::Format_ARGB32));
}

bool isSharedPicture(std::span<const std::uint8_t> bytes)
{
    return !readPicture(bytes, {"png", "jpeg", "bmp", "gif"}).isNull();
}

std::vector<std::uint8_t> defaultPicture(int number)
{
    const int w = 120;
    const int h = 150;
    QImage image(w, h, QImage::Format_ARGB32);
    const QColor back = QColor::fromHsv((number * 47) % 360, 90, 120);
    image.fill(back);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(back.lighter(170));
    p.drawEllipse(QPointF(w / 2.0, 58), 28, 32);                 // head
    p.drawRoundedRect(QRectF(18, 100, w - 36, 70), 30, 30);      // shoulders
    p.end();
    return toPng(image);
}

std::vector<std::uint8_t> usbIconPng(int state)
{
    const QColor colour = state == 2 ? QColor(20, 180, 60) : state == 3 ? QColor(220, 30, 30) : QColor(10, 10, 10);
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A light disc so the black plug stays visible on a dark background.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 235, 235));
    p.drawEllipse(QRectF(0.5, 0.5, 31, 31));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(9, 13, 14, 11), 2, 2);   // plug body
    p.drawRect(QRectF(11, 6, 10, 8));                 // connector shell
    p.setBrush(QColor(235, 235, 235));
    p.drawRect(QRectF(13, 8, 2, 3));                  // contacts
    p.drawRect(QRectF(17, 8, 2, 3));
    p.setBrush(colour);
    p.drawRect(QRectF(14.5, 24, 3, 6));               // cable
    p.end();
    return toPng(image);
}

}  // namespace tamovox::web
