// tamovox-voice-server: one process, one epoll loop over the 11 channel ports and the 11 control
// ports, batched with recvmmsg/sendmmsg; a 20 ms timerfd paces Opus streams and housekeeping; a
// signalfd ends it cleanly; a local Unix socket takes the operator's orders.
#include "admin.h"
#include "opus_stream.h"
#include "relay.h"

#include "transport/channels.h"
#include "transport/datagrams.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace tamovox::voice {
namespace {

constexpr int kBatch = 64;
constexpr int kMaxBatchesPerWake = 16;  // then give the other sockets their turn
constexpr int kSendChunk = 256;
constexpr std::uint32_t kTagControl = 100;
constexpr std::uint32_t kTagTimer = 200;
constexpr std::uint32_t kTagSignal = 201;
constexpr std::uint32_t kTagAdmin = 202;
constexpr int kHousekeepingTicks = 5;     // 100 ms
constexpr int kMaxCatchUpFrames = 5;
constexpr off_t kMaxStreamFileBytes = 200L << 20;

void logLine(const char* format, ...)
{
    std::fprintf(stderr, "tamovox-voice-server: ");
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

std::int64_t nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

struct Options {
    std::string bindAddress = "127.0.0.1";
    int portOffset = 0;
    std::string controlSocket = defaultControlSocketPath();
    int talkerId = 0;
    int statsSeconds = 60;
};

void printUsage(FILE* to)
{
    std::fprintf(to,
                 "usage: tamovox-voice-server [options]\n"
                 "       tamovox-voice-server ctl [--socket PATH] order ACCOUNT update|ban|close|clear\n"
                 "       tamovox-voice-server ctl [--socket PATH] stream CHANNEL FILE.wav\n"
                 "       tamovox-voice-server ctl [--socket PATH] stop CHANNEL\n"
                 "\n"
                 "Relays push-to-talk voice between the members of 11 channels (UDP ports 30000-30010)\n"
                 "and answers list and status requests (UDP ports 31000-31010).\n"
                 "\n"
                 "options:\n"
                 "  --bind ADDRESS          IPv4 address to listen on (default 127.0.0.1; 0.0.0.0 for all)\n"
                 "  --port-offset N         add N to every port (default 0)\n"
                 "  --control-socket PATH   operator socket (default %s)\n"
                 "  --talker-id N           talker number carried by Opus streams (default 0)\n"
                 "  --stats-interval S      log counters every S seconds, 0 for only at exit (default 60)\n"
                 "  --help                  this text\n",
                 defaultControlSocketPath().c_str());
}

bool parseNumber(const char* text, long low, long high, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end || v < low || v > high)
        return false;
    out = static_cast<int>(v);
    return true;
}

// 0 ok, 1 exit success (help), 2 usage error.
int parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                logLine("%s needs a value (see --help)", name);
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            printUsage(stdout);
            return 1;
        }
        const char* v = nullptr;
        if (arg == "--bind") {
            if (!(v = value("--bind")))
                return 2;
            o.bindAddress = v;
        } else if (arg == "--port-offset") {
            if (!(v = value("--port-offset")) || !parseNumber(v, 0, 65535 - 31010, o.portOffset)) {
                logLine("--port-offset must be 0 to %d", 65535 - 31010);
                return 2;
            }
        } else if (arg == "--control-socket") {
            if (!(v = value("--control-socket")))
                return 2;
            o.controlSocket = v;
        } else if (arg == "--talker-id") {
            if (!(v = value("--talker-id")) || !parseNumber(v, 0, 65535, o.talkerId)) {
                logLine("--talker-id must be 0 to 65535");
                return 2;
            }
        } else if (arg == "--stats-interval") {
            if (!(v = value("--stats-interval")) || !parseNumber(v, 0, 86400, o.statsSeconds)) {
                logLine("--stats-interval must be 0 to 86400");
                return 2;
            }
        } else {
            logLine("unknown option %s (see --help)", arg.c_str());
            return 2;
        }
    }
    return 0;
}

