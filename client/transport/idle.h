// The idle countdown: 30 minutes for the guest account, 75 for an enrolled one. Main thread,
// except the reset, which the device thread also calls.
#pragma once

namespace tamovox {

inline constexpr int kGuestIdleSeconds = 1800;
inline constexpr int kEnrolledIdleSeconds = 4500;

void resetIdleCountdown();
void idleTick();

}  // namespace tamovox
