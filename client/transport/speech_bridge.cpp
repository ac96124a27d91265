// The loopback socket towards the speech companion: texts and the quit byte out, push-to-talk in.
#include "transport/transport_threads.h"

#include "core/windows1252.h"

#include "core/shared_state.h"
#include "transport/channels.h"
#include "transport/datagrams.h"
#include "transport/voice_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

namespace tamovox {

namespace {

constexpr int kSpeechPollMs = 100;

void sendToCompanion(const std::uint8_t* data, std::size_t length)
{
    const int fd = shared().sockets.loopbackSocket.load(std::memory_order_acquire);
    if (fd < 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    inet_pton(AF_INET, kSpeechCompanionAddress, &to.sin_addr);
    to.sin_port = htons(kSpeechCompanionPort);
    sendto(fd, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

}  // namespace

void setupLoopbackSocket()
{
    // Local only: nobody on the network may press this client's push-to-talk.
    const int fd = openUdpSocket(htonl(INADDR_LOOPBACK));
    // The speech thread is already polling: publish the descriptor once it is bound (release).
    shared().sockets.loopbackSocket.store(fd, std::memory_order_release);
}

int speak(const char* text)
{
    const std::string ansi = utf8ToWindows1252(text ? text : "");
    std::uint8_t datagram[kSpeechDatagramMaxBytes];
    const std::size_t length = buildSpeechText(datagram, ansi.c_str());
    sendToCompanion(datagram, length);
    return 0;
}

void quitCompanion()
{
    std::uint8_t datagram[1];
    sendToCompanion(datagram, buildSpeechQuit(datagram));
}

void speechReceiveThread()
{
    std::uint8_t buffer[kReceiveBufferBytes];
    for (;;) {
        const int fd = shared().sockets.loopbackSocket.load(std::memory_order_acquire);  // set up after this thread starts
        if (fd >= 0) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                const int state = parseSpeechCommand(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)));
                if (state)
                    setManualPushToTalk(state);  // under the push-to-talk lock
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kSpeechPollMs));
    }
}

}  // namespace tamovox
