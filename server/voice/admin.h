// The operator's commands, sent over a local Unix datagram socket (mode 0600) by
// `tamovox-voice-server ctl`: "order ACCOUNT update|ban|close|clear", "stream CHANNEL FILE.wav",
// "stop CHANNEL". Replies start with "ok" or "error:".
#pragma once

#include <string>

namespace tamovox::voice {

// $XDG_RUNTIME_DIR/tamovox-voice.ctl, else /tmp/tamovox-voice-<uid>.ctl.
std::string defaultControlSocketPath();

enum class AdminKind { Invalid, Order, Stream, Stop };
struct AdminRequest {
    AdminKind kind = AdminKind::Invalid;
    int account = 0;     // Order
    std::string order;   // Order
    int channel = -1;    // Stream, Stop
    std::string path;    // Stream: absolute
    std::string error;   // Invalid
};
AdminRequest parseAdminRequest(const std::string& line);

// The ctl subcommand: argv after "ctl"; returns the process exit code.
int runControlCommand(int argc, char** argv);

}  // namespace tamovox::voice
