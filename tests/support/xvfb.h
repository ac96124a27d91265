// An Xvfb display of the test's own: the X server picks a display number no other server holds
// (-displayfd), and the display counts as up once our server's socket accepts a connection.
#pragma once

#include "processes.h"

#include <string>

namespace tamovox::testing {

class XvfbDisplay {
public:
    XvfbDisplay() = default;
    ~XvfbDisplay() { stop(); }
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
    Child server_;
    std::string name_;
    std::string why_;
};

}  // namespace tamovox::testing
