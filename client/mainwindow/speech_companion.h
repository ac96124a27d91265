// Starting and stopping the speech companion "talkr" from the main window's speech icon.
// Main thread.
#pragma once

#include <string>

namespace tamovox {

inline constexpr const char* kCompanionProgram = "talkr";

// True when a process whose command name is talkr (any case) runs; procRoot is /proc.
bool companionRunning(const std::string& procRoot = "/proc");

// Stops a running companion (its quit datagram), else starts the one beside this program;
// the status box tells which.
void toggleSpeechCompanion();

}  // namespace tamovox
