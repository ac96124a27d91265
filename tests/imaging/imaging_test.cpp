// The drawing helpers on small fixtures whose right answer is known by hand.
#include "imaging/animation.h"
#include "imaging/box_blur.h"
#include "imaging/draw_helpers.h"
#include "imaging/knob.h"
#include "skin/image_writers.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace tamovox;

QImage filled(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

TEST(Rotation, TurnsClockwiseAboutTheCentre)
{
    QImage source = filled(5, 5, qRgb(40, 40, 40));
    source.setPixel(4, 2, qRgb(255, 0, 0));  // right of the centre
    const QImage turned = rotateBitmap(source, 90);
    ASSERT_EQ(turned.size(), source.size());
    EXPECT_EQ(turned.pixel(2, 4), qRgb(255, 0, 0)) << "right of the centre goes below it";
    EXPECT_EQ(turned.pixel(4, 2), qRgb(40, 40, 40));

    const QImage same = rotateBitmap(source, 0);
    EXPECT_EQ(same.convertToFormat(QImage::Format_RGB32), source.convertToFormat(QImage::Format_RGB32));

    // A wide bitmap turned upright: its corners fall outside and show opaque black.
    const QImage wide = rotateBitmap(filled(8, 4, qRgb(200, 200, 200)), 90);
    ASSERT_EQ(wide.size(), QSize(8, 4));
    EXPECT_EQ(wide.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(qAlpha(wide.pixel(0, 0)), 255);
    EXPECT_EQ(wide.pixel(4, 2), qRgb(200, 200, 200));
}

TEST(TransparentCopy, BlackShowsTheBackgroundThrough)
{
    QImage target = filled(4, 2, qRgb(0, 90, 0));
    QImage bitmap = filled(2, 1, qRgb(0, 0, 0));
    bitmap.setPixel(1, 0, qRgb(250, 10, 10));
    drawTransparent(target, bitmap, 1, 1);
    EXPECT_EQ(target.pixel(1, 1), qRgb(0, 90, 0));
    EXPECT_EQ(target.pixel(2, 1), qRgb(250, 10, 10));
    drawTransparent(target, bitmap, 3, 1);  // half outside: clipped, not written past the row
    EXPECT_EQ(target.pixel(3, 1), qRgb(0, 90, 0));
}

TEST(BoxBlur, TintedAverageFromTheUnfilteredCopy)
{
    // One bright pixel in the middle of a 7 x 7 black block: every filtered pixel within two
    // of it averages it once; filtering in place would smear it further.
    QImage image = filled(9, 9, qRgb(0, 0, 0));
    image.setPixel(4, 4, qRgb(250, 0, 125));
    boxBlur(image, {1, 1, 8, 8});  // 7 x 7: filtered pixels are columns and rows 3..5
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            const bool filtered = x >= 3 && x <= 5 && y >= 3 && y <= 5;
            const QRgb expected = filtered ? qRgb(10, 127, 5) : (x == 4 && y == 4 ? qRgb(250, 0, 125) : qRgb(0, 0, 0));
            EXPECT_EQ(image.pixel(x, y), expected);
        }
}

TEST(Knob, DotsAndHitRectanglePerCounter)
{
    QImage target = filled(400, 120, qRgb(0, 0, 0));
    QImage knob = filled(56, 56, qRgb(0, 0, 0));
    {
        QPainter p(&knob);
        p.setBrush(QColor(120, 120, 120));
        p.drawEllipse(6, 6, 44, 44);
    }
    KnobContext context{&target, 10, 0, 1};
    Rect hit;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const int x = 20 + 90 * i;
        ASSERT_TRUE(drawKnob(context, knob, 180, x, nullptr, hit));
        EXPECT_EQ(hit, (Rect{x, 10, x + 56, 66}));
        const QColor dot0(target.pixel(x + 28, 10 + 28 + 30));  // 30 px straight below the centre
        if (i < 3)
            EXPECT_EQ(dot0, QColor(0, 0, 255)) << "first dot is blue";
        else
            EXPECT_EQ(dot0, QColor(0, 0, 0)) << "a fourth knob has no dots";
    }
    EXPECT_EQ(context.counter, 5);
    EXPECT_FALSE(drawKnob(context, QImage(), 180, 0, nullptr, hit));
}

std::string writeGif(const std::vector<std::uint8_t>& bytes, const char* tag)
{
    const auto path = std::filesystem::temp_directory_path() / (std::string("tamovox-") + tag + std::to_string(getpid()) + ".gif");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

TEST(Animation, FramesArePrescaledWithTheirDelays)
{
    std::vector<QImage> frames;
    for (QRgb colour : {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}) {
        QImage frame(40, 30, QImage::Format_RGB32);
        frame.fill(colour);
        frames.push_back(frame);
    }
    std::vector<std::uint8_t> gif = skin::encodeGif(frames, 7);
    // Give the second frame its own delay (3 cs) in its graphic control extension.
    int extension = 0;
    for (std::size_t i = 0; i + 5 < gif.size(); ++i)
        if (gif[i] == 0x21 && gif[i + 1] == 0xF9 && gif[i + 2] == 0x04 && ++extension == 2) {
            gif[i + 4] = 3;
            gif[i + 5] = 0;
            break;
        }
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::vector<int> delays;
    } cases[] = {
        {"per-frame delays", gif, {70, 30, 70}},
        {"no delay animates at 100 ms", skin::encodeGif(frames, 0), {100, 100, 100}},
        {"single frame", skin::encodeGif({frames[0]}, 5), {50}},
        {"not a picture", {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = writeGif(c.bytes, "anim");
        const AnimationFrames animation = readAnimationFrames(QString::fromStdString(path));
        std::filesystem::remove(path);
        EXPECT_EQ(animation.delays, c.delays);
        ASSERT_EQ(animation.frames.size(), c.delays.size());
        for (const QImage& frame : animation.frames)
            EXPECT_EQ(frame.size(), QSize(150, 150));
        if (!animation.frames.empty()) {
            EXPECT_EQ(QColor(animation.frames[0].pixel(75, 75)), QColor(255, 0, 0));
        }
    }
}

}  // namespace
