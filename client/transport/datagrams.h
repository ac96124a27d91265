// Byte layouts of every datagram exchanged with the voice server and the speech companion:
// builders write into a caller's buffer and return the length; parsers read fixed offsets and
// never look past the span they are given. No sockets here; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tamovox {

// ---- Sizes -----------------------------------------------------------------------------------
inline constexpr std::size_t kReceiveBufferBytes = 1024;   // a received datagram is cut at this
inline constexpr std::size_t kHelloBytes = 9;
inline constexpr std::size_t kControlHelloBytes = 18;
inline constexpr std::size_t kPresenceBufferBytes = 27;    // the longest presence variant
inline constexpr std::size_t kPresenceNBytes = 26;
inline constexpr std::size_t kPresenceDBytes = 27;
inline constexpr std::size_t kPresenceDFallbackBytes = 20; // machine identifier not 16 characters
inline constexpr std::size_t kPresenceVBytes = 14;
inline constexpr std::size_t kVoiceDatagramBytes = 1024;
inline constexpr std::size_t kVoiceHeaderBytes = 24;       // payload offset of voice, Opus and silence
inline constexpr std::size_t kVoicePayloadOffset = 24;
inline constexpr std::size_t kVoicePayloadBytes = 1000;    // one capture block
inline constexpr std::size_t kVoiceBlockValues = 500;      // 16-bit values in a capture block
inline constexpr std::size_t kRequestBytes = 3;            // list and status requests
inline constexpr std::size_t kListReplyMaxEntries = 16;
inline constexpr std::size_t kListReplyMaxBytes = 3 + 2 * kListReplyMaxEntries;
inline constexpr std::size_t kStatusReplyBytes = 3;
inline constexpr std::size_t kPeerStateBytes = 24;
inline constexpr std::size_t kOpusMaxPacketBytes = 255;
inline constexpr std::size_t kOpusDatagramMaxBytes = kVoiceHeaderBytes + kOpusMaxPacketBytes;
inline constexpr std::size_t kSpeechTextMaxBytes = 200;
inline constexpr std::size_t kSpeechDatagramMaxBytes = 1 + kSpeechTextMaxBytes;

// ---- First bytes -----------------------------------------------------------------------------
inline constexpr std::uint8_t kTypeHello = 0x54;         // "T"
inline constexpr std::uint8_t kTypePresence = 0x52;      // "R"
inline constexpr std::uint8_t kTypeVoice = 0x41;         // "A": voice, status request, status reply
inline constexpr std::uint8_t kTypeVoiceQuiet = 0x42;    // "B": voice, played softly on channel 10
inline constexpr std::uint8_t kTypeOpus = 0x4F;          // "O"
inline constexpr std::uint8_t kTypePeerState = 0x50;     // "P"
inline constexpr std::uint8_t kTypeList = 0x4C;          // "L": list request and reply
inline constexpr std::uint8_t kTypeSpeechText = 0x01;
inline constexpr std::uint8_t kTypeSpeechQuit = 0xFF;
inline constexpr std::uint8_t kSpeechPress = 0x54;       // "T"
inline constexpr std::uint8_t kSpeechRelease = 0x52;     // "R"

// Content flag of a server voice datagram (byte 7).
inline constexpr std::uint8_t kContentSilence = 0;
inline constexpr std::uint8_t kContentSamples = 1;

// Status codes of a status reply (byte 2).
inline constexpr std::uint8_t kStatusNormal = 200;
inline constexpr std::uint8_t kStatusUpdate = 220;
inline constexpr std::uint8_t kStatusBanned = 230;
inline constexpr std::uint8_t kStatusClose = 240;

// Peer-state codes sent by the reference voice server (byte 1).
inline constexpr std::uint8_t kPeerJoined = 1;
inline constexpr std::uint8_t kPeerLeft = 2;

// ---- Client to voice server ------------------------------------------------------------------
enum class PresenceVariant { N, D, V };

// "T.WIN" and four zero bytes (9), or that twice (18).
std::size_t buildHello(std::span<std::uint8_t, kHelloBytes> out);
std::size_t buildControlHello(std::span<std::uint8_t, kControlHelloBytes> out);

// Writes bytes 0..8 and the variant's bytes into a buffer of kPresenceBufferBytes; returns the
// length to send: N 26, D 27 (20 when machineId is not 16 characters), V 14. version is "0.7.9".
std::size_t buildPresence(std::span<std::uint8_t, kPresenceBufferBytes> out, PresenceVariant variant,
                          std::uint16_t accountNumber, const char* machineId, const char* version);

// Writes the constant header and the 500-value block; always kVoiceDatagramBytes.
std::size_t buildVoice(std::span<std::uint8_t, kVoiceDatagramBytes> out, std::uint8_t sequence,
                       std::uint16_t accountNumber, const std::int16_t* block);
// Header only (bytes 0..23); the caller copies the block at offset 24 itself.
void writeVoiceHeader(std::span<std::uint8_t, kVoiceDatagramBytes> out, std::uint8_t sequence,
                      std::uint16_t accountNumber);

std::size_t buildListRequest(std::span<std::uint8_t, kRequestBytes> out);    // "L" 0 0
std::size_t buildStatusRequest(std::span<std::uint8_t, kRequestBytes> out);  // "A" 1 0

