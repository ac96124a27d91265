// The two needle meter windows on the main window and the level bars under them. Main thread.
#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>

class QTimer;

namespace tamovox {

inline constexpr const char* kVuMeterFile = "vu_meter_2.bmp";
inline constexpr int kVuTimerPeriodMs = 50;
inline constexpr int kLevelBarWidth = 150;

enum class MeterSide { Left = 0, Right = 1 };

// One meter: its own copy of the dial bitmap, redrawn with the needle by its own timer.
class VuMeterWindow : public QWidget {
public:
    VuMeterWindow(MeterSide side, QWidget* parent);
    // One timer tick: dial, needle and, for the left meter, both level bars.
    void redraw();
    const QImage& canvas() const { return canvas_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MeterSide side_;
    QImage dial_;
    QImage canvas_;
    QTimer* timer_ = nullptr;
    int drawnAngle_ = -1;  // needle angle on the canvas; -1 before the first tick
};

// Creates both meters on the main window and starts their timers. False, with both handles
// left clear, when there is no main window to hold them; a later call can try again.
bool createVuMeters();

// The needle's angle: the meter angle when it lies in 218..320, else 218.
int needleAngle(int meterAngle);
// Colour (0xAARRGGBB) of level bar column i for a bar level.
std::uint32_t levelBarColumnColour(int column, int barLevel);
// Redraws both level bars on the main window.
void redrawLevelBars();

}  // namespace tamovox
