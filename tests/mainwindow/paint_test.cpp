// The painted main window, checked at points taken from the layout: lamps, close cross, logo,
// outlines, meters and bars; and the pure tables the panels use.
#include "window_fixture.h"

#include "audio/vu_meters.h"
#include "imaging/animation.h"
#include "mainwindow/input.h"
#include "mainwindow/panels.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace tamovox;

const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kNeedle(80, 80, 255);

QColor lampColour(int code) { return QColor(shared().skin.lamps[static_cast<std::size_t>(code)].pixel(7, 7)); }

bool anyPixel(const QImage& image, const Rect& r, const QColor& colour)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (QColor(image.pixel(x, y)) == colour)
                return true;
    return false;
}

int distance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

TEST(MainWindowPaint, KnownStateGivesLayoutPixels)
{
    MainWindow* window = test::openWindow();
    SharedState& s = shared();
    for (int code = 1; code <= 6; ++code)
        ASSERT_FALSE(s.skin.lamps[static_cast<std::size_t>(code)].isNull()) << code;
    s.lamps.peer = 1;
    s.lamps.https = 2;
    s.lamps.transmit = 3;
    s.lamps.voiceLink = 4;
    s.lamps.supervisorLink = 5;
    s.lamps.tcp = 6;
    s.lamps.receptionErrorCount = 3;
    s.lamps.activity[0] = 5;
    s.lamps.activity[4] = 1;
    s.lamps.activity[8] = 3;
    s.audio.meterAngle[0] = 270;  // straight up
    s.audio.meterAngle[1] = 0;    // nothing computed yet: 218
    s.audio.barLevel[0] = 1280;   // ten columns
    s.audio.barLevel[1] = 19200;  // full
    s.audio.receivedAudioKind = 2;
    paintMainWindow();
    paintNetworkRing();
    s.lamps.activity[0] = 0;  // no lamp: the one drawn at state 5 must go out
    paintNetworkRing();
    paintLampPanel();
    paintKnobPanel();
    paintHelpLine();
    paintStatusBox();
    auto* left = static_cast<VuMeterWindow*>(s.windows.vuMeterLeft);
    auto* right = static_cast<VuMeterWindow*>(s.windows.vuMeterRight);
    ASSERT_TRUE(left && right);
    left->redraw();
    right->redraw();
    const QImage& c = window->canvas();

    struct Case {
        const char* what;
        const QImage& image;
        int x, y;
        QColor expected;
        int tolerance = 0;
    } cases[] = {
        {"window outline", c, 1, 365, kYellow},
        {"status box outline left", c, 11, 685, kYellow},
        {"status box outline right", c, 538, 685, kYellow},
        {"status box inside", c, 30, 700, kBlack},
        {"close cross normal", c, 525, 25, kRed},
        {"help line frame", c, 8, 55, kYellow},
        {"help line inside corner", c, 11, 46, kBlack},
        {"P2P red", c, 427, 277, lampColour(1)},
        {"HTTPS dark red", c, 317, 277, lampColour(2)},
        {"TX-RX green", c, 377, 277, lampColour(3)},
        {"UDP yellow", c, 317, 227, lampColour(4)},
        {"SVC blue", c, 347, 227, lampColour(5)},
        {"TCP dark blue", c, 377, 227, lampColour(6)},
        {"error level 0 dark blue", c, 427, 227, lampColour(6)},
        {"error level 3 yellow", c, 481, 227, lampColour(4)},
        {"ring lamp 0 out", c, 427, 427, kBlack},
        {"ring lamp 4 red", c, 387, 387, lampColour(1)},
        {"ring lamp 8 green", c, 427, 347, lampColour(3)},
        {"ring lamp 12 blue", c, 467, 387, lampColour(5)},
        {"left bar column 0", c, 200, 170, QColor(0, 255, 0)},
        {"left bar column 9 filled", c, 209, 170, QColor(21, 255, 0)},
        {"left bar column 10 white", c, 210, 175, kWhite},
        {"right bar column 120", c, 490, 166, QColor(255, 128, 0)},
        {"right bar column 149 red", c, 519, 170, kRed},
        {"left needle straight up", left->canvas(), 75, 30, kNeedle, 40},
        {"right needle up-left", right->canvas(), 47, 62, kNeedle, 60},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_LE(distance(test::pixel(k.image, k.x, k.y), k.expected), k.tolerance)
            << test::pixel(k.image, k.x, k.y).name().toStdString() << " expected " << k.expected.name().toStdString();
    }
    EXPECT_NE(distance(test::pixel(right->canvas(), 75, 30), kNeedle), 0) << "right needle is not straight up";

    struct Area {
        const char* what;
        Rect rect;
        QColor colour;
        bool present;
    } areas[] = {
        {"logo is yellow", {125, 15, 425, 35}, kYellow, true},
        {"credit line is yellow", {390, 610, 535, 650}, kYellow, true},
        {"codec label OPUS", {334, 179, 384, 194}, kYellow, true},
        {"version line is white", {430, 605, 520, 619}, kWhite, true},
    };
    for (const Area& a : areas) {
        SCOPED_TRACE(a.what);
        EXPECT_EQ(anyPixel(c, a.rect, a.colour), a.present);
    }
    EXPECT_EQ(s.appearance.repaintRefetch.load(), 1);

    // No codec: the label area is background only.
    s.audio.receivedAudioKind = 0;
    paintKnobPanel();
    for (int y = 179; y < 194; ++y)
        for (int x = 334; x < 384; ++x)
            ASSERT_EQ(test::pixel(c, x, y), kBlack) << x << "," << y;
}

