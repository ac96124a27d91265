#include "admin.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace tamovox::voice {

std::string defaultControlSocketPath()
{
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir)
        return std::string(dir) + "/tamovox-voice.ctl";
    return "/tmp/tamovox-voice-" + std::to_string(getuid()) + ".ctl";
}

namespace {
bool parseInt(const std::string& text, int low, int high, int& out)
{
    if (text.empty() || text.size() > 6)
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high)
        return false;
    out = static_cast<int>(v);
    return true;
}
}  // namespace

AdminRequest parseAdminRequest(const std::string& line)
{
    AdminRequest r;
    std::istringstream in(line);
    std::string verb, a, b, extra;
    in >> verb >> a;
    std::getline(in >> std::ws, b);
    if (verb == "order") {
        std::istringstream rest(b);
        std::string order;
        rest >> order >> extra;
        if (!parseInt(a, 0, 65535, r.account))
            r.error = "the account number must be 0 to 65535";
        else if (order != "update" && order != "ban" && order != "close" && order != "clear")
            r.error = "the order must be update, ban, close or clear";
        else if (!extra.empty())
            r.error = "too many words";
        else {
            r.kind = AdminKind::Order;
            r.order = order;
        }
    } else if (verb == "stream") {
        if (!parseInt(a, 0, 10, r.channel))
            r.error = "the channel must be 0 to 10";
        else if (b.empty() || b[0] != '/')
            r.error = "the file must be an absolute path";
        else {
            r.kind = AdminKind::Stream;
            r.path = b;
        }
    } else if (verb == "stop") {
        if (!parseInt(a, 0, 10, r.channel))
            r.error = "the channel must be 0 to 10";
        else
            r.kind = AdminKind::Stop;
    } else {
        r.error = "unknown command";
    }
    return r;
}

int runControlCommand(int argc, char** argv)
{
    std::string socketPath = defaultControlSocketPath();
    int i = 0;
    if (i < argc && std::strcmp(argv[i], "--socket") == 0) {
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tamovox-voice-server ctl: --socket needs a path\n");
            return 2;
        }
        socketPath = argv[i + 1];
        i += 2;
    }
    if (i >= argc) {
        std::fprintf(stderr,
                     "usage: tamovox-voice-server ctl [--socket PATH] order ACCOUNT update|ban|close|clear\n"
                     "       tamovox-voice-server ctl [--socket PATH] stream CHANNEL FILE.wav\n"
                     "       tamovox-voice-server ctl [--socket PATH] stop CHANNEL\n");
        return 2;
    }
    std::string request;
    for (int k = i; k < argc; ++k) {
        std::string word = argv[k];
        // The server has its own working folder: send the file's absolute path.
        if (k == i + 2 && std::strcmp(argv[i], "stream") == 0) {
            char resolved[PATH_MAX];
            if (!realpath(argv[k], resolved)) {
                std::fprintf(stderr, "tamovox-voice-server ctl: %s: %s\n", argv[k], std::strerror(errno));
                return 1;
            }
            word = resolved;
        }
        request += (k == i ? "" : " ") + word;
    }
    if (sockaddr_un peer{}; socketPath.size() >= sizeof peer.sun_path) {
        std::fprintf(stderr, "tamovox-voice-server ctl: socket path too long\n");
        return 2;
    }
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un self{};
    self.sun_family = AF_UNIX;
    // Autobind to an abstract name so the server can answer.
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof(sa_family_t)) != 0) {
        std::fprintf(stderr, "tamovox-voice-server ctl: socket: %s\n", std::strerror(errno));
        return 1;
    }
    sockaddr_un server{};
    server.sun_family = AF_UNIX;
    std::memcpy(server.sun_path, socketPath.c_str(), socketPath.size());
    if (sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof server) < 0) {
        std::fprintf(stderr, "tamovox-voice-server ctl: %s: %s\n", socketPath.c_str(), std::strerror(errno));
        close(fd);
        return 1;
    }
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char reply[512];
    const ssize_t n = recv(fd, reply, sizeof reply - 1, 0);
    close(fd);
    if (n < 0) {
        std::fprintf(stderr, "tamovox-voice-server ctl: no answer from the server\n");
        return 1;
    }
    reply[n] = '\0';
    std::printf("%s\n", reply);
    return std::strncmp(reply, "ok", 2) == 0 ? 0 : 1;
}

}  // namespace tamovox::voice