struct Server {
    Options options;
    int epoll = -1;
    int channelFds[kChannels];
    int controlFds[kChannels];
    int timer = -1;
    int signals = -1;
    int admin = -1;
    RelayState state;
    Outbox out;
    OpusStream streams[kChannels];
    std::int64_t lastStatsMs = 0;
    std::uint64_t sendDropped = 0;
    // Receive batch.
    std::uint8_t buffers[kBatch][kReceiveBufferBytes];
    sockaddr_in sources[kBatch];
    iovec iov[kBatch];
    mmsghdr messages[kBatch];
    // Send batch.
    sockaddr_in destinations[kSendChunk];
    iovec sendIov[kSendChunk];
    mmsghdr sendMessages[kSendChunk];
};

int openUdp(const in_addr& address, int port)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        return -1;
    const int size = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

int openAdmin(const std::string& path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        logLine("control socket path is empty or too long: %s", path.c_str());
        return -1;
    }
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            logLine("%s exists and is not a socket; not touching it", path.c_str());
            return -1;
        }
        unlink(path.c_str());  // left behind by an earlier run
    }
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    // Owner only from the first instant: no window where others could send orders.
    const mode_t old = umask(0177);
    const int rc = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    umask(old);
    if (rc != 0 || chmod(path.c_str(), 0600) != 0) {
        logLine("control socket %s: %s", path.c_str(), std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

void logCounters(const Server& s, const char* when)
{
    const Counters& c = s.state.counters;
    logLine("%s: received %llu, relayed %llu, replies %llu, malformed %llu, rate-limited %llu, "
            "not a member %llu, floor busy %llu, send dropped %llu, members %zu",
            when, static_cast<unsigned long long>(c.received), static_cast<unsigned long long>(c.relayed),
            static_cast<unsigned long long>(c.replies), static_cast<unsigned long long>(c.malformed),
            static_cast<unsigned long long>(c.rateLimited), static_cast<unsigned long long>(c.notMember),
            static_cast<unsigned long long>(c.floorBusy), static_cast<unsigned long long>(s.sendDropped),
            s.state.members.size());
}

void flush(Server& s)
{
    const auto& list = s.out.datagrams;
    std::size_t i = 0;
    while (i < list.size()) {
        // A run of datagrams leaving from the same socket goes in one sendmmsg.
        const PortKind kind = list[i].kind;
        const int channel = list[i].channel;
        const int fd = kind == PortKind::Channel ? s.channelFds[channel] : s.controlFds[channel];
        int n = 0;
        while (i + n < list.size() && n < kSendChunk && list[i + n].kind == kind && list[i + n].channel == channel) {
            const OutDatagram& d = list[i + n];
            sockaddr_in& to = s.destinations[n];
            to = {};
            to.sin_family = AF_INET;
            to.sin_addr.s_addr = htonl(d.to.ip);
            to.sin_port = htons(d.to.port);
            s.sendIov[n] = {s.out.payloads[d.payload].data(), d.length};
            s.sendMessages[n] = {};
            s.sendMessages[n].msg_hdr.msg_name = &to;
            s.sendMessages[n].msg_hdr.msg_namelen = sizeof to;
            s.sendMessages[n].msg_hdr.msg_iov = &s.sendIov[n];
            s.sendMessages[n].msg_hdr.msg_iovlen = 1;
            ++n;
        }
        int sent = 0;
        while (sent < n) {
            const int rc = sendmmsg(fd, s.sendMessages + sent, static_cast<unsigned>(n - sent), MSG_DONTWAIT);
            if (rc > 0) {
                sent += rc;
                continue;
            }
            if (rc < 0 && errno == EINTR)
                continue;
            // Full socket buffer or an unreachable destination: that datagram is lost, as UDP is.
            ++s.sendDropped;
            ++sent;
        }
        i += static_cast<std::size_t>(n);
    }
    s.out.clear();
}

void receiveFrom(Server& s, int fd, PortKind kind, int channel)
{
    for (int batch = 0; batch < kMaxBatchesPerWake; ++batch) {
        for (int k = 0; k < kBatch; ++k) {
            s.iov[k] = {s.buffers[k], sizeof s.buffers[k]};
            s.messages[k] = {};
            s.messages[k].msg_hdr.msg_name = &s.sources[k];
            s.messages[k].msg_hdr.msg_namelen = sizeof s.sources[k];
            s.messages[k].msg_hdr.msg_iov = &s.iov[k];
            s.messages[k].msg_hdr.msg_iovlen = 1;
        }
        const int n = recvmmsg(fd, s.messages, kBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0)
            break;
        const std::int64_t now = nowMs();
        for (int k = 0; k < n; ++k) {
            const msghdr& h = s.messages[k].msg_hdr;
            if ((h.msg_flags & MSG_TRUNC) || h.msg_namelen != sizeof(sockaddr_in) ||
                s.sources[k].sin_family != AF_INET) {
                ++s.state.counters.received;
                ++s.state.counters.malformed;  // longer than any datagram of ours
                continue;
            }
            const Endpoint from{ntohl(s.sources[k].sin_addr.s_addr), ntohs(s.sources[k].sin_port)};
            const std::span<const std::uint8_t> data(s.buffers[k], s.messages[k].msg_len);
            if (kind == PortKind::Channel)
                handleChannelDatagram(s.state, channel, from, data, now, s.out);
            else
                handleControlDatagram(s.state, channel, from, data, now, s.out);
        }
        flush(s);
        if (n < kBatch)
            break;
    }
}

std::string runAdmin(Server& s, const std::string& line)
{
    const AdminRequest r = parseAdminRequest(line);
    switch (r.kind) {
    case AdminKind::Invalid: return "error: " + r.error;
    case AdminKind::Order:
        setOrder(s.state, static_cast<std::uint16_t>(r.account), r.order.c_str());
        logLine("operator: account %d %s", r.account, r.order.c_str());
        return "ok " + r.order + " " + std::to_string(r.account);
    case AdminKind::Stop:
        stopStream(s.streams[r.channel]);
        return "ok stopped channel " + std::to_string(r.channel);
    case AdminKind::Stream: {
        // Read on the loop itself: refuse what would stall it (devices, pipes, huge files).
        struct stat st{};
        if (stat(r.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxStreamFileBytes)
            return "error: " + r.path + " is not a regular file of at most 200 MB";
        WavSound sound;
        if (!readWavFile(r.path, sound))
            return "error: " + r.path + " is not a readable 16-bit PCM WAV file";
        std::vector<std::int16_t> pcm;
        std::string error;
        if (!toStreamPcm(sound, pcm, error) ||
            !startStream(s.streams[r.channel], std::move(pcm), static_cast<std::uint16_t>(s.options.talkerId), error))
            return "error: " + error;
        const double seconds = static_cast<double>(s.streams[r.channel].pcm.size() / 2) / kStreamRate;
        logLine("operator: streaming %s (%.1f s) to channel %d", r.path.c_str(), seconds, r.channel);
        char text[96];
        std::snprintf(text, sizeof text, "ok streaming %.1f s to channel %d", seconds, r.channel);
        return text;
    }
    }
    return "error: unknown command";
}

void handleAdmin(Server& s)
{
    for (;;) {
        char request[1024];
        sockaddr_un from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = recvfrom(s.admin, request, sizeof request - 1, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0)
            return;
        request[n] = '\0';
        const std::string reply = runAdmin(s, std::string(request, std::strlen(request)));
        if (fromLength > sizeof(sa_family_t))
            sendto(s.admin, reply.data(), reply.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}

void onTimer(Server& s, std::uint64_t expirations, int& ticks)
{
    const int frames = static_cast<int>(std::min<std::uint64_t>(expirations, kMaxCatchUpFrames));
    for (int c = 0; c < kChannels; ++c) {
        for (int f = 0; f < frames && s.streams[c].active; ++f) {
            std::uint8_t datagram[kOpusDatagramMaxBytes];
            const std::size_t n = nextOpusDatagram(s.streams[c], datagram);
            if (n == 0) {
                logLine("stream on channel %d ended", c);
                break;
            }
            sendToChannel(s.state, c, Endpoint{}, std::span<const std::uint8_t>(datagram, n), s.out);
        }
    }
    ticks += static_cast<int>(expirations);
    if (ticks >= kHousekeepingTicks) {
        ticks = 0;
        const std::int64_t now = nowMs();
        expireMembers(s.state, now, s.out);
        if (s.options.statsSeconds > 0 && now - s.lastStatsMs >= s.options.statsSeconds * 1000LL) {
            s.lastStatsMs = now;
            logCounters(s, "counters");
        }
    }
    flush(s);
}

bool addToEpoll(int epoll, int fd, std::uint32_t tag)
{
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.u32 = tag;
    return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e) == 0;
}

int runServer(Server& s)
{
    in_addr address{};
    if (inet_pton(AF_INET, s.options.bindAddress.c_str(), &address) != 1) {
        logLine("--bind %s is not an IPv4 address", s.options.bindAddress.c_str());
        return 2;
    }
    s.epoll = epoll_create1(EPOLL_CLOEXEC);
    for (int c = 0; c < kChannels; ++c) {
        const int channelPort = kChannelPortBase + s.options.portOffset + c;
        const int controlPort = channelPort + kControlPortOffset;
        s.channelFds[c] = openUdp(address, channelPort);
        if (s.channelFds[c] < 0) {
            logLine("cannot listen on %s:%d: %s", s.options.bindAddress.c_str(), channelPort, std::strerror(errno));
            return 1;
        }
        s.controlFds[c] = openUdp(address, controlPort);
        if (s.controlFds[c] < 0) {
            logLine("cannot listen on %s:%d: %s", s.options.bindAddress.c_str(), controlPort, std::strerror(errno));
            return 1;
        }
        addToEpoll(s.epoll, s.channelFds[c], static_cast<std::uint32_t>(c));
        addToEpoll(s.epoll, s.controlFds[c], kTagControl + static_cast<std::uint32_t>(c));
    }
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    signal(SIGPIPE, SIG_IGN);
    s.signals = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    s.timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    itimerspec period{};
    period.it_interval.tv_nsec = kStreamFrameMs * 1000000L;
    period.it_value.tv_nsec = kStreamFrameMs * 1000000L;
    timerfd_settime(s.timer, 0, &period, nullptr);
    addToEpoll(s.epoll, s.signals, kTagSignal);
    addToEpoll(s.epoll, s.timer, kTagTimer);
    s.admin = openAdmin(s.options.controlSocket);
    if (s.admin < 0)
        return 1;
    addToEpoll(s.epoll, s.admin, kTagAdmin);
    logLine("listening on %s, channel ports %d-%d, control ports %d-%d, operator socket %s",
            s.options.bindAddress.c_str(), kChannelPortBase + s.options.portOffset,
            kChannelPortBase + s.options.portOffset + kChannels - 1,
            kChannelPortBase + kControlPortOffset + s.options.portOffset,
            kChannelPortBase + kControlPortOffset + s.options.portOffset + kChannels - 1, s.options.controlSocket.c_str());
    s.lastStatsMs = nowMs();

    int ticks = 0;
    bool running = true;
    while (running) {
        epoll_event events[32];
        const int n = epoll_wait(s.epoll, events, 32, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            logLine("epoll: %s", std::strerror(errno));
            break;
        }
        for (int k = 0; k < n; ++k) {
            const std::uint32_t tag = events[k].data.u32;
            if (tag < kChannels) {
                receiveFrom(s, s.channelFds[tag], PortKind::Channel, static_cast<int>(tag));
            } else if (tag >= kTagControl && tag < kTagControl + kChannels) {
                receiveFrom(s, s.controlFds[tag - kTagControl], PortKind::Control, static_cast<int>(tag - kTagControl));
            } else if (tag == kTagTimer) {
                std::uint64_t expirations = 0;
                if (read(s.timer, &expirations, sizeof expirations) == sizeof expirations)
                    onTimer(s, expirations, ticks);
            } else if (tag == kTagAdmin) {
                handleAdmin(s);
            } else if (tag == kTagSignal) {
                signalfd_siginfo info{};
                if (read(s.signals, &info, sizeof info) == sizeof info) {
                    logLine("signal %u: stopping", info.ssi_signo);
                    running = false;
                }
            }
        }
    }
    logCounters(s, "at exit");
    unlink(s.options.controlSocket.c_str());
    return 0;
}

}  // namespace
}  // namespace tamovox::voice

int main(int argc, char** argv)
{
    using namespace tamovox::voice;
    if (argc >= 2 && std::strcmp(argv[1], "ctl") == 0)
        return runControlCommand(argc - 2, argv + 2);
    auto* server = new Server;  // large receive buffers: not on the stack
    const int parsed = parseOptions(argc, argv, server->options);
    if (parsed == 1)
        return 0;
    if (parsed == 2)
        return 2;
    const int rc = runServer(*server);
    delete server;
    return rc;
}
