// The periodic timers of the main thread, with their ids and periods. Main thread.
#pragma once

namespace tamovox {

inline constexpr int kTimerChannelPanel = 13;  // 500 ms
inline constexpr int kTimerNetworkRing = 3;    // 50 ms
inline constexpr int kTimerKnobPanel = 8;      // 1000 ms
inline constexpr int kTimerSpeakerFetch = 7;   // 1000 ms
inline constexpr int kTimerHelpLine = 11;      // 500 ms
inline constexpr int kTimerStatusBox = 12;     // 500 ms
inline constexpr int kTimerLampPanel = 6;      // 200 ms
inline constexpr int kTimerIdle = 16;          // 1000 ms
inline constexpr int kTimerAnimation = 4;      // main window timer, period of the first frame

// Timers 13, 3, 8, 7, 11, 12, 6 in that order.
void startPanelTimers();
// Timer 16.
void startIdleTimer();
// Stops 3, 6, 8, 13, 7, 11, 12, the animation timer and 16, in that order.
void stopAllTimers();

}  // namespace tamovox
