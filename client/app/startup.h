// The program's whole life on the main thread: start-up, message loop, shutdown.
#pragma once

namespace tamovox {

// Needs a QApplication. Returns 1 when another instance runs, else the loop's exit code.
int runClient();

}  // namespace tamovox
