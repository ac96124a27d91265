// The voice and control sockets, their hellos, and the paths that send on them.
#include "transport/transport_threads.h"

#include "audio/meters.h"
#include "core/shared_state.h"
#include "transport/channels.h"
#include "transport/send_paths.h"
#include "transport/voice_link.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

namespace tamovox {

namespace {

void sleepMs(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void sendPresence(const std::uint8_t* data, std::size_t length, int channelPort)
{
    sendToVoiceServer(shared().sockets.voiceSocket.load(std::memory_order_relaxed), data, length, channelPort);
}

PresenceRotation g_presence;  // set-up writes the hellos here first, then only the presence thread
VoiceSender g_voiceSender;    // audio thread only

}  // namespace

int setupSockets()
{
    SharedState& s = shared();
    // An invalid server address is reported once, here, before any thread sends.
    const bool haveServer = voiceServerAddress() != nullptr;

    const int voice = openUdpSocket(htonl(INADDR_ANY));
    s.sockets.voiceSocket = voice;
    if (voice < 0) {
        // As when the network layer cannot start: no control socket either.
        s.lamps.voiceLink = 1;
        return -1;
    }
    std::span<std::uint8_t, kPresenceBufferBytes> buffer(g_presence.buffer);
    const std::size_t helloLength = buildHello(buffer.first<kHelloBytes>());
    sendToVoiceServer(voice, g_presence.buffer, helloLength, s.channel.channelPort);
    s.lamps.voiceLink = haveServer ? 4 : 1;

    const int control = openUdpSocket(htonl(INADDR_ANY));
    s.sockets.controlSocket = control;
    if (control < 0) {
        s.lamps.supervisorLink = 1;
        return -1;
    }
    std::uint8_t controlHello[kControlHelloBytes];
    const std::size_t controlLength = buildControlHello(controlHello);
    sendToVoiceServer(control, controlHello, controlLength, s.channel.channelPort);
    s.lamps.supervisorLink = haveServer ? 4 : 1;
    return 0;
}

void presenceThread() { presenceLoop(g_presence, sendPresence, sleepMs, -1); }

void sendVoiceBlock(const std::int16_t* block)
{
    SharedState& s = shared();
    const std::size_t length = nextVoiceDatagram(g_voiceSender, s.identity.accountNumber.load(std::memory_order_relaxed), block);
    sendToVoiceServer(s.sockets.voiceSocket.load(std::memory_order_relaxed), g_voiceSender.datagram, length,
                      s.channel.channelPort.load(std::memory_order_relaxed));
    captureMeterUpdate(block);
    advanceTransmitChase(g_voiceSender.chase, s.audio.transmitChasePosition, s.lamps.activity);
}

void listRequest(int channelPort)
{
    SharedState& s = shared();
    std::uint8_t request[kRequestBytes];
    const std::size_t length = buildListRequest(request);
    if (sendToVoiceServer(s.sockets.controlSocket.load(std::memory_order_relaxed), request, length,
                          channelPort + kControlPortOffset) < 0)
        s.lamps.supervisorLink = 1;
}

void linkBlinkThread()
{
    for (;;) {
        sleepMs(kLinkBlinkMs);
        shared().lamps.tcp = 5;
        sleepMs(kLinkBlinkMs);
        shared().lamps.tcp = 6;
    }
}

}  // namespace tamovox
