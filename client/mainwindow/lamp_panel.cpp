// Lamp panel: the link and traffic lamps, the "ERROR LEVEL" row and the two focus lamps, five
// times a second.
#include "mainwindow/panels.h"

#include "core/shared_state.h"
#include "imaging/labels.h"
#include "mainwindow/lamps.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window.h"

#include <QApplication>

namespace tamovox {

namespace {

struct LampSpot {
    std::atomic<int> LampStates::*state;
    int x, y;
    const char* label;
    int labelX, labelY;
};

constexpr LampSpot kLampSpots[] = {
    {&LampStates::peer, 420, 270, "P2P", 418, 293},
    {&LampStates::https, 310, 270, "HTTPS", 300, 293},
    {&LampStates::transmit, 370, 270, "TX-RX", 361, 293},
    {&LampStates::voiceLink, 310, 220, "UDP", 307, 243},
    {&LampStates::supervisorLink, 340, 220, "SVC", 337, 243},
    {&LampStates::tcp, 370, 220, "TCP", 367, 243},
};
// Every lamp and label of the panel below the meters.
constexpr Rect kLampArea{298, 218, 520, 312};

}  // namespace

std::array<int, 5> errorLevelLamps(int e)
{
    switch (e) {
    case 0: return {3, 6, 6, 6, 6};
    case 1: return {6, 3, 6, 6, 6};
    case 2: return {6, 6, 3, 6, 6};
    case 3: return {6, 6, 6, 4, 6};
    case 4: return {6, 6, 6, 6, 1};
    case 99: return {1, 1, 1, 1, 1};
    default: return {6, 6, 6, 6, 6};
    }
}

void paintLampPanel()
{
    MainWindow* window = mainWindow();
    if (!window)
        return;
    SharedState& s = shared();
    QImage& canvas = window->canvas();
    const std::uint32_t background = s.appearance.backgroundColour;
    const auto levels = errorLevelLamps(s.lamps.receptionErrorCount);
    for (std::size_t i = 0; i < levels.size(); ++i)
        s.lamps.errorLevel[i] = levels[i];
    const int focus = QApplication::activeWindow() == window ? 3 : 1;

    // A tick that would draw the same picture again draws nothing.
    std::array<int, std::size(kLampSpots) + 5 + 3> picture{};
    std::size_t n = 0;
    for (const LampSpot& spot : kLampSpots)
        picture[n++] = (s.lamps.*spot.state).load();
    for (const int level : levels)
        picture[n++] = level;
    picture[n++] = focus;
    picture[n++] = static_cast<int>(background);
    picture[n++] = window->repaintGeneration();
    static std::array<int, std::size(kLampSpots) + 5 + 3> lastPicture{};
    static bool drawnOnce = false;
    if (drawnOnce && picture == lastPicture)
        return;
    drawnOnce = true;
    lastPicture = picture;

    for (const LampSpot& spot : kLampSpots) {
        drawLamp(canvas, (s.lamps.*spot.state).load(), spot.x, spot.y, background);
        drawLabel(canvas, spot.label, spot.labelX, spot.labelY, background);
    }
    for (std::size_t i = 0; i < levels.size(); ++i)
        drawLamp(canvas, levels[i], 420 + 18 * static_cast<int>(i), 220, background);
    drawLabel(canvas, "ERROR LEVEL", 429, 243, background);
    window->flush(kLampArea);

    for (const int x : kFocusLampX)
        window->flush(drawLamp(canvas, focus, x, kFocusLampY, background));
}

}  // namespace tamovox
