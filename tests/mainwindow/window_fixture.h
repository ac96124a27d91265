// The main window as start-up leaves it, for the window tests (one per test process).
#pragma once

#include "audio/vu_meters.h"
#include "core/shared_state.h"
#include "app/skin_files.h"
#include "mainwindow/lamps.h"
#include "mainwindow/main_paint.h"
#include "mainwindow/main_window.h"

#include <QApplication>
#include <QColor>

namespace test {

inline tamovox::MainWindow* openWindow()
{
    using namespace tamovox;
    if (MainWindow* window = mainWindow())
        return window;
    SharedState& s = shared();
    MainWindow* window = createMainWindow();
    s.layout.dragStrip = {50, 0, 500, 100};
    s.layout.credit = {390, 610, 535, 650};
    s.layout.closeCross = {510, 10, 540, 40};
    s.appearance.closeCrossEnabled = 1;
    s.layout.animation = {350, 450, 500, 600};
    loadLampBitmaps();
    loadKnobBitmaps();
    s.layout.documentationIcon = {315, 610, 345, 640};
    s.layout.speechIcon = {315, 550, 347, 582};
    loadIconBitmaps();
    s.layout.statusBox = {10, 650, 540, 720};
    createVuMeters();
    s.layout.levelBarLeft = {200, 166, 350, 176};
    s.layout.levelBarRight = {370, 166, 520, 176};
    loadChannelBitmaps();
    s.layout.channelFrame = {10, 80, 190, 190};
    s.appearance.channelPanelReady = 1;
    s.layout.codecLabel = {334, 179, 384, 194};
    s.layout.countdown = {455, 270, 510, 285};
    QApplication::processEvents();  // the queued first paint
    return window;
}

inline QColor pixel(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

}  // namespace test
