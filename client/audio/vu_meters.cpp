#include "audio/vu_meters.h"

#include "core/shared_state.h"
#include "mainwindow/main_window.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace tamovox {

namespace {

constexpr int kMeterX[2] = {200, 370};
constexpr int kMeterY = 80;
constexpr int kMeterWidth = 150;
constexpr int kMeterHeight = 84;
constexpr int kNeedleLength = 70;
constexpr int kLowestAngle = 218;
constexpr int kHighestAngle = 320;
constexpr int kBarLevelPerColumn = 128;
constexpr double kPi = 3.14159265358979323846;

void drawLevelBar(QImage& canvas, const Rect& bar, int barLevel)
{
    const QRect area = QRect(bar.left, bar.top, kLevelBarWidth, bar.height()).intersected(canvas.rect());
    if (area.isEmpty())
        return;
    std::uint32_t columns[kLevelBarWidth];
    for (int i = 0; i < kLevelBarWidth; ++i)
        columns[i] = levelBarColumnColour(i, barLevel);
    for (int row = area.top(); row <= area.bottom(); ++row)
        std::copy_n(columns + (area.left() - bar.left), area.width(),
                    reinterpret_cast<std::uint32_t*>(canvas.scanLine(row)) + area.left());
}

}  // namespace

int needleAngle(int meterAngle)
{
    return meterAngle >= kLowestAngle && meterAngle <= kHighestAngle ? meterAngle : kLowestAngle;
}

std::uint32_t levelBarColumnColour(int column, int barLevel)
{
    const int filled = std::clamp(barLevel / kBarLevelPerColumn, 0, kLevelBarWidth);
    if (column >= filled)
        return 0xFFFFFFFFu;
    const float x = static_cast<float>(column) / static_cast<float>(kLevelBarWidth);
    int red = 255;
    int green = 0;
    if (static_cast<double>(x) < 0.7) {
        red = static_cast<int>(static_cast<double>(x) / 0.7 * 255);
        green = 255;
    } else if (static_cast<double>(x) < 0.9) {
        green = 255 - static_cast<int>((static_cast<double>(x) - 0.7) / 0.2 * 255);
    }
    return 0xFF000000u | static_cast<std::uint32_t>(red) << 16 | static_cast<std::uint32_t>(green) << 8;
}

void redrawLevelBars()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    SharedState& s = shared();
    const Rect bars[2] = {s.layout.levelBarLeft, s.layout.levelBarRight};
    // Filled columns as last drawn, per bar, and the full repaint they were drawn after.
    static int drawnColumns[2] = {-1, -1};
    static int drawnGeneration = -1;
    if (window->repaintGeneration() != drawnGeneration) {
        drawnColumns[0] = drawnColumns[1] = -1;
        drawnGeneration = window->repaintGeneration();
    }
    for (int side = 0; side < 2; ++side) {
        if (bars[side].width() <= 0)
            continue;  // not laid out yet
        const int level = s.audio.barLevel[side];
        const int columns = std::clamp(level / kBarLevelPerColumn, 0, kLevelBarWidth);
        if (columns == drawnColumns[side])
            continue;  // the same columns coloured: the same picture
        drawnColumns[side] = columns;
        drawLevelBar(window->canvas(), bars[side], level);
        window->flush(bars[side]);
    }
}

VuMeterWindow::VuMeterWindow(MeterSide side, QWidget* parent)
    : QWidget(parent), side_(side), dial_(QString::fromUtf8(kVuMeterFile)),
      canvas_(kMeterWidth, kMeterHeight, QImage::Format_ARGB32_Premultiplied)
{
    setObjectName(side == MeterSide::Left ? "VuMeterLeftClass" : "VuMeterRightClass");
    setAttribute(Qt::WA_OpaquePaintEvent);
    canvas_.fill(QColor(160, 160, 160));  // the stock grey until the first tick
    setGeometry(kMeterX[static_cast<int>(side)], kMeterY, kMeterWidth, kMeterHeight);
    timer_ = new QTimer(this);
    timer_->setObjectName(side == MeterSide::Left ? "timer-vu-1" : "timer-vu-2");
    connect(timer_, &QTimer::timeout, this, &VuMeterWindow::redraw);
    timer_->start(kVuTimerPeriodMs);
    show();
}

void VuMeterWindow::redraw()
{
    if (side_ == MeterSide::Left)
        redrawLevelBars();
    const int angle = needleAngle(shared().audio.meterAngle[static_cast<int>(side_)]);
    if (angle == drawnAngle_)
        return;  // a still needle: the canvas already shows it
    drawnAngle_ = angle;
    const int w = dial_.width();
    const int h = dial_.height();
    {
        QPainter painter(&canvas_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        if (!dial_.isNull())
            painter.drawImage(QPoint(0, 0), dial_);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(80, 80, 255), 3, Qt::SolidLine, Qt::FlatCap));
        const double theta = angle * kPi / 180.0;
        const QPoint pivot(w / 2, h);
        const QPoint tip(pivot.x() - static_cast<int>(std::cos(theta) * -kNeedleLength),
                         pivot.y() - static_cast<int>(std::sin(theta) * -kNeedleLength));
        painter.drawLine(pivot, tip);
    }
    update();
}

void VuMeterWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.drawImage(event->rect(), canvas_, event->rect());
}

bool createVuMeters()
{
    MainWindow* window = mainWindow();
    WindowHandles& handles = shared().windows;
    if (!window) {
        handles.vuMeterLeft = nullptr;
        handles.vuMeterRight = nullptr;
        return false;
    }
    if (!handles.vuMeterLeft)
        handles.vuMeterLeft = new VuMeterWindow(MeterSide::Left, window);
    if (!handles.vuMeterRight)
        handles.vuMeterRight = new VuMeterWindow(MeterSide::Right, window);
    return true;
}

}  // namespace tamovox
