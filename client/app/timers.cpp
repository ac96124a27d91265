#include "app/timers.h"

#include "core/lifecycle_log.h"
#include "core/shared_state.h"
#include "mainwindow/panels.h"
#include "transport/idle.h"
#include "web/account_fetch.h"

#include <QTimer>

#include <string>

namespace tamovox {

namespace {

QTimer* startTimer(int id, int periodMs, void (*work)())
{
    auto* timer = new QTimer();
    timer->setObjectName(QString("timer-%1").arg(id));
    // Coarse: Qt may shift a tick by up to 5 % so that the panel timers wake the thread together.
    timer->setTimerType(Qt::CoarseTimer);
    QObject::connect(timer, &QTimer::timeout, work);
    timer->start(periodMs);
    return timer;
}

void stopTimer(QTimer*& timer, const char* name)
{
    if (timer) {
        timer->stop();
        delete timer;
        timer = nullptr;
    }
    logLifecycle(std::string("shutdown: stop timer ") + name);
}

}  // namespace

void startPanelTimers()
{
    TimerHandles& t = shared().timers;
    t.channelPanel = startTimer(kTimerChannelPanel, 500, paintChannelPanel);
    t.networkRing = startTimer(kTimerNetworkRing, 50, paintNetworkRing);
    t.knobPanel = startTimer(kTimerKnobPanel, 1000, paintKnobPanel);
    t.speakerFetch = startTimer(kTimerSpeakerFetch, 1000, speakerFetchTick);
    t.helpLine = startTimer(kTimerHelpLine, 500, paintHelpLine);
    t.statusBox = startTimer(kTimerStatusBox, 500, paintStatusBox);
    t.lampPanel = startTimer(kTimerLampPanel, 200, paintLampPanel);
}

void startIdleTimer()
{
    shared().timers.idle = startTimer(kTimerIdle, 1000, idleTick);
}

void stopAllTimers()
{
    TimerHandles& t = shared().timers;
    stopTimer(t.networkRing, "3");
    stopTimer(t.lampPanel, "6");
    stopTimer(t.knobPanel, "8");
    stopTimer(t.channelPanel, "13");
    stopTimer(t.speakerFetch, "7");
    stopTimer(t.helpLine, "11");
    stopTimer(t.statusBox, "12");
    if (t.animation) {
        t.animation->stop();  // owned by the main window
        t.animation = nullptr;
    }
    logLifecycle("shutdown: stop timer animation");
    stopTimer(t.idle, "16");
}

}  // namespace tamovox
