// A private voice network for end-to-end tests: a PulseAudio daemon of its own (tools/pulse-private.sh),
// the reference voice server on a loopback address of the test's own, an Xvfb display of its own,
// real tamovox clients, and what a user would hear: recordings of a sink's monitor and their pitch.
#pragma once

#include "loopback.h"
#include "processes.h"
#include "xvfb.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tamovox::e2e {

using testing::Child;
using testing::alive;
using testing::readFile;
using testing::stop;
using testing::waitExit;
using testing::waitForText;
using testing::waitUntil;

struct ClientSpec {
    std::string name;       // folder and log name
    std::string machineId;  // 16 digits
    std::string source;     // PULSE_SOURCE
    std::string sink;       // PULSE_SINK
    std::vector<std::string> env = {};  // extra NAME=value, set after the defaults so they win
};

// Everything it starts is stopped by its destructor, or by the watchdog if the test is killed.
// Each start waits until what it started is ready and returns false with why() saying what did
// not come up.
class CallNetwork {
public:
    CallNetwork();  // a loopback address and a folder of its own
    ~CallNetwork();
    CallNetwork(const CallNetwork&) = delete;
    CallNetwork& operator=(const CallNetwork&) = delete;

    // Empty when everything needed is there, else why the test cannot run here.
    static std::string missingPrerequisite();

    // args as for tools/pulse-private.sh start: sink names, then --mouth NAME=HZ.
    bool startPulse(const std::vector<std::string>& args);
    bool restartPulse();
    void stopPulse();
    bool startVoiceServer();
    void stopVoiceServer();
    bool startDisplay();
    Child startClient(const ClientSpec& spec);
    // The client's main window on the display, 0 if it does not appear within 30 s.
    unsigned long mainWindowOf(Child& client);
    bool keyDown(unsigned long window, const std::string& key);
    bool keyUp(unsigned long window, const std::string& key);
    // Without a window manager every window opens at the same place; a capture needs its window uncovered.
    bool moveWindow(unsigned long window, int x, int y);
    // Writes what the window shows now as a PNG file (ImageMagick's import).
    bool captureWindow(unsigned long window, const std::string& pngPath);
    bool voiceServerCommand(const std::vector<std::string>& args);  // tamovox-voice-server ctl ...

    // Records 200 ms at a time from a sink's monitor until its left channel carries more than
    // minRms (a tone arrived) or, for waitForSilence, both channels less than maxRms.
    bool waitForSound(const std::string& source, double minRms, int timeoutMs);
    bool waitForSilence(const std::string& source, double maxRms, int timeoutMs);
    // Until no client's start chime plays any more: its stream is made before the window shows.
    bool waitForChimesPlayed(int timeoutMs);

    const std::string& dir() const { return dir_; }
    std::string pulseServer() const { return "unix:" + dir_ + "/pulse/native"; }
    const std::string& address() const { return address_.text(); }
    const std::string& why() const { return why_; }
    std::string displayLog() const { return dir_ + "/xvfb.log"; }

private:
    int run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    int pulseScript(const std::string& command, const std::vector<std::string>& args);

    testing::LoopbackAddress address_;
    std::string dir_;
    std::string why_;
    testing::XvfbDisplay display_;
    Child voiceServer_;
    std::vector<Child> clients_;
    std::vector<pid_t> pulseGroups_;  // the scripts' groups, where the daemon and its readers run
    bool pulseStarted_ = false;
};

// Records `ms` milliseconds of interleaved s16 stereo at `rate` from a source of the daemon.
std::vector<std::int16_t> record(const std::string& server, const std::string& source, int rate, int ms);
double rms(const std::vector<std::int16_t>& v, int channel);
// Pitch of one channel from its rising zero crossings, gaps and clicks left out (0: no tone).
double crossingFrequency(const std::vector<std::int16_t>& v, int channel, int rate);
// Breaks in a steady tone of hz: runs of periods off by more than 5 % (a gap or a click), those
// within 50 ms of each other counted once.
int toneBreaks(const std::vector<std::int16_t>& v, int channel, int rate, double hz);
// Relative power of one frequency in one channel (Goertzel), for telling two tones apart.
double tonePower(const std::vector<std::int16_t>& v, int channel, int rate, double hz);
// Raw s16le samples, for listening to a failed run (sox -r RATE -e signed -b 16 -c 2 FILE.raw out.wav).
void writeRaw(const std::string& path, const std::vector<std::int16_t>& v);
// A 16-bit stereo WAV file with a tone on each channel.
bool writeStereoToneWav(const std::string& path, int rate, double seconds, double leftHz, double rightHz);

}  // namespace tamovox::e2e
