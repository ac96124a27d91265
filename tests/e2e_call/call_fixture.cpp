#include "call_fixture.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace tamovox::e2e {

namespace {

bool executable(const char* path) { return access(path, X_OK) == 0; }

bool onPath(const char* program)
{
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace

CallNetwork::CallNetwork()
{
    char templ[] = "/tmp/tamovox-call-XXXXXX";
    dir_ = mkdtemp(templ) ? templ : "";
}

CallNetwork::~CallNetwork()
{
    for (Child& c : clients_) {
        if (waitpid(c.pid, nullptr, WNOHANG) == 0)  // still running, and not reaped by the test
            stop(c);
        else
            testing::killGroup(c.pid);  // ended: only its listing with the watchdog is left
    }
    stopVoiceServer();
    display_.stop();
    stopPulse();
    for (pid_t group : pulseGroups_)
        testing::killGroup(group);
    if (!dir_.empty() && !std::getenv("TAMOVOX_KEEP_TEST_DIR"))
        std::filesystem::remove_all(dir_);
}

std::string CallNetwork::missingPrerequisite()
{
    if (!executable(TAMOVOX_BIN))
        return "the client is not built";
    if (std::string(VOICE_SERVER_BIN).empty() || !executable(VOICE_SERVER_BIN))
        return "the reference voice server is not built";
    for (const char* program : {"pulseaudio", "pactl", "Xvfb", "xdotool"})
        if (!onPath(program))
            return std::string(program) + " is not installed (tools/deps.sh)";
    return {};
}

int CallNetwork::run(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    return testing::runProgram(argv, testing::withEnv(env), dir_ + "/commands.log");
}

int CallNetwork::pulseScript(const std::string& command, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {PULSE_SCRIPT, command, dir_ + "/pulse"};
    argv.insert(argv.end(), args.begin(), args.end());
    // The daemon stays in the script's process group when the script ends: that group is ours to end.
    pid_t group = -1;
    const int code = testing::runProgram(argv, {}, dir_ + "/pulse-script.log", 60000, &group);
    if (group > 0)
        pulseGroups_.push_back(group);
    return code;
}

bool CallNetwork::startPulse(const std::vector<std::string>& args)
{
    if (address_.text().empty() || dir_.empty()) {
        why_ = "no loopback address or test folder could be had";
        return false;
    }
    pulseStarted_ = true;
    if (pulseScript("start", args) != 0) {
        why_ = "the private sound daemon did not come up:\n" + readFile(dir_ + "/pulse-script.log");
        return false;
    }
    return true;
}

bool CallNetwork::restartPulse()
{
    if (pulseScript("restart", {}) != 0) {
        why_ = "the private sound daemon did not come back:\n" + readFile(dir_ + "/pulse-script.log");
        return false;
    }
    return true;
}

void CallNetwork::stopPulse()
{
    if (pulseStarted_)
        pulseScript("stop", {});
    pulseStarted_ = false;
}

bool CallNetwork::startVoiceServer()
{
    const std::string log = dir_ + "/voice-server.log";
    const std::size_t before = readFile(log).size();  // it appends when restarted
    voiceServer_ = testing::spawnProgram({VOICE_SERVER_BIN, "--bind", address(), "--control-socket", dir_ + "/voice.ctl",
                                          "--stats-interval", "0"},
                                         testing::withEnv({}, dir_), log);
    // It says so once every port is bound and the operator socket is made.
    if (!testing::waitForOutput(voiceServer_, "listening on", 30000, before) || !alive(voiceServer_)) {
        why_ = "the voice server on " + address() + " did not come up:\n" + readFile(log);
        return false;
    }
    return true;
}

void CallNetwork::stopVoiceServer()
{
    stop(voiceServer_);
    unlink((dir_ + "/voice.ctl").c_str());
}

bool CallNetwork::startDisplay()
{
    if (!display_.start(displayLog())) {
        why_ = display_.why();
        return false;
    }
    run({"xset", "r", "off"}, {display_.env()});  // a held key is one press, as on a desk
    return true;
}

Child CallNetwork::startClient(const ClientSpec& spec)
{
    const std::string home = dir_ + "/" + spec.name;
    mkdir(home.c_str(), 0700);
    std::vector<std::string> env = {
        "QT_QPA_PLATFORM=xcb",
        display_.env(),
        "TAMOVOX_UNATTENDED=1",
        "TAMOVOX_MACHINE_ID=" + spec.machineId,
        "TAMOVOX_VOICE_SERVER=" + address(),
        "TAMOVOX_WEB_URL=https://" + address() + ":9",  // no web server: its fetches fail at once
        "XDG_RUNTIME_DIR=" + home,
        "HOME=" + home,
        "PULSE_SERVER=" + pulseServer(),
        "PULSE_SOURCE=" + spec.source,
        "PULSE_SINK=" + spec.sink,
    };
    env.insert(env.end(), spec.env.begin(), spec.env.end());
    Child c = testing::spawnProgram({TAMOVOX_BIN}, testing::withEnv(env, SKIN_DIR), dir_ + "/" + spec.name + ".log");
    clients_.push_back(c);
    return c;
}

unsigned long CallNetwork::mainWindowOf(Child& client)
{
    const std::string out = dir_ + "/window-" + std::to_string(client.pid);
    unsigned long id = 0;
    waitUntil(
        [&] {
            if (!alive(client))
                return true;
            testing::runProgram({"xdotool", "search", "--all", "--onlyvisible", "--pid", std::to_string(client.pid),
                                 "--name", "^TAMO-VOX$"},
                                testing::withEnv({display_.env()}), out);
            id = std::strtoul(readFile(out).c_str(), nullptr, 10);
            unlink(out.c_str());
            return id != 0;
        },
        30000, 100);
    return id;
}

bool CallNetwork::keyDown(unsigned long window, const std::string& key)
{
    const std::string w = std::to_string(window);
    return run({"xdotool", "windowfocus", "--sync", w}, {display_.env()}) == 0 &&
           run({"xdotool", "keydown", key}, {display_.env()}) == 0;
}

bool CallNetwork::keyUp(unsigned long window, const std::string& key)
{
    const std::string w = std::to_string(window);
    return run({"xdotool", "windowfocus", "--sync", w}, {display_.env()}) == 0 &&
           run({"xdotool", "keyup", key}, {display_.env()}) == 0;
}

bool CallNetwork::moveWindow(unsigned long window, int x, int y)
{
    return run({"xdotool", "windowmove", "--sync", std::to_string(window), std::to_string(x), std::to_string(y)},
               {display_.env()}) == 0;
}

bool CallNetwork::captureWindow(unsigned long window, const std::string& pngPath)
{
    return run({"import", "-window", std::to_string(window), "png:" + pngPath}, {display_.env()}) == 0;
}

bool CallNetwork::voiceServerCommand(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {VOICE_SERVER_BIN, "ctl", "--socket", dir_ + "/voice.ctl"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv) == 0;
}

bool CallNetwork::waitForSound(const std::string& source, double minRms, int timeoutMs)
{
    return waitUntil([&] { return rms(record(pulseServer(), source, 8000, 200), 0) > minRms; }, timeoutMs, 1);
}

bool CallNetwork::waitForChimesPlayed(int timeoutMs)
{
    const std::string out = dir_ + "/sink-inputs";
    return waitUntil(
        [&] {
            std::remove(out.c_str());
            if (testing::runProgram({"pactl", "list", "sink-inputs"}, testing::withEnv({"PULSE_SERVER=" + pulseServer()}),
                                    out) != 0)
                return false;
            return readFile(out).find("media.name = \"chime\"") == std::string::npos;
        },
        timeoutMs, 100);
}

bool CallNetwork::waitForSilence(const std::string& source, double maxRms, int timeoutMs)
{
    return waitUntil(
        [&] {
            const std::vector<std::int16_t> v = record(pulseServer(), source, 8000, 200);
            return !v.empty() && rms(v, 0) < maxRms && rms(v, 1) < maxRms;
        },
        timeoutMs, 1);
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

int toneBreaks(const std::vector<std::int16_t>& v, int channel, int rate, double hz)
{
    const double period = rate / hz;
    const long apart = rate / 20;  // irregular periods within 50 ms of each other are one break
    int breaks = 0;
    long previous = -1, lastIrregular = -apart - 1;
    const long frames = static_cast<long>(v.size() / 2);
    for (long i = 1; i < frames; ++i) {
        if (v[static_cast<std::size_t>((i - 1) * 2 + channel)] < 0 && v[static_cast<std::size_t>(i * 2 + channel)] >= 0) {
            if (previous >= 0 && std::abs(static_cast<double>(i - previous) - period) > 0.05 * period + 1) {
                if (previous - lastIrregular > apart)  // a gap is one long period: it starts at previous
                    ++breaks;
                lastIrregular = i;
            }
            previous = i;
        }
    }
    return breaks;
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
