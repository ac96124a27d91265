// A record of start-up and shutdown steps, kept in memory and echoed to standard error
// when TAMOVOX_LOG is set. Any thread.
#pragma once

#include <string>
#include <vector>

namespace tamovox {

void logLifecycle(const std::string& step);
std::vector<std::string> lifecycleSteps();

// One diagnostic line on standard error, always written (there is no console to show it).
void logDiagnostic(const std::string& line);

}  // namespace tamovox