TEST(MainWindowPaint, CloseCrossTurnsHotAndBackOnlyWhenEnabled)
{
    MainWindow* window = test::openWindow();
    const QImage& c = window->canvas();
    handleMouseMove(200, 400);
    EXPECT_EQ(test::pixel(c, 525, 25), kRed);
    handleMouseMove(525, 25);
    EXPECT_EQ(test::pixel(c, 525, 25), kYellow);
    handleMouseMove(200, 400);
    EXPECT_EQ(test::pixel(c, 525, 25), kRed);

    shared().appearance.closeCrossEnabled = 0;
    paintMainWindow();
    handleMouseMove(525, 25);
    EXPECT_EQ(test::pixel(c, 525, 25), kBlack);
    handleMouseMove(200, 400);
    EXPECT_EQ(test::pixel(c, 525, 25), kBlack);
}

TEST(MainWindowPaint, FocusLampsFollowTheActiveWindow)
{
    MainWindow* window = test::openWindow();
    window->activateWindow();
    QApplication::processEvents();
    if (QApplication::activeWindow() != window)
        GTEST_SKIP() << "this platform plugin does not activate windows";
    paintLampPanel();
    EXPECT_EQ(test::pixel(window->canvas(), 132, 25), lampColour(3));
    EXPECT_EQ(test::pixel(window->canvas(), 416, 25), lampColour(3));
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    paintLampPanel();
    EXPECT_EQ(test::pixel(window->canvas(), 132, 25), lampColour(1));
    EXPECT_EQ(test::pixel(window->canvas(), 416, 25), lampColour(1));
}

TEST(MainWindowPaint, ChannelPanelShowsTheDigitOnlyOffChannelZero)
{
    MainWindow* window = test::openWindow();
    const QImage& digit = shared().skin.channel[3];
    // A bright pixel of digit 3, where the frame background is dark.
    QPoint lit;
    for (int y = 0; y < digit.height() && lit.isNull(); ++y)
        for (int x = 0; x < digit.width(); ++x)
            if (QColor(digit.pixel(x, y)).red() > 200) {
                lit = {x, y};
                break;
            }
    ASSERT_FALSE(lit.isNull());
    const QPoint at(50 + lit.x(), 100 + lit.y());
    shared().channel.channelPort = 30003;
    paintChannelPanel();
    EXPECT_EQ(test::pixel(window->canvas(), at.x(), at.y()), QColor(digit.pixel(lit)));
    EXPECT_EQ(test::pixel(window->canvas(), 10, 120), kRed) << "channel frame";
    shared().channel.channelPort = 30000;
    paintChannelPanel();
    EXPECT_NE(test::pixel(window->canvas(), at.x(), at.y()), QColor(digit.pixel(lit)));
}

TEST(StatusPanels, NetworkRingPositionsAreTheSkinsCircle)
{
    const int xs[16] = {420, 405, 392, 384, 380, 384, 392, 405, 420, 435, 448, 456, 460, 456, 448, 435};
    const int ys[16] = {420, 416, 408, 395, 380, 365, 352, 344, 340, 344, 352, 365, 380, 395, 408, 416};
    const auto points = networkRingPositions();
    for (int k = 0; k < 16; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(points[static_cast<std::size_t>(k)].x, xs[k]);
        EXPECT_EQ(points[static_cast<std::size_t>(k)].y, ys[k]);
    }
}

TEST(StatusPanels, ErrorLevelLampsPerCount)
{
    struct Case {
        int count;
        std::array<int, 5> lamps;
    } cases[] = {
        {0, {3, 6, 6, 6, 6}}, {1, {6, 3, 6, 6, 6}}, {2, {6, 6, 3, 6, 6}}, {3, {6, 6, 6, 4, 6}},
        {4, {6, 6, 6, 6, 1}}, {5, {6, 6, 6, 6, 6}}, {99, {1, 1, 1, 1, 1}}, {-1, {6, 6, 6, 6, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(errorLevelLamps(c.count), c.lamps);
    }
}

TEST(VuMeters, NeedleAngleAndBarColours)
{
    struct Angle {
        int meter, needle;
    } angles[] = {{0, 218}, {217, 218}, {218, 218}, {270, 270}, {320, 320}, {321, 218}, {-5, 218}};
    for (const Angle& a : angles) {
        SCOPED_TRACE(a.meter);
        EXPECT_EQ(needleAngle(a.meter), a.needle);
    }
    // 1280 colours exactly columns 0..9; 0 none; 32767 every column, red from column 135.
    EXPECT_NE(levelBarColumnColour(9, 1280), 0xFFFFFFFFu);
    EXPECT_EQ(levelBarColumnColour(10, 1280), 0xFFFFFFFFu);
    EXPECT_EQ(levelBarColumnColour(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(levelBarColumnColour(0, -400), 0xFFFFFFFFu);
    EXPECT_EQ(levelBarColumnColour(149, 32767), 0xFFFF0000u);
    EXPECT_EQ(levelBarColumnColour(135, 32767), 0xFFFF0100u) << "135 / 150 in single precision lies just below 0.9";
    EXPECT_EQ(levelBarColumnColour(136, 32767), 0xFFFF0000u);
    EXPECT_EQ(levelBarColumnColour(134, 32767) & 0xFFFF00FFu, 0xFFFF0000u) << "yellow to red band";
    EXPECT_EQ(levelBarColumnColour(104, 32767) & 0xFF00FFFFu, 0xFF00FF00u) << "green to yellow band";
}

}  // namespace
