// SIGINT and SIGTERM end the client through the main window's destroy handling, so a
// terminal's Ctrl+C or a session logout still shuts down in order. Main thread.
#pragma once

namespace tamovox {

void installTerminationSignals();

}  // namespace tamovox
