// The receive thread: the only reader of the voice socket. PCM voice goes to the playout buffer,
// Opus voice through the decoder to the render ring; it publishes the reception lamps and the
// talker identifier.
#include "transport/receive_thread.h"

#include "audio/opus_path.h"
#include "audio/playout.h"
#include "core/shared_state.h"
#include "transport/transport_threads.h"

#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace tamovox {

namespace {

constexpr int kQuietChannelPort = 30010;
constexpr int kLampBlue = 5;
constexpr int kLampGreen = 3;

void commonTail(ReceiveState& state, const ReceivedVoice& voice)
{
    SharedState& s = shared();
    if (!pushToTalkPressed())
        s.lamps.activity[s.audio.markedLamp.load() % kActivityLamps] = kLampGreen;
    s.channel.talkerId = voice.talkerId;
    if (state.blinkCounter == 5)
        s.lamps.voiceLink = kLampGreen;
    else if (state.blinkCounter == 0)
        s.lamps.voiceLink = kLampBlue;
    state.blinkCounter = (state.blinkCounter + 1) % kBlinkPeriod;
}

void handlePcm(ReceiveState& state, const ReceivedVoice& voice)
{
    if (voice.contentFlag == kContentSilence) {
        storeSilenceBlock();
    } else if (voice.contentFlag == kContentSamples) {
        const bool attenuate = voice.type == kTypeVoiceQuiet && shared().channel.channelPort == kQuietChannelPort;
        storePcmBlock(std::span<const std::uint8_t, kVoicePayloadBytes>(state.buffer + kVoicePayloadOffset, kVoicePayloadBytes),
                      attenuate);
    }
    commonTail(state, voice);
}

void handleOpus(ReceiveState& state, const ReceivedVoice& voice)
{
    // The packet lies inside the buffer: offset 24 plus at most 255 bytes.
    int frames = decodeOpusPacket(state.buffer + kVoicePayloadOffset, voice.opusLength, state.decodeBuffer);
    if (frames <= 0)
        return;
    queueDecodedAudio(state.decodeBuffer, frames);
    commonTail(state, voice);
}

}  // namespace

bool checkSequence(SequenceState& state, std::uint8_t sequence)
{
    if (++state.datagramCounter > kSequenceWindow) {
        state.datagramCounter = 0;
        state.errorCount = 0;
    }
    if (sequence == state.lastSequence) {
        ++state.errorCount;
        return false;
    }
    if (sequence != static_cast<std::uint8_t>(state.lastSequence + 1))
        ++state.errorCount;
    state.lastSequence = sequence;
    return true;
}

void startReceiving(ReceiveState& state)
{
    state.buffer[0] = 0;
    resetPlayout();
}

void dispatchDatagram(ReceiveState& state, std::size_t received)
{
    if (received > sizeof state.buffer)
        received = sizeof state.buffer;
    std::memset(state.buffer + received, 0, sizeof state.buffer - received);
    ReceivedVoice voice;
    if (!parseReceivedVoice(std::span<const std::uint8_t>(state.buffer, sizeof state.buffer), voice))
        return;
    if (voice.type == kTypePeerState) {
        auto code = static_cast<std::int8_t>(voice.peerCode);
        if (code >= 1 && code <= 4)
            shared().lamps.peer = kLampBlue;
        return;
    }
    if (!checkSequence(state.sequence, voice.sequence))
        return;
    shared().lamps.receptionErrorCount = state.sequence.errorCount;
    if (voice.type == kTypeOpus)
        handleOpus(state, voice);
    else
        handlePcm(state, voice);
}

void receiveTimedOut(ReceiveState& state)
{
    std::memset(state.buffer, 0, sizeof state.buffer);
    shared().lamps.receptionErrorCount = kReceptionLost;
}

void receiveThread()
{
    pthread_setname_np(pthread_self(), "tv-receive");  // for top -H and debuggers
    static ReceiveState state;  // 3 KB, for the life of the process
    startReceiving(state);
    for (;;) {
        const int fd = shared().sockets.voiceSocket;
        if (fd < 0) {
            receiveTimedOut(state);
            std::this_thread::sleep_for(std::chrono::milliseconds(kReceivePollMs));
            continue;
        }
        pollfd p{fd, POLLIN | POLLPRI, 0};
        if (poll(&p, 1, kReceivePollMs) <= 0) {
            receiveTimedOut(state);
            continue;
        }
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = recvfrom(fd, state.buffer, sizeof state.buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0) {
            receiveTimedOut(state);
            if (n < 0 && (p.revents & (POLLERR | POLLNVAL)))
                std::this_thread::sleep_for(std::chrono::milliseconds(kReceivePollMs));  // no busy loop on a broken socket
            continue;
        }
        dispatchDatagram(state, static_cast<std::size_t>(n));
    }
}

}  // namespace tamovox
