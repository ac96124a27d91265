// An Xvfb display of the test's own: a number drawn at random and claimed for our tests through an
// abstract socket name, passed over where another server's files are; the display counts as up
// once the server says it listens (-displayfd) and its socket accepts a connection.
#pragma once

#include "processes.h"

#include <string>

namespace tamovox::testing {

class XvfbDisplay {
public:
    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // Starts it and waits until it accepts connections; on failure why() says what did not come up.
    bool start(const std::string& logPath, const std::string& screen = "1280x1024x24", int timeoutMs = 30000);
    void stop();  // ends it: clients on it lose their display
    bool running() { return alive(server_); }

    const std::string& name() const { return name_; }  // ":N"
    std::string env() const { return "DISPLAY=" + name_; }
    const std::string& why() const { return why_; }

private:
    enum class Outcome { Up, Taken, Failed };
    Outcome startOn(int display, const std::string& logPath, const std::string& screen, int timeoutMs);

    Child server_;
    int claim_ = -1;
    std::string name_;
    std::string why_;
};

}  // namespace tamovox::testing
