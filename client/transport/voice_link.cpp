#include "transport/voice_link.h"

#include "core/lifecycle_log.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tamovox {

bool parseVoiceServerAddress(const char* text, in_addr& out)
{
    return text && inet_pton(AF_INET, text, &out) == 1;
}

const in_addr* voiceServerAddress()
{
    // A magic static: parsed once, safely, by whichever thread sends first.
    static const in_addr* address = [] () -> const in_addr* {
        static in_addr parsed{};
        const char* text = std::getenv("TAMOVOX_VOICE_SERVER");
        if (!text || !*text)
            text = kDefaultVoiceServer;
        if (parseVoiceServerAddress(text, parsed))
            return &parsed;
        // Falling back to the default would send a user's voice to the wrong host: send nothing.
        logDiagnostic(std::string("TAMOVOX_VOICE_SERVER=\"") + text +
                      "\" n'est pas une adresse IPv4 ; aucun datagramme ne sera envoyé au serveur vocal");
        return nullptr;
    }();
    return address;
}

int openUdpSocket(std::uint32_t address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        return -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = address;
    local.sin_port = 0;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int sendToVoiceServer(int fd, const std::uint8_t* data, std::size_t length, int port)
{
    const in_addr* server = voiceServerAddress();
    if (fd < 0 || !server)
        return -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = *server;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    const ssize_t sent = sendto(fd, data, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent < 0 ? -1 : static_cast<int>(sent);
}

}  // namespace tamovox
