// Network ring: the 16 activity lamps on a circle and the "NETWORK" label, twenty times a second.
#include "mainwindow/panels.h"

#include "core/shared_state.h"
#include "imaging/labels.h"
#include "mainwindow/lamps.h"
#include "mainwindow/main_window.h"

#include <cmath>

namespace tamovox {

namespace {
constexpr int kRingX = 420;
constexpr int kRingY = 380;
constexpr float kRingRadius = 40.0f;
}  // namespace

std::array<LampPoint, 16> networkRingPositions()
{
    // Single precision, angle lowered by repeated subtraction: this gives the skin's exact positions.
    std::array<LampPoint, 16> points{};
    const float step = 0.3926991f;
    float a = 6.2831855f;
    for (std::size_t k = 0; k < points.size() && a > 0.0f; ++k, a -= step)
        points[k] = {kRingX + static_cast<int>(kRingRadius * std::sin(a)), kRingY + static_cast<int>(kRingRadius * std::cos(a))};
    return points;
}

void paintNetworkRing()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    SharedState& s = shared();
    QImage& canvas = window->canvas();
    const std::uint32_t background = s.appearance.backgroundColour;
    const auto points = networkRingPositions();
    Rect drawn{kRingX, kRingY, kRingX, kRingY};
    for (std::size_t k = 0; k < points.size(); ++k) {
        const Rect cell = drawLamp(canvas, s.lamps.activity[k], points[k].x, points[k].y, background);
        drawn = {std::min(drawn.left, cell.left), std::min(drawn.top, cell.top), std::max(drawn.right, cell.right),
                 std::max(drawn.bottom, cell.bottom)};
    }
    const Rect label = drawLabel(canvas, "NETWORK", 402, 380, background);
    drawn = {std::min(drawn.left, label.left), std::min(drawn.top, label.top), std::max(drawn.right, label.right),
             std::max(drawn.bottom, label.bottom)};
    window->flush(drawn);
}

}  // namespace tamovox
