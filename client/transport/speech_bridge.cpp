// The loopback socket towards the speech companion: texts and the quit byte out, push-to-talk in.
#include "transport/speech_bridge.h"

#include "core/shared_state.h"
#include "transport/channels.h"
#include "transport/datagrams.h"
#include "transport/transport_threads.h"
#include "transport/voice_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

namespace tamovox {

namespace {

constexpr int kSpeechPollMs = 100;

// Code points of Windows-1252 bytes 0x80..0x9F (0: undefined there).
constexpr char16_t kHighControls[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

char toAnsi(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] && kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

void sendToCompanion(const std::uint8_t* data, std::size_t length)
{
    const int fd = shared().sockets.loopbackSocket.load(std::memory_order_relaxed);
    if (fd < 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    inet_pton(AF_INET, kSpeechCompanionAddress, &to.sin_addr);
    to.sin_port = htons(kSpeechCompanionPort);
    sendto(fd, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

}  // namespace

std::string speechTextToAnsi(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        const int extra = b >= 0xC2 && b < 0xE0 ? 1 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xF0 && b < 0xF5 ? 3 : 0;
        char32_t cp = extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool valid = extra > 0 && in.size() - i > static_cast<std::size_t>(extra);
        for (int k = 1; valid && k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(in[i + k]);
            if ((c & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        out.push_back(toAnsi(cp));
        i += 1 + extra;
    }
    return out;
}

void setupLoopbackSocket()
{
    // Local only: nobody on the network may press this client's push-to-talk.
    shared().sockets.loopbackSocket = openUdpSocket(htonl(INADDR_LOOPBACK));
}

int speak(const char* text)
{
    const std::string ansi = speechTextToAnsi(text ? text : "");
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
        const int fd = shared().sockets.loopbackSocket.load(std::memory_order_relaxed);
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
