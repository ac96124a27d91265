// The voice server's address and the sends towards it, shared by the presence thread, the voice
// block sender, the list requests and socket set-up. Any thread.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

namespace tamovox {

inline constexpr const char* kDefaultVoiceServer = "127.0.0.1";

// Parses a dotted IPv4 literal; false for anything else (names, IPv6, trailing text).
bool parseVoiceServerAddress(const char* text, in_addr& out);

// The address from TAMOVOX_VOICE_SERVER (default 127.0.0.1), read once. nullptr when the
// variable holds no valid address: one line went to standard error and nothing may be sent.
const in_addr* voiceServerAddress();

// A UDP socket bound to an ephemeral port on address (network order); -1 on failure.
int openUdpSocket(std::uint32_t address);

// Sends on socket fd to the voice server at port; -1 when there is no socket, no valid server
// address or the send fails, else the bytes sent.
int sendToVoiceServer(int fd, const std::uint8_t* data, std::size_t length, int port);

}  // namespace tamovox
