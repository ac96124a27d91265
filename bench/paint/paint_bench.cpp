// Cost of each periodic drawing of the main window, including the blit of the flushed region, and
// that cost as a percentage of one core at the drawing's own rate ("core_pct"; the library prints
// it with a time unit: 4.5ms there means 0.0045 %). The idle budget is the sum of the plain rows.
//   bench_paint --benchmark_min_time=0.5
#include "window_fixture.h"

#include "audio/vu_meters.h"
#include "imaging/animation.h"
#include "mainwindow/panels.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

using namespace tamovox;

void run(benchmark::State& state, void (*draw)(), double ratePerSecond)
{
    test::openWindow();
    for (auto _ : state) {
        draw();
        QApplication::processEvents();  // the paint event that blits what was flushed
    }
    // time per pass x passes per second, as a percentage of a core
    state.counters["core_pct"] =
        benchmark::Counter(1.0 / (ratePerSecond * 100.0), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void leftMeter() { static_cast<VuMeterWindow*>(shared().windows.vuMeterLeft)->redraw(); }
void rightMeter() { static_cast<VuMeterWindow*>(shared().windows.vuMeterRight)->redraw(); }

// Idle ticks mostly find nothing changed; these variants change what the drawing shows every pass.
void ringChasing()
{
    static int k = 0;
    shared().lamps.activity[k] = 5;
    k = (k + 1) % 16;
    shared().lamps.activity[k] = 1;
    paintNetworkRing();
}
void leftMeterMoving()
{
    static int step = 0;
    shared().audio.meterAngle[0] = 220 + step % 90;
    shared().audio.barLevel[0] = (step % 150) * 128;
    ++step;
    leftMeter();
}

void BM_NetworkRing(benchmark::State& s) { run(s, paintNetworkRing, 20); }
void BM_NetworkRingChasing(benchmark::State& s) { run(s, ringChasing, 20); }
void BM_VuMeterLeftMoving(benchmark::State& s) { run(s, leftMeterMoving, 20); }
void BM_LampPanel(benchmark::State& s) { run(s, paintLampPanel, 5); }
void BM_ChannelPanel(benchmark::State& s) { run(s, paintChannelPanel, 2); }
void BM_HelpLine(benchmark::State& s) { run(s, paintHelpLine, 2); }
void BM_StatusBox(benchmark::State& s) { run(s, paintStatusBox, 2); }
void BM_KnobPanel(benchmark::State& s) { run(s, paintKnobPanel, 1); }
void BM_VuMeterLeftWithBars(benchmark::State& s) { run(s, leftMeter, 20); }
void BM_VuMeterRight(benchmark::State& s) { run(s, rightMeter, 20); }
void BM_AnimationStep(benchmark::State& s)
{
    test::openWindow();
    if (shared().timers.animation == nullptr)
        loadAnimation();
    run(s, animationStep, 1000.0 / 80.0);  // the skin's GIF: 80 ms frames
}

BENCHMARK(BM_NetworkRing);
BENCHMARK(BM_NetworkRingChasing);
BENCHMARK(BM_VuMeterLeftMoving);
BENCHMARK(BM_LampPanel);
BENCHMARK(BM_ChannelPanel);
BENCHMARK(BM_HelpLine);
BENCHMARK(BM_StatusBox);
BENCHMARK(BM_KnobPanel);
BENCHMARK(BM_VuMeterLeftWithBars);
BENCHMARK(BM_VuMeterRight);
BENCHMARK(BM_AnimationStep);

}  // namespace

int main(int argc, char* argv[])
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (chdir(TAMOVOX_SKIN_DIR) != 0)
        return 2;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