// ---- Voice server to client ------------------------------------------------------------------
// PCM voice "A"/"B": with samples (payload = 1000 bytes) the length is 1024; a silence datagram
// (payload empty, flag 0) is the 24-byte header.
std::size_t buildServerVoice(std::span<std::uint8_t, kVoiceDatagramBytes> out, std::uint8_t type,
                             std::uint8_t sequence, std::uint16_t talkerId,
                             std::span<const std::uint8_t> payload);
// Opus "O": length 24 + packet size; 0 when the packet is longer than 255 bytes.
std::size_t buildOpusVoice(std::span<std::uint8_t, kOpusDatagramMaxBytes> out, std::uint8_t sequence,
                           std::uint16_t talkerId, std::span<const std::uint8_t> packet);
// Peer-state "P": code at 1, the account number concerned at 3..4; 24 bytes.
std::size_t buildPeerState(std::span<std::uint8_t, kPeerStateBytes> out, std::uint8_t code,
                           std::uint16_t accountNumber);
// List reply "L": at most 16 accounts are written (the rest are dropped); 3 + 2n.
std::size_t buildListReply(std::span<std::uint8_t, kListReplyMaxBytes> out, int channelIndex,
                           std::span<const std::uint16_t> accounts);
// Status reply "A" 1 code; 3 bytes.
std::size_t buildStatusReply(std::span<std::uint8_t, kStatusReplyBytes> out, std::uint8_t code);

// ---- Client and speech companion ---------------------------------------------------------------
// 0x01 and the first 200 bytes of the zero-terminated text (nullptr counts as empty).
std::size_t buildSpeechText(std::span<std::uint8_t, kSpeechDatagramMaxBytes> out, const char* text);
std::size_t buildSpeechQuit(std::span<std::uint8_t, 1> out);

// ---- Parsers ---------------------------------------------------------------------------------
// Every parser reads a byte only when its offset lies inside the span; a byte outside reads as 0.
// Give them the received bytes (strict), or the whole 1024-byte receive buffer with its unfilled
// part cleared (what the client's receive thread does): both stay inside what the caller owns.
inline std::uint8_t byteAt(std::span<const std::uint8_t> d, std::size_t offset)
{
    return offset < d.size() ? d[offset] : 0;
}
inline std::uint16_t wordAt(std::span<const std::uint8_t> d, std::size_t offset)
{
    return static_cast<std::uint16_t>(byteAt(d, offset) | (byteAt(d, offset + 1) << 8));
}

// What the voice socket receives from the server: "A", "B", "O" or "P".
struct ReceivedVoice {
    std::uint8_t type = 0;           // byte 0
    std::uint8_t sequence = 0;       // byte 1
    std::uint16_t talkerId = 0;      // bytes 3..4, low byte first
    std::uint8_t opusLength = 0;     // byte 5 ("O")
    std::uint8_t contentFlag = 0;    // byte 7 ("A"/"B")
    std::uint8_t peerCode = 0;       // byte 1 ("P")
    const std::uint8_t* payload = nullptr;  // offset 24 inside the span, nullptr when the span ends before
    std::size_t payloadAvailable = 0;       // bytes from offset 24 to the end of the span
};
// Fills out for any first byte; returns true when the type is one of "A", "B", "O", "P".
bool parseReceivedVoice(std::span<const std::uint8_t> datagram, ReceivedVoice& out);

// List reply: channel index (signed byte 1) and count (signed byte 2) as sent; accounts up to
// min(count, 16) and only those whose two bytes lie inside the span.
struct ListReply {
    int channelIndex = 0;
    int count = 0;
    int accountsRead = 0;
    std::uint16_t accounts[kListReplyMaxEntries] = {};
};
bool parseListReply(std::span<const std::uint8_t> datagram, ListReply& out);
// Status reply: byte 2, or -1 when the datagram is not "A" or shorter than 3 bytes.
int parseStatusReply(std::span<const std::uint8_t> datagram);

// Speech companion: 2 pressed for "T", 1 released for "R", 0 for anything else or nothing.
int parseSpeechCommand(std::span<const std::uint8_t> datagram);

// What the voice server receives on a channel port.
enum class ClientDatagramKind { Malformed, Hello, Presence, Voice };
struct ClientDatagram {
    ClientDatagramKind kind = ClientDatagramKind::Malformed;
    std::uint8_t sequence = 0;                 // voice byte 1
    std::uint16_t accountNumber = 0;           // presence and voice bytes 3..4
    char presenceVariant = 0;                  // presence byte 9: 'N', 'D' or 'V'
    const std::uint8_t* payload = nullptr;     // voice: 1000 bytes at offset 24
};
// Hello: starts "T.WIN" and is 9 or 18 bytes; presence: "R." and 14..27 bytes; voice: "A" and
// exactly 1024 bytes. Anything else is Malformed.
ClientDatagram parseClientDatagram(std::span<const std::uint8_t> datagram);

// What the voice server receives on a control port.
enum class ControlRequestKind { Malformed, Hello, List, Status };
// "L" or "A" and at least 3 bytes; a hello as above.
ControlRequestKind parseControlRequest(std::span<const std::uint8_t> datagram);

}  // namespace tamovox
