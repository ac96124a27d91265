// Generates every skin file the client opens, into the folder given on the command line.
// Deterministic: the same build makes the same bytes. All artwork is drawn here.
#include "image_writers.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Black is the transparent key of the client's copies: drawn areas stay above it.
QImage blank(int w, int h, QColor fill = Qt::black)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

QFont face(int pixels, bool bold = true)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QImage channelFrame()
{
    QImage image = blank(180, 110);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient glass(0, 0, 0, 110);
    glass.setColorAt(0, QColor(18, 30, 58));
    glass.setColorAt(1, QColor(6, 10, 22));
    p.fillRect(image.rect(), glass);
    p.setPen(QColor(30, 52, 92));
    for (int x = 6; x < 180; x += 12)
        p.drawLine(x, 26, x, 96);
    for (int y = 26; y < 100; y += 12)
        p.drawLine(4, y, 176, y);
    p.setPen(QPen(QColor(70, 110, 170), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(36.5, 17.5, 107, 68), 6, 6);
    return image;
}

// Seven-segment style digits glowing amber; black around them is the transparent key.
QImage channelDigit(int n)
{
    QImage image = blank(80, 60);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QString text = QString::number(n);
    QFont font = face(n >= 10 ? 44 : 50);
    p.setFont(font);
    for (int glow = 4; glow >= 1; --glow) {
        p.setPen(QColor(90 / glow + 20, 40 / glow + 8, 1));
        for (int dx = -glow; dx <= glow; dx += glow)
            p.drawText(image.rect().translated(dx, 0), Qt::AlignCenter, text);
    }
    p.setPen(QColor(255, 176, 40));
    p.drawText(image.rect(), Qt::AlignCenter, text);
    return image;
}

QImage knob(QColor body, QColor pointer, bool ticks)
{
    const int size = 56;
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shade(size * 0.38, size * 0.32, size * 0.62);
    shade.setColorAt(0, body.lighter(170));
    shade.setColorAt(0.55, body);
    shade.setColorAt(1, body.darker(260));
    p.setPen(QPen(QColor(12, 12, 14), 2));
    p.setBrush(shade);
    p.drawEllipse(QRectF(5, 5, size - 10, size - 10));
    p.setPen(QPen(body.darker(200), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(13, 13, size - 26, size - 26));
    if (ticks) {
        p.setPen(QPen(body.lighter(140), 2));
        for (int i = 0; i < 12; ++i) {
            const double a = i * kPi / 6;
            p.drawLine(QPointF(28 + 17 * std::sin(a), 28 - 17 * std::cos(a)), QPointF(28 + 21 * std::sin(a), 28 - 21 * std::cos(a)));
        }
    }
    // The unturned pointer points up.
    p.setPen(QPen(pointer, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(28, 26), QPointF(28, 10));
    return image;
}

QImage documentationIcon()
{
    QImage image = blank(30, 30, QColor(20, 24, 40));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath page;
    page.moveTo(7, 3);
    page.lineTo(19, 3);
    page.lineTo(25, 9);
    page.lineTo(25, 27);
    page.lineTo(7, 27);
    page.closeSubpath();
    p.setPen(QPen(QColor(40, 60, 110), 1));
    p.setBrush(QColor(236, 240, 250));
    p.drawPath(page);
    p.setBrush(QColor(190, 200, 225));
    p.drawPolygon(QPolygonF({QPointF(19, 3), QPointF(19, 9), QPointF(25, 9)}));
    p.setPen(QPen(QColor(60, 110, 200), 1.5));
    for (int y = 13; y <= 23; y += 3)
        p.drawLine(QPointF(10, y), QPointF(22, y));
    return image;
}

QImage speechIcon()
{
    QImage image = blank(32, 32, QColor(20, 24, 40));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(250, 210, 60), 1.5));
    p.setBrush(QColor(60, 150, 90));
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(3, 4, 26, 18), 6, 6);
    bubble.moveTo(9, 21);
    bubble.lineTo(7, 28);
    bubble.lineTo(15, 21);
    p.drawPath(bubble.simplified());
    p.setPen(QPen(QColor(255, 255, 255), 2, Qt::SolidLine, Qt::RoundCap));
    const int bars[] = {4, 8, 12, 7, 10, 5};
    for (int i = 0; i < 6; ++i)
        p.drawLine(QPointF(8 + i * 3.2, 13 - bars[i] / 2.0), QPointF(8 + i * 3.2, 13 + bars[i] / 2.0));
    return image;
}

