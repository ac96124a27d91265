// The audio thread: half-duplex switching between the playback stream (push-to-talk released)
// and the capture stream (pressed); it never holds both devices.
//
// Design note. The sound server is a separate process that can stop and come back while the
// client runs. "No sound server" (absent at open, or the stream lost) is therefore a passing
// state: the transmit lamp turns yellow, the thread keeps following push-to-talk and the run flag,
// and it tries to open the stream again every second. Only a device that a running server refuses
// to open (a wrong source or sink name, a format it will not take) is the fatal case: two message
// boxes, the microphone level put back, exit code 1.
//
// Between two steps the thread sleeps until its stream has news (a buffer played, sound
// recorded) rather than polling every 10 ms: a block leaves as soon as it is complete, and an
// idle listener costs almost nothing.
#include "audio/audio_threads.h"

#include "audio/meters.h"
#include "audio/playout.h"
#include "audio/volume.h"
#include "core/lifecycle_log.h"
#include "core/message_box.h"
#include "core/shared_state.h"
#include "platform/audio_backend.h"
#include "transport/transport_threads.h"

#include <QString>

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tamovox {

namespace {

using namespace std::chrono_literals;

constexpr auto kPollPeriod = 10ms;
constexpr int kRetryPolls = 100;        // one second between two opens while there is no server
constexpr int kDrainPollsMax = 100;     // a stalled sink does not hold the switch for more than 1 s
// The streams wake the thread when they have news; these bound each sleep. While talking, the
// thread also notices a release within kCaptureWaitMs (a block arrives every 31.25 ms anyway).
constexpr int kPlaybackWaitMs = 50;
constexpr int kCaptureWaitMs = 40;
constexpr int kCaptureBlockValues = kCaptureBlockBytes / 2;

const char* const kCaptureDriverText =
    "Erreur d'ouverture du périphérique d'enregistrement.\nLe driver d'enregistrement est défectueux ou incompatible\n"
    "Tamo-Vox ne pourra fonctionner qu'en mode écoute.\nLe programme va s'arrêté automatiquement.";
const char* const kPlaybackDriverText =
    "Erreur d'ouverture du périphérique de lecture.\nLe driver de lecture est défectueux ou incompatible\n"
    "Tamo-Vox ne pourra pas fonctionner en mode écoute.\nLe programme va s'arrêté automatiquement.";

bool running() { return shared().audio.audioRunFlag.load() != 0; }

[[noreturn]] void fatalDeviceFailure(int code, const char* driverText)
{
    char text[256];
    std::snprintf(text, sizeof text, "Windows semble avoir un problème système !\nCode d'erreur : %d", code);
    showMessageBoxFromWorker(QString::fromUtf8(text), QString::fromUtf8("Erreur Système Windows"), BoxIcon::Error);
    showMessageBoxFromWorker(QString::fromUtf8(driverText), QString::fromUtf8("Identification du problème"), BoxIcon::Error);
    setCaptureVolume(shared().audio.savedMicrophoneGain);
    std::fflush(nullptr);
    _exit(1);  // as main() leaves: past the static destructors the other threads still use
}

void noSoundServer(bool& reported)
{
    shared().lamps.transmit = kLampNoSoundServer;
    if (!reported)
        logDiagnostic("son : pas de serveur de son, nouvel essai chaque seconde");
    reported = true;
}

// Sleeps up to a second; returns early when push-to-talk leaves `pressed` or a stop is asked.
void waitBeforeRetry(bool pressed)
{
    for (int i = 0; i < kRetryPolls; ++i) {
        if (pushToTalkPressed() != pressed || !running())
            return;
        std::this_thread::sleep_for(kPollPeriod);
    }
}

void advanceActivityLamps()
{
    AudioShared& audio = shared().audio;
    int position = audio.lampPosition;
    audio.markedLamp = position;
    shared().lamps.activity[position] = 5;
}

void lightNextActivityLamp()
{
    AudioShared& audio = shared().audio;
    int position = (audio.lampPosition + 1) % kActivityLamps;
    audio.lampPosition = position;
    shared().lamps.activity[position] = 1;
}

// Passes of four slots every 125 ms, paced by the device. True when the server was lost.
bool playbackPasses(PlaybackStream* stream)
{
    alignas(4) static std::uint8_t buffers[kPlaybackBuffers][kPlaybackBufferBytes];
    int written = 0;
    int next = 0;
    bool lost = false;
    while (!pushToTalkPressed() && running()) {
        advanceActivityLamps();
        takePlayoutBlock(std::span<std::uint8_t, kPlaybackBufferBytes>(buffers[next], kPlaybackBufferBytes));
        lightNextActivityLamp();
        writePlaybackBuffer(stream, buffers[next]);
        ++written;
        while (written - playbackBuffersDone(stream) >= kPlaybackBuffers) {
            if ((lost = playbackStreamLost(stream)))
                return true;
            waitPlaybackProgress(stream, kPlaybackWaitMs);
        }
        playbackMeterUpdate(reinterpret_cast<const std::int16_t*>(buffers[next]));
        next = (next + 1) % kPlaybackBuffers;
    }
    // Let what was written play out before the device closes.
    const auto drainEnd = std::chrono::steady_clock::now() + kDrainPollsMax * kPollPeriod;
    while (playbackBuffersDone(stream) < written && !playbackStreamLost(stream) && std::chrono::steady_clock::now() < drainEnd)
        waitPlaybackProgress(stream, kPlaybackWaitMs);
    return lost;
}

// Returns when push-to-talk is pressed or a stop is asked.
void runPlaybackStream()
{
    bool reported = false;
    while (!pushToTalkPressed() && running()) {
        PlaybackStream* stream = nullptr;
        int status = openPlaybackStream(stream);
        if (status > 0)
            fatalDeviceFailure(status, kPlaybackDriverText);
        if (status == kAudioNoServer) {
            noSoundServer(reported);
            waitBeforeRetry(/*pressed=*/false);
            continue;
        }
        if (shared().lamps.transmit == kLampNoSoundServer)
            shared().lamps.transmit = kLampMicrophoneClosed;
        reported = false;
        bool lost = playbackPasses(stream);
        closePlaybackStream(stream);
        if (lost)
            noSoundServer(reported);
    }
}

CaptureStream* openCapture(int& status)
{
    char name[256];
    const char* source = nullptr;
    int selected = shared().audio.selectedInputDevice;
    if (selected >= 0 && captureSourceName(selected, name, sizeof name))
        source = name;
    CaptureStream* stream = nullptr;
    status = openCaptureStream(source, stream);
    return status == kAudioOk ? stream : nullptr;
}

// One capture stream: open, the 10 ms loop, close. Retries while the server is away and the user
// still holds push-to-talk. Entered once even when push-to-talk is released (the stop path).
void runCaptureStream()
{
    bool reported = false;
    for (bool first = true;; first = false) {
        if (!first && (!pushToTalkPressed() || !running()))
            return;
        int status = kAudioOk;
        CaptureStream* stream = openCapture(status);
        if (status > 0)
            fatalDeviceFailure(status, kCaptureDriverText);
        if (!stream) {
            noSoundServer(reported);
            waitBeforeRetry(/*pressed=*/true);
            continue;
        }
        reported = false;
        shared().lamps.transmit = kLampMicrophoneOpen;
        int current = 0;
        bool lost = false;
        std::int16_t block[kCaptureBlockValues];
        while (pushToTalkPressed() && running()) {
            int recorded = captureBlockDone(stream, current);
            if (recorded >= 0) {
                completeCaptureBlock(captureBlockData(stream, current), recorded, block);
                sendVoiceBlock(block);
                requeueCaptureBlock(stream, current);
                current = (current + 1) % kCaptureQueueBlocks;
                continue;  // the next block may be finished already
            }
            if ((lost = captureStreamLost(stream)))
                break;
            waitCaptureProgress(stream, kCaptureWaitMs);
        }
        closeCaptureStream(stream);
        shared().lamps.transmit = kLampMicrophoneClosed;
        if (!lost)
            return;
        noSoundServer(reported);
    }
}

}  // namespace

void completeCaptureBlock(const std::uint8_t* block, int recorded, std::span<std::int16_t, 500> out)
{
    const auto filled = static_cast<std::size_t>(std::clamp(recorded, 0, kCaptureBlockBytes));
    std::memcpy(out.data(), block, filled);
    std::memset(reinterpret_cast<std::uint8_t*>(out.data()) + filled, 0, kCaptureBlockBytes - filled);
}

int audioThread()
{
    pthread_setname_np(pthread_self(), "tv-audio");  // for top -H and debuggers
    AudioShared& audio = shared().audio;
    audio.audioRunFlag = 1;
    for (;;) {
        runPlaybackStream();
        runCaptureStream();
        if (shared().lamps.transmit != kLampNoSoundServer)
            shared().lamps.transmit = kLampMicrophoneClosed;
        if (audio.audioRunFlag != 1)
            break;
    }
    audio.audioRunFlag = 99;
    return 0;
}

}  // namespace tamovox
