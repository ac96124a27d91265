// Channel panel: frame background, channel digit, red frame, channel name, member count.
#include "mainwindow/panels.h"

#include "core/shared_state.h"
#include "imaging/draw_helpers.h"
#include "imaging/labels.h"
#include "mainwindow/colours.h"
#include "mainwindow/layout.h"
#include "mainwindow/main_window.h"
#include "transport/channels.h"

#include <QPainter>

#include <cstdio>

namespace tamovox {

namespace {
constexpr int kChannelNameHeight = 16;
}

void paintChannelPanel()
{
    SharedState& s = shared();
    MainWindow* window = mainWindow();
    if (!window || !s.appearance.channelPanelReady)
        return;
    QImage& canvas = window->canvas();
    const Rect& frame = s.layout.channelFrame;
    const std::uint32_t background = s.appearance.backgroundColour;
    {
        QPainter painter(&canvas);
        painter.drawImage(QPoint(10, 80), s.skin.channel[0]);
    }
    const int port = s.channel.channelPort;
    const int index = port - kFirstChannelPort;
    if (index > 0 && index < kChannelCount)
        drawTransparent(canvas, s.skin.channel[static_cast<std::size_t>(index)], 50, 100);
    {
        QPainter painter(&canvas);
        painter.setPen(QPen(colourFromRef(kRed), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame.left, frame.top, frame.width() - 1, frame.height() - 1);
    }
    // A port outside the table shows no name.
    if (const char* name = channelName(channelIndexOfPort(port)))
        drawCentredText(canvas, QString::fromUtf8(name), kChannelNameRect, kChannelNameHeight, kYellow, -1, TextAlign::Top);
    char count[16];
    std::snprintf(count, sizeof count, "%d", s.channel.currentChannelCount.load());
    drawLabel(canvas, count, 160, 168, background);
    drawLabel(canvas, "CHANNEL", 18, 182, background);
    // The "CHANNEL" label runs a few pixels below the frame.
    window->flush({frame.left, frame.top, frame.right, 182 + kLabelHeight + 2});
}

}  // namespace tamovox
