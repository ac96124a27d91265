// The machine identifier: the first 32 bits of the root filesystem's UUID as 16 decimal digits.
// Any thread; reads only the files it is given.
#pragma once

#include <cstdint>
#include <string>

namespace tamovox {

inline constexpr const char* kMachineIdNoSystemInfo = "8888888888888888";  // mount table unreadable
inline constexpr const char* kMachineIdNoVolume = "9999999999999999";      // root has no UUID

// "%016lu" of the serial: always 16 digits for a 32-bit value.
std::string formatMachineId(std::uint32_t serial);

// Reads the root mount from mountinfoPath and finds its UUID among the links of byUuidDir.
std::string deriveMachineId(const std::string& mountinfoPath = "/proc/self/mountinfo",
                            const std::string& byUuidDir = "/dev/disk/by-uuid");

// True when text is exactly 16 decimal digits (the form a TAMOVOX_MACHINE_ID override must have).
bool isMachineIdText(const std::string& text);

}  // namespace tamovox
