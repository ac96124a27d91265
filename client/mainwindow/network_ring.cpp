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
    // Twenty ticks a second mostly find the ring as it was: only the lamps that changed are drawn
    // again, and everything after a full repaint or a new background colour.
    static std::array<int, kActivityLamps> lastStates{};
    static std::uint32_t lastBackground = 0;
    static int lastGeneration = -1;
    static Rect lastLabel{};
    const bool everything = window->repaintGeneration() != lastGeneration || background != lastBackground;
    lastBackground = background;
    lastGeneration = window->repaintGeneration();
    const auto points = networkRingPositions();
    Rect drawn{};
    bool labelCovered = everything;
    auto include = [&drawn](const Rect& r) {
        if (r.width() <= 0)
            return;
        drawn = drawn.width() <= 0 ? r
                                   : Rect{std::min(drawn.left, r.left), std::min(drawn.top, r.top), std::max(drawn.right, r.right),
                                          std::max(drawn.bottom, r.bottom)};
    };
    for (std::size_t k = 0; k < points.size(); ++k) {
        const int state = s.lamps.activity[k];
        if (!everything && state == lastStates[k])
            continue;
        lastStates[k] = state;
        const Rect cell = drawLamp(canvas, state, points[k].x, points[k].y, background);
        include(cell);
        labelCovered = labelCovered || (cell.left < lastLabel.right && lastLabel.left < cell.right &&
                                        cell.top < lastLabel.bottom && lastLabel.top < cell.bottom);
    }
    // The label overlaps the rightmost lamp's cell, so it goes on top of any lamp drawn under it.
    if (labelCovered) {
        lastLabel = drawLabel(canvas, "NETWORK", 402, 380, background);
        include(lastLabel);
    }
    if (drawn.width() > 0)
        window->flush(drawn);
}

}  // namespace tamovox
