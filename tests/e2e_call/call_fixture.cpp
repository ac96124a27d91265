#include "call_fixture.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace tamovox::e2e {

namespace {

using namespace std::chrono_literals;

bool executable(const char* path) { return access(path, X_OK) == 0; }

bool onPath(const char* program)
{
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace

Child spawnProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir,
                   const std::string& logPath)
{
    Child child;
    child.log = logPath;
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
            close(fd);
        }
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0)
            dup2(devnull, 0);
        if (!dir.empty() && chdir(dir.c_str()) != 0)
            _exit(126);
        for (const std::string& e : env)
            putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    child.pid = pid;
    return child;
}

bool alive(const Child& child)
{
    if (child.pid <= 0)
        return false;
    int status = 0;
    return waitpid(child.pid, &status, WNOHANG) == 0;
}

int waitExit(Child& child, int timeoutMs)
{
    for (int waited = 0; child.pid > 0 && waited <= timeoutMs; waited += 50) {
        int status = 0;
        if (waitpid(child.pid, &status, WNOHANG) == child.pid) {
            child.pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(50ms);
    }
    return -1;
}

void stop(Child& child)
{
    if (child.pid <= 0)
        return;
    kill(child.pid, SIGTERM);
    for (int i = 0; i < 60; ++i) {
        int status = 0;
        if (waitpid(child.pid, &status, WNOHANG) != 0) {
            child.pid = -1;
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
    kill(child.pid, SIGKILL);
    waitpid(child.pid, nullptr, 0);
    child.pid = -1;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

CallNetwork::CallNetwork(int lastOctet)
{
    char templ[] = "/tmp/tamovox-call-XXXXXX";
    dir_ = mkdtemp(templ) ? templ : "/tmp/tamovox-call";
    address_ = "127.0.0." + std::to_string(lastOctet);
    display_ = std::string(1, ':').append(std::to_string(100 + lastOctet));  // operator+ trips GCC 12 -Wrestrict
}

CallNetwork::~CallNetwork()
{
    for (Child& c : clients_)
        stop(c);
    stopVoiceServer();
    stop(xvfb_);
    stopPulse();
    if (!std::getenv("TAMOVOX_KEEP_TEST_DIR"))
        run({"rm", "-rf", dir_});
}

std::string CallNetwork::missingPrerequisite()
{
    if (!executable(TAMOVOX_BIN))
        return "the client is not built";
    if (std::string(VOICE_SERVER_BIN).empty() || !executable(VOICE_SERVER_BIN))
        return "the reference voice server is not built";
    for (const char* program : {"pulseaudio", "Xvfb", "xdotool"})
        if (!onPath(program))
            return std::string(program) + " is not installed (tools/deps.sh)";
    return {};
}

int CallNetwork::run(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    Child c = spawnProgram(argv, env, {}, dir_ + "/commands.log");
    int status = 0;
    waitpid(c.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CallNetwork::startPulse(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {PULSE_SCRIPT, "start", dir_ + "/pulse"};
    argv.insert(argv.end(), args.begin(), args.end());
    pulseStarted_ = run(argv) == 0;
    struct stat st{};
    return pulseStarted_ && stat((dir_ + "/pulse/native").c_str(), &st) == 0;
}

bool CallNetwork::restartPulse()
{
    struct stat st{};
    return run({PULSE_SCRIPT, "restart", dir_ + "/pulse"}) == 0 && stat((dir_ + "/pulse/native").c_str(), &st) == 0;
}

void CallNetwork::stopPulse()
{
    if (pulseStarted_)
        run({PULSE_SCRIPT, "stop", dir_ + "/pulse"});
    pulseStarted_ = false;
}

bool CallNetwork::startVoiceServer()
{
    voiceServer_ = spawnProgram({VOICE_SERVER_BIN, "--bind", address_, "--control-socket", dir_ + "/voice.ctl",
                                 "--stats-interval", "0"},
                                {}, dir_, dir_ + "/voice-server.log");
    for (int i = 0; i < 100; ++i) {
        struct stat st{};
        if (stat((dir_ + "/voice.ctl").c_str(), &st) == 0)
            return true;
        if (!alive(voiceServer_))
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return alive(voiceServer_);
}

void CallNetwork::stopVoiceServer()
{
    stop(voiceServer_);
    unlink((dir_ + "/voice.ctl").c_str());
}

bool CallNetwork::startDisplay()
{
    xvfb_ = spawnProgram({"Xvfb", display_, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {}, dir_, dir_ + "/xvfb.log");
    for (int i = 0; i < 100; ++i) {
        // Our own server must be the one answering: another on the same display would go away under us.
        if (alive(xvfb_) && run({"xdotool", "getmouselocation"}, {"DISPLAY=" + display_}) == 0) {
            run({"xset", "r", "off"}, {"DISPLAY=" + display_});  // a held key is one press, as on a desk
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

Child CallNetwork::startClient(const ClientSpec& spec)
{
    const std::string home = dir_ + "/" + spec.name;
    mkdir(home.c_str(), 0700);
    std::vector<std::string> env = {
        "QT_QPA_PLATFORM=xcb",
        "DISPLAY=" + display_,
        "TAMOVOX_UNATTENDED=1",
        "TAMOVOX_MACHINE_ID=" + spec.machineId,
        "TAMOVOX_VOICE_SERVER=" + address_,
        "TAMOVOX_WEB_URL=https://" + address_ + ":9",  // no web server: its fetches fail at once
        "XDG_RUNTIME_DIR=" + home,
        "HOME=" + home,
        "PULSE_SERVER=" + pulseServer(),
        "PULSE_SOURCE=" + spec.source,
        "PULSE_SINK=" + spec.sink,
    };
    env.insert(env.end(), spec.env.begin(), spec.env.end());
    Child c = spawnProgram({TAMOVOX_BIN}, env, SKIN_DIR, dir_ + "/" + spec.name + ".log");
    clients_.push_back(c);
    return c;
}

unsigned long CallNetwork::mainWindowOf(const Child& client)
{
    const std::string out = dir_ + "/window-" + std::to_string(client.pid);
    for (int i = 0; i < 150; ++i) {
        Child c = spawnProgram({"xdotool", "search", "--all", "--onlyvisible", "--pid", std::to_string(client.pid), "--name",
                                "^TAMO-VOX$"},
                               {"DISPLAY=" + display_}, {}, out);
        int status = 0;
        waitpid(c.pid, &status, 0);
        unsigned long id = std::strtoul(readFile(out).c_str(), nullptr, 10);
        unlink(out.c_str());
        if (id)
            return id;
        std::this_thread::sleep_for(100ms);
    }
    return 0;
}

bool CallNetwork::keyDown(unsigned long window, const std::string& key)
{
    const std::string w = std::to_string(window);
    return run({"xdotool", "windowfocus", "--sync", w}, {"DISPLAY=" + display_}) == 0 &&
           run({"xdotool", "keydown", key}, {"DISPLAY=" + display_}) == 0;
}

bool CallNetwork::keyUp(unsigned long window, const std::string& key)
{
    const std::string w = std::to_string(window);
    return run({"xdotool", "windowfocus", "--sync", w}, {"DISPLAY=" + display_}) == 0 &&
           run({"xdotool", "keyup", key}, {"DISPLAY=" + display_}) == 0;
}

bool CallNetwork::moveWindow(unsigned long window, int x, int y)
{
    return run({"xdotool", "windowmove", "--sync", std::to_string(window), std::to_string(x), std::to_string(y)},
               {"DISPLAY=" + display_}) == 0;
}

bool CallNetwork::captureWindow(unsigned long window, const std::string& pngPath)
{
    return run({"import", "-window", std::to_string(window), "png:" + pngPath}, {"DISPLAY=" + display_}) == 0;
}

bool CallNetwork::voiceServerCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {VOICE_SERVER_BIN, "ctl", "--socket", dir_ + "/voice.ctl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv) == 0;
}

std::vector<std::int16_t> record(const std::string& server, const std::string& source, int rate, int ms)
{
    pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate), 2};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(rate / 50 * 4);  // 20 ms
    int error = 0;
    pa_simple* s = pa_simple_new(server.c_str(), "e2e", PA_STREAM_RECORD, source.c_str(), "ear", &spec, nullptr, &attr, &error);
    if (!s)
        return {};
    std::vector<std::int16_t> v(static_cast<std::size_t>(rate) * ms / 1000 * 2);
    if (pa_simple_read(s, v.data(), v.size() * sizeof v[0], &error) < 0)
        v.clear();
    pa_simple_free(s);
    return v;
}

double rms(const std::vector<std::int16_t>& v, int channel)
{
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < v.size(); i += 2, ++n)
        sum += static_cast<double>(v[i]) * v[i];
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

double crossingFrequency(const std::vector<std::int16_t>& v, int channel, int rate)
{
    // Periods between rising zero crossings; those far from the median (a gap, a click) are left
    // out, so the figure is the pitch a listener hears.
    std::vector<double> periods;
    double previous = -1;
    const long frames = static_cast<long>(v.size() / 2);
    for (long i = 1; i < frames; ++i) {
        const double a = v[static_cast<std::size_t>((i - 1) * 2 + channel)];
        const double b = v[static_cast<std::size_t>(i * 2 + channel)];
        if (a < 0 && b >= 0) {
            const double at = static_cast<double>(i - 1) + (-a) / (b - a);  // interpolated crossing
            if (previous >= 0)
                periods.push_back(at - previous);
            previous = at;
        }
    }
    if (periods.size() < 2)
        return 0.0;
    std::vector<double> sorted = periods;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2), sorted.end());
    const double median = sorted[sorted.size() / 2];
    double sum = 0;
    int count = 0;
    for (double p : periods)
        if (p > 0.75 * median && p < 1.25 * median) {
            sum += p;
            ++count;
        }
    return count ? rate * count / sum : 0.0;
}

int irregularPeriods(const std::vector<std::int16_t>& v, int channel, int rate, double hz)
{
    const double period = rate / hz;
    int irregular = 0;
    long previous = -1;
    const long frames = static_cast<long>(v.size() / 2);
    for (long i = 1; i < frames; ++i) {
        if (v[static_cast<std::size_t>((i - 1) * 2 + channel)] < 0 && v[static_cast<std::size_t>(i * 2 + channel)] >= 0) {
            if (previous >= 0 && std::abs(static_cast<double>(i - previous) - period) > 0.05 * period + 1)
                ++irregular;
            previous = i;
        }
    }
    return irregular;
}

double tonePower(const std::vector<std::int16_t>& v, int channel, int rate, double hz)
{
    const double w = 2 * M_PI * hz / rate;
    const double coefficient = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    std::size_t n = 0;
    for (std::size_t i = static_cast<std::size_t>(channel); i < v.size(); i += 2, ++n) {
        const double s0 = v[i] / 32768.0 + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return n ? (s1 * s1 + s2 * s2 - coefficient * s1 * s2) / static_cast<double>(n * n) : 0.0;
}

void writeRaw(const std::string& path, const std::vector<std::int16_t>& v)
{
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(v.data(), sizeof v[0], v.size(), f);
        std::fclose(f);
    }
}

bool writeStereoToneWav(const std::string& path, int rate, double seconds, double leftHz, double rightHz)
{
    const auto frames = static_cast<std::uint32_t>(rate * seconds);
    std::vector<std::int16_t> pcm(frames * 2);
    for (std::uint32_t i = 0; i < frames; ++i) {
        pcm[2 * i] = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * leftHz * i / rate));
        pcm[2 * i + 1] = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * rightHz * i / rate));
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    auto u32 = [f](std::uint32_t x) { std::fwrite(&x, 4, 1, f); };
    auto u16 = [f](std::uint16_t x) { std::fwrite(&x, 2, 1, f); };
    const std::uint32_t dataBytes = frames * 4;
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(2);
    u32(static_cast<std::uint32_t>(rate));
    u32(static_cast<std::uint32_t>(rate) * 4);
    u16(4);
    u16(16);
    std::fwrite("data", 1, 4, f);
    u32(dataBytes);
    std::fwrite(pcm.data(), 2, pcm.size(), f);
    return std::fclose(f) == 0;
}

}  // namespace tamovox::e2e