QImage vuMeter()
{
    const int w = 150, h = 84;
    QImage image = blank(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient dial(0, 0, 0, h);
    dial.setColorAt(0, QColor(252, 238, 196));
    dial.setColorAt(1, QColor(226, 204, 150));
    p.fillRect(image.rect(), dial);
    p.setPen(QPen(QColor(90, 70, 40), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, w - 2, h - 2));
    const QPointF pivot(w / 2, h);
    // Scale from 218 to 319 degrees (screen angles, the needle's range), red beyond 300.
    for (int a = 218; a <= 319; a += 1) {
        const double rad = a * kPi / 180;
        const bool major = (a - 218) % 10 == 0;
        const double inner = major ? 56 : 61;
        if (!major && (a - 218) % 5 != 0)
            continue;
        p.setPen(QPen(a >= 300 ? QColor(200, 30, 30) : QColor(50, 40, 30), major ? 2 : 1));
        p.drawLine(pivot + QPointF(std::cos(rad) * inner, std::sin(rad) * inner), pivot + QPointF(std::cos(rad) * 66, std::sin(rad) * 66));
    }
    p.setPen(QPen(QColor(200, 30, 30), 3));
    p.drawArc(QRectF(pivot.x() - 68, pivot.y() - 68, 136, 136), -300 * 16, -19 * 16);
    p.setFont(face(13));
    p.setPen(QColor(70, 50, 30));
    p.drawText(QRectF(0, 48, w, 20), Qt::AlignCenter, "VU");
    p.setFont(face(8, false));
    p.drawText(QRectF(6, 60, 30, 12), Qt::AlignLeft, "-20");
    p.setPen(QColor(200, 30, 30));
    p.drawText(QRectF(w - 30, 60, 24, 12), Qt::AlignRight, "+3");
    return image;
}

QImage lamp(QColor colour)
{
    const int size = 14;
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(5, 4.5, 8);
    glow.setColorAt(0, colour.lighter(190));
    glow.setColorAt(0.45, colour);
    glow.setColorAt(1, colour.darker(230));
    p.setPen(QPen(colour.darker(300), 1));
    p.setBrush(glow);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    return image;
}

std::vector<QImage> electronFrames()
{
    std::vector<QImage> frames;
    const int count = 24;
    for (int f = 0; f < count; ++f) {
        QImage image = blank(150, 150, QColor(6, 8, 20));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient nucleus(75, 75, 16);
        nucleus.setColorAt(0, QColor(255, 240, 160));
        nucleus.setColorAt(1, QColor(200, 80, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(nucleus);
        p.drawEllipse(QPointF(75, 75), 11, 11);
        for (int orbit = 0; orbit < 3; ++orbit) {
            p.save();
            p.translate(75, 75);
            p.rotate(orbit * 60);
            p.setPen(QPen(QColor(60, 120, 220), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(0, 0), 62, 22);
            const double t = 2 * kPi * (f / double(count)) * (orbit == 1 ? 2 : 1) + orbit * 2.1;
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(120, 230, 255));
            p.drawEllipse(QPointF(62 * std::cos(t), 22 * std::sin(t)), 5, 5);
            p.restore();
        }
        frames.push_back(image);
    }
    return frames;
}

// A two-tone bell: partials with exponential decay, mono 22050 Hz.
std::vector<std::int16_t> chime()
{
    const int rate = 22050;
    const double notes[] = {659.25, 523.25};
    std::vector<std::int16_t> samples(static_cast<std::size_t>(rate * 1.4));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        double v = 0;
        for (int n = 0; n < 2; ++n) {
            const double t = i / double(rate) - n * 0.35;
            if (t < 0)
                continue;
            const double envelope = std::exp(-t * 3.2) * std::min(1.0, t * 200);
            v += envelope * (0.6 * std::sin(2 * kPi * notes[n] * t) + 0.25 * std::sin(2 * kPi * notes[n] * 2.01 * t) +
                             0.1 * std::sin(2 * kPi * notes[n] * 3.02 * t));
        }
        samples[i] = static_cast<std::int16_t>(std::lround(v * 9000));
    }
    return samples;
}

bool save(const std::string& folder, const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    if (skin::writeFile(folder + "/" + name, bytes))
        return true;
    std::fprintf(stderr, "generate_skin: cannot write %s/%s\n", folder.c_str(), name.c_str());
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: generate_skin OUTPUT_FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::string out = argv[1];
    bool ok = save(out, "0.bmp", skin::encodeBmp24(channelFrame()));
    for (int n = 1; n <= 10; ++n)
        ok &= save(out, std::to_string(n) + ".bmp", skin::encodeBmp24(channelDigit(n)));
    ok &= save(out, "btn-fleche.bmp", skin::encodeBmp24(knob(QColor(120, 124, 132), QColor(255, 200, 40), false)));
    ok &= save(out, "btn-param.bmp", skin::encodeBmp24(knob(QColor(60, 90, 150), QColor(255, 255, 255), true)));
    ok &= save(out, "doc_img.bmp", skin::encodeBmp24(documentationIcon()));
    ok &= save(out, "synthe_1.bmp", skin::encodeBmp24(speechIcon()));
    ok &= save(out, "vu_meter_2.bmp", skin::encodeBmp24(vuMeter()));
    ok &= save(out, "electron-animation.gif", skin::encodeGif(electronFrames(), 8));
    ok &= save(out, "chimes.wav", skin::encodeWav16(chime(), 22050, 1));
    const std::vector<std::pair<std::string, QColor>> lamps = {
        {"LedRed.bmp", QColor(235, 30, 30)},    {"LedDarkRed.bmp", QColor(110, 16, 16)},
        {"LedGreen.bmp", QColor(40, 220, 60)},  {"LedYellow.bmp", QColor(245, 220, 40)},
        {"LedBlue.bmp", QColor(50, 120, 250)},  {"LedDarkBlue.bmp", QColor(24, 40, 110)},
    };
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> members;
    for (const auto& [name, colour] : lamps)
        members.emplace_back(name, skin::encodeBmp24(lamp(colour)));
    ok &= save(out, "mini_leds.bmf", skin::encodeLampContainer(members));
    return ok ? 0 : 1;
}
