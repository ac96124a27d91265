// A loopback address of the test's own, 127.a.b.c, that no other test of this run or of any other
// run beside it holds. The claim is an abstract socket name, gone with the process, so a killed
// run leaves no claim behind; an address where anything already listens on one of the given UDP
// ports (a server left over from elsewhere) is passed over.
#pragma once

#include <string>
#include <vector>

namespace tamovox::testing {

// Claims a name for this process alone until the descriptor returned is closed or the process
// ends, however it ends; -1 when another process holds it.
int claimAbstractName(const std::string& name);

// The voice server's ports: 11 channel ports from 30000, 11 control ports from 31000.
std::vector<int> voiceServerPorts();

class LoopbackAddress {
public:
    explicit LoopbackAddress(const std::vector<int>& udpPorts = voiceServerPorts());
    ~LoopbackAddress();
    LoopbackAddress(const LoopbackAddress&) = delete;
    LoopbackAddress& operator=(const LoopbackAddress&) = delete;

    const std::string& text() const { return text_; }  // empty when none could be claimed
    const char* c_str() const { return text_.c_str(); }

private:
    std::string text_;
    int claim_ = -1;
};

}  // namespace tamovox::testing
