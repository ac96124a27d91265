// The real tamovox client as a test starts it: our environment with the given NAME=value entries on
// top, the skin folder as its working folder, standard output and error in a log file of its own.
#pragma once

#include "processes.h"

#include <string>
#include <vector>

namespace tamovox::testing {

class ClientProcess {
public:
    ClientProcess(const std::string& binary, const std::string& skinDir, const std::vector<std::string>& env,
                  const std::string& logPath);
    ~ClientProcess() { stop(child_); }
    ClientProcess(const ClientProcess&) = delete;
    ClientProcess& operator=(const ClientProcess&) = delete;

    // Until the log holds text; false when the client ended without it or 60 s (scaled) passed.
    bool waitFor(const std::string& text);
    // Its exit code (128 + signal when killed), or -1000 when it still runs after 60 s (scaled).
    int waitForExit();
    void terminate();  // SIGTERM, as a session logout sends
    bool running() { return alive(child_); }
    std::string log() const { return readFile(child_.log); }

private:
    Child child_;
};

}  // namespace tamovox::testing
