// Load generator for tamovox-voice-server: many present clients (presence every 20 ms) and a few
// talkers (one voice datagram every 31.25 ms), the same load sent to a bare recvmmsg/sendmmsg
// forwarder written here, side by side. Reports relayed datagrams per second, send-to-receive
// delay p50/p99 and the server's resident memory. Loopback only, bounded in time.
//
//   voice_load [--server PATH] [--clients 1000] [--talkers 30] [--seconds 5] [--saturate 0|1]
// --saturate 1 measures the most each relay can forward on one core: it pins the relay to CPU 1
// and this program to CPU 0, and the first talker of each channel sends without pause.
#include "transport/datagrams.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using namespace tamovox;

constexpr int kChannels = 11;
constexpr int kBasePort = 30000;

std::int64_t nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void sleepUntilNs(std::int64_t t)
{
    timespec ts{static_cast<time_t>(t / 1'000'000'000), static_cast<long>(t % 1'000'000'000)};
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
}

sockaddr_in address(const char* ip, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, ip, &a.sin_addr);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

// ---- The bare forwarder: learns who is on a channel port, forwards everything else ----------
void runBareForwarder(const char* ip, int readyPipe)
{
    const int epoll = epoll_create1(0);
    int fds[kChannels];
    for (int c = 0; c < kChannels; ++c) {
        fds[c] = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        const int size = 4 << 20;
        setsockopt(fds[c], SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        setsockopt(fds[c], SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        sockaddr_in a = address(ip, kBasePort + c);
        if (bind(fds[c], reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            _exit(1);
        epoll_event e{EPOLLIN, {.u32 = static_cast<std::uint32_t>(c)}};
        epoll_ctl(epoll, EPOLL_CTL_ADD, fds[c], &e);
    }
    std::vector<sockaddr_in> members[kChannels];
    std::unordered_map<std::uint64_t, int> known;
    constexpr int kBatch = 64;
    static std::uint8_t buffers[kBatch][1024];
    sockaddr_in sources[kBatch];
    iovec iov[kBatch];
    mmsghdr in[kBatch];
    std::vector<mmsghdr> out;
    std::vector<iovec> outIov;
    const char ready = 1;
    if (write(readyPipe, &ready, 1) != 1)
        _exit(1);
    for (;;) {
        epoll_event events[16];
        const int n = epoll_wait(epoll, events, 16, -1);
        for (int k = 0; k < n; ++k) {
            const int c = static_cast<int>(events[k].data.u32);
            for (;;) {
                for (int i = 0; i < kBatch; ++i) {
                    iov[i] = {buffers[i], sizeof buffers[i]};
                    in[i] = {};
                    in[i].msg_hdr.msg_name = &sources[i];
                    in[i].msg_hdr.msg_namelen = sizeof sources[i];
                    in[i].msg_hdr.msg_iov = &iov[i];
                    in[i].msg_hdr.msg_iovlen = 1;
                }
                const int got = recvmmsg(fds[c], in, kBatch, MSG_DONTWAIT, nullptr);
                if (got <= 0)
                    break;
                out.clear();
                outIov.clear();
                outIov.reserve(static_cast<std::size_t>(got) * 128);
                for (int i = 0; i < got; ++i) {
                    const std::uint64_t key = (static_cast<std::uint64_t>(sources[i].sin_addr.s_addr) << 16) | sources[i].sin_port;
                    if (known.emplace(key, c).second)
                        members[c].push_back(sources[i]);
                    if (buffers[i][0] != 'A' || in[i].msg_len != 1024)
                        continue;
                    for (sockaddr_in& to : members[c]) {
                        if (to.sin_port == sources[i].sin_port && to.sin_addr.s_addr == sources[i].sin_addr.s_addr)
                            continue;
                        outIov.push_back({buffers[i], in[i].msg_len});
                        mmsghdr m{};
                        m.msg_hdr.msg_name = &to;
                        m.msg_hdr.msg_namelen = sizeof to;
                        out.push_back(m);
                    }
                }
                for (std::size_t i = 0; i < out.size(); ++i) {
                    out[i].msg_hdr.msg_iov = &outIov[i];
                    out[i].msg_hdr.msg_iovlen = 1;
                }
                for (std::size_t sent = 0; sent < out.size();) {
                    const int rc = sendmmsg(fds[c], out.data() + sent, static_cast<unsigned>(std::min<std::size_t>(out.size() - sent, 1024)), 0);
                    sent += rc > 0 ? static_cast<std::size_t>(rc) : 1;
                }
            }
        }
    }
}

struct Options {
    std::string server = TAMOVOX_VOICE_SERVER_BINARY;
    int clients = 1000;
    int talkers = 30;
    int seconds = 5;
    bool saturate = false;  // one talker a channel, sending as fast as it can; relays pinned to CPU 1
};

struct Result {
    double relayedPerSecond = 0;
    double p50Us = 0, p99Us = 0, maxUs = 0;
    long rssKb = 0, hwmKb = 0;
    double cpuPercent = 0;  // of one core, the relay process during the measurement
    std::uint64_t voiceSent = 0;
};

long statusField(pid_t pid, const char* field)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

// User + system time of a process in clock ticks.
long cpuTicks(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream rest(text.substr(end + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::atol(field.c_str());
        if (i == 15)
            stime = std::atol(field.c_str());
    }
    return utime + stime;
}

// Drives one relay at ip with the load; listeners time every voice datagram they receive.
Result drive(const char* ip, pid_t relay, const Options& o)
{
    std::vector<int> fds(static_cast<std::size_t>(o.clients));
    std::vector<int> channelOf(fds.size());
    const int epoll = epoll_create1(0);
    for (std::size_t i = 0; i < fds.size(); ++i) {
        fds[i] = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_in local = address("127.0.0.1", 0);
        bind(fds[i], reinterpret_cast<sockaddr*>(&local), sizeof local);
        const int size = 256 << 10;
        setsockopt(fds[i], SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        channelOf[i] = static_cast<int>(i % kChannels);
        epoll_event e{EPOLLIN, {.u32 = static_cast<std::uint32_t>(i)}};
        epoll_ctl(epoll, EPOLL_CTL_ADD, fds[i], &e);
    }
    std::atomic<bool> stop{false};
    std::atomic<bool> measuring{false};
    std::atomic<std::uint64_t> received{0};
    std::vector<std::uint32_t> delaysUs;
    delaysUs.reserve(4'000'000);

    // Presence: every client every 20 ms, in 10 slices of the period as independent clients
    // would spread themselves.
    std::thread presence([&] {
        std::uint8_t d[kPresenceBufferBytes];
        constexpr int kSlices = 10;
        std::int64_t next = nowNs();
        for (int slice = 0; !stop; slice = (slice + 1) % kSlices) {
            for (std::size_t i = static_cast<std::size_t>(slice); i < fds.size(); i += kSlices) {
                const std::size_t n = buildPresence(d, PresenceVariant::V, static_cast<std::uint16_t>(1000 + i), "", "0.7.9");
                sockaddr_in to = address(ip, kBasePort + channelOf[i]);
                sendto(fds[i], d, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            }
            next += 20'000'000 / kSlices;
            sleepUntilNs(next);
        }
    });
    // Talkers: talker t is client t, on channel t % 11, each at its own phase of the 31.25 ms
    // period. The talkers of a channel take 2 s turns with 300 ms between them, so the floor
    // passes from one to the next.
    std::atomic<std::uint64_t> voiceSent{0};
    std::thread talk([&] {
        std::uint8_t d[kVoiceDatagramBytes];
        const std::int64_t start = nowNs();
        const std::int64_t step = 31'250'000 / o.talkers;
        int perChannel[kChannels] = {};
        for (int t = 0; t < o.talkers; ++t)
            ++perChannel[t % kChannels];
        for (std::int64_t tick = 0; !stop; ++tick) {
            const int t = static_cast<int>(tick % o.talkers);
            if (o.saturate && t >= kChannels)
                continue;
            if (!o.saturate)
                sleepUntilNs(start + tick * step);
            const std::int64_t elapsedMs = (nowNs() - start) / 1'000'000;
            const int c = t % kChannels;
            const int slot = static_cast<int>((elapsedMs / 2300) % perChannel[c]);
            if (!o.saturate && (slot != t / kChannels || elapsedMs % 2300 >= 2000))
                continue;
            buildVoice(d, 1, static_cast<std::uint16_t>(1000 + t), nullptr);
            const std::int64_t stamp = nowNs();
            std::memcpy(d + 24, &stamp, sizeof stamp);
            sockaddr_in to = address(ip, kBasePort + c);
            sendto(fds[static_cast<std::size_t>(t)], d, sizeof d, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            if (measuring)
                ++voiceSent;
        }
    });
    // Listeners: the last client of each channel is a probe, watched by its own thread so the
    // delay measured is the relay's, not this program's queue over a thousand sockets; the
    // others are drained in bulk and only counted. The probes joined last, so they are at the
    // end of each channel's fan-out.
    const std::size_t firstProbe = fds.size() - kChannels;
    const int probeEpoll = epoll_create1(0);
    for (std::size_t i = firstProbe; i < fds.size(); ++i) {
        epoll_ctl(epoll, EPOLL_CTL_DEL, fds[i], nullptr);
        epoll_event e{EPOLLIN, {.u32 = static_cast<std::uint32_t>(i)}};
        epoll_ctl(probeEpoll, EPOLL_CTL_ADD, fds[i], &e);
    }
    auto drain = [&](int poller, bool probe) {
        constexpr int kBatch = 32;
        std::vector<std::uint8_t> storage(kBatch * 1024);
        iovec iov[kBatch];
        mmsghdr m[kBatch];
        while (!stop) {
            epoll_event events[256];
            const int n = epoll_wait(poller, events, 256, 50);
            for (int k = 0; k < n; ++k) {
                const int fd = fds[events[k].data.u32];
                for (;;) {
                    for (int i = 0; i < kBatch; ++i) {
                        iov[i] = {storage.data() + i * 1024, 1024};
                        m[i] = {};
                        m[i].msg_hdr.msg_iov = &iov[i];
                        m[i].msg_hdr.msg_iovlen = 1;
                    }
                    const int got = recvmmsg(fd, m, kBatch, MSG_DONTWAIT, nullptr);
                    if (got <= 0)
                        break;
                    const std::int64_t now = nowNs();
                    for (int i = 0; i < got; ++i) {
                        const std::uint8_t* b = storage.data() + i * 1024;
                        if (b[0] != 'A' || m[i].msg_len != 1024 || !measuring)
                            continue;
                        ++received;
                        if (!probe)
                            continue;
                        std::int64_t stamp;
                        std::memcpy(&stamp, b + 24, sizeof stamp);
                        delaysUs.push_back(static_cast<std::uint32_t>(std::max<std::int64_t>(0, now - stamp) / 1000));
                    }
                }
            }
        }
    };
    std::thread listen(drain, epoll, false);
    std::thread probes(drain, probeEpoll, true);
    std::this_thread::sleep_for(std::chrono::seconds(1));  // everyone joins
    measuring = true;
    const long ticks0 = cpuTicks(relay);
    const std::int64_t t0 = nowNs();
    std::this_thread::sleep_for(std::chrono::seconds(o.seconds));
    measuring = false;
    const std::int64_t t1 = nowNs();
    Result r;
    r.cpuPercent = 100.0 * static_cast<double>(cpuTicks(relay) - ticks0) / static_cast<double>(sysconf(_SC_CLK_TCK)) /
                   (static_cast<double>(t1 - t0) / 1e9);
    r.rssKb = statusField(relay, "VmRSS:");
    r.hwmKb = statusField(relay, "VmHWM:");
    stop = true;
    presence.join();
    talk.join();
    listen.join();
    probes.join();
    close(probeEpoll);
    for (int fd : fds)
        close(fd);
    close(epoll);
    r.voiceSent = voiceSent;
    r.relayedPerSecond = static_cast<double>(received) / (static_cast<double>(t1 - t0) / 1e9);
    if (!delaysUs.empty()) {
        std::sort(delaysUs.begin(), delaysUs.end());
        r.p50Us = delaysUs[delaysUs.size() / 2];
        r.p99Us = delaysUs[delaysUs.size() * 99 / 100];
        r.maxUs = delaysUs.back();
    }
    return r;
}

void print(const char* name, const Result& r, int seconds)
{
    std::printf("%-16s relayed %9.0f/s  (talker datagrams %6.0f/s)  delay p50 %6.0f us  p99 %6.0f us  max %7.0f us"
                "  RSS %5ld kB  peak %5ld kB  CPU %3.0f%%\n",
                name, r.relayedPerSecond, static_cast<double>(r.voiceSent) / seconds, r.p50Us, r.p99Us, r.maxUs,
                r.rssKb, r.hwmKb, r.cpuPercent);
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--server")
            o.server = argv[i + 1];
        else if (a == "--clients")
            o.clients = std::clamp(std::atoi(argv[i + 1]), 2, 10000);
        else if (a == "--talkers")
            o.talkers = std::clamp(std::atoi(argv[i + 1]), 1, 1000);
        else if (a == "--saturate")
            o.saturate = std::atoi(argv[i + 1]) != 0;
        else if (a == "--seconds")
            o.seconds = std::clamp(std::atoi(argv[i + 1]), 1, 60);
        else {
            std::fprintf(stderr, "usage: voice_load [--server PATH] [--clients N] [--talkers N] [--seconds S] [--saturate 0|1]\n");
            return 2;
        }
    }
    o.talkers = std::min(o.talkers, o.clients);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    signal(SIGPIPE, SIG_IGN);

    std::printf("%d clients (presence every 20 ms), %d talkers (voice every 31.25 ms), %d s per relay\n", o.clients,
                o.talkers, o.seconds);

    // Our server on 127.0.0.50.
    char folder[] = "/tmp/tamovox-voice-bench-XXXXXX";
    const std::string ctl = std::string(mkdtemp(folder)) + "/ctl";
    std::vector<std::string> args = {o.server, "--bind", "127.0.0.50", "--control-socket", ctl, "--stats-interval", "0"};
    std::vector<char*> argvServer;
    for (auto& a : args)
        argvServer.push_back(a.data());
    argvServer.push_back(nullptr);
    auto pin = [](int cpu) {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(cpu, &set);
        sched_setaffinity(0, sizeof set, &set);
    };
    const pid_t server = fork();
    if (server == 0) {
        if (o.saturate)
            pin(1);
        execv(argvServer[0], argvServer.data());
        _exit(127);
    }
    if (o.saturate)
        pin(0);
    for (int i = 0; i < 500; ++i) {
        struct stat st{};
        if (stat(ctl.c_str(), &st) == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const Result ours = drive("127.0.0.50", server, o);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    rmdir(folder);

    // The bare forwarder on 127.0.0.51, in its own process like the server.
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return 1;
    const pid_t bare = fork();
    if (bare == 0) {
        if (o.saturate)
            pin(1);
        close(pipeFds[0]);
        runBareForwarder("127.0.0.51", pipeFds[1]);
        _exit(0);
    }
    char ready = 0;
    if (read(pipeFds[0], &ready, 1) != 1)
        return 1;
    const Result baseline = drive("127.0.0.51", bare, o);
    kill(bare, SIGKILL);
    waitpid(bare, nullptr, 0);

    print("voice server", ours, o.seconds);
    print("bare forwarder", baseline, o.seconds);
    std::printf("throughput ratio %.2f\n", baseline.relayedPerSecond > 0 ? ours.relayedPerSecond / baseline.relayedPerSecond : 0.0);
    return 0;
}
