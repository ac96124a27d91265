// First cut of the panels: the channel frame only, until the full panels land.
#include "mainwindow/panels.h"

#include "core/shared_state.h"
#include "mainwindow/main_window.h"

#include <QPainter>

namespace tamovox {

void paintChannelPanel()
{
    SharedState& s = shared();
    MainWindow* window = mainWindow();
    if (!window || !s.appearance.channelPanelReady)
        return;
    QPainter painter(&window->canvas());
    painter.drawImage(QPoint(10, 80), s.skin.channel[0]);
    const int index = s.channel.channelPort - kFirstChannelPort;
    if (index > 0 && index < kChannelCount)
        painter.drawImage(QPoint(50, 100), s.skin.channel[index]);
    window->flush(s.layout.channelFrame);
}

void paintNetworkRing() {}
void paintKnobPanel() {}
void paintHelpLine() {}
void paintStatusBox() {}
void paintLampPanel() {}

}  // namespace tamovox
