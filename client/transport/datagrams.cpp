#include "transport/datagrams.h"

#include <algorithm>
#include <cstring>

namespace tamovox {

namespace {

constexpr char kHelloText[] = "T.WIN";
constexpr char kPresenceNText[] = "NWIN.PSEUDO.WIN.";  // 16 bytes
constexpr char kVoiceAppText[] = "WIN-APP-Radio";      // 13 bytes
constexpr char kDeviceIdFallback[] = "DEVICE.ID";       // 9 bytes
constexpr std::size_t kMachineIdDigits = 16;

void putWord(std::uint8_t* p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

std::size_t buildHello(std::span<std::uint8_t, kHelloBytes> out)
{
    std::memset(out.data(), 0, out.size());
    std::memcpy(out.data(), kHelloText, 5);
    return kHelloBytes;
}

std::size_t buildControlHello(std::span<std::uint8_t, kControlHelloBytes> out)
{
    buildHello(out.first<kHelloBytes>());
    buildHello(out.last<kHelloBytes>());
    return kControlHelloBytes;
}

std::size_t buildPresence(std::span<std::uint8_t, kPresenceBufferBytes> out, PresenceVariant variant,
                          std::uint16_t accountNumber, const char* machineId, const char* version)
{
    std::uint8_t* p = out.data();
    p[0] = kTypePresence;
    p[1] = '.';
    p[2] = 0;
    putWord(p + 3, accountNumber);
    std::memset(p + 5, 0, 4);
    switch (variant) {
    case PresenceVariant::N:
        std::memcpy(p + 9, kPresenceNText, 16);
        p[25] = 0;
        return kPresenceNBytes;
    case PresenceVariant::D:
        p[9] = 'D';
        if (machineId && std::strlen(machineId) == kMachineIdDigits) {
            std::memcpy(p + 10, machineId, kMachineIdDigits);
            p[26] = 0;
            return kPresenceDBytes;
        }
        std::memcpy(p + 10, kDeviceIdFallback, 9);
        p[19] = 0;
        return kPresenceDFallbackBytes;
    case PresenceVariant::V:
        break;
    }
    // Characters 0, 2 and 4 of "0.7.9"; a shorter text gives zero bytes, never a read past it.
    const std::size_t versionLength = version ? std::strlen(version) : 0;
    p[9] = 'V';
    p[10] = versionLength > 0 ? static_cast<std::uint8_t>(version[0]) : 0;
    p[11] = versionLength > 2 ? static_cast<std::uint8_t>(version[2]) : 0;
    p[12] = versionLength > 4 ? static_cast<std::uint8_t>(version[4]) : 0;
    p[13] = 0x02;
    return kPresenceVBytes;
}

void writeVoiceHeader(std::span<std::uint8_t, kVoiceDatagramBytes> out, std::uint8_t sequence,
                      std::uint16_t accountNumber)
{
    std::uint8_t* p = out.data();
    p[0] = kTypeVoice;
    p[1] = sequence;
    p[2] = 0;
    putWord(p + 3, accountNumber);
    p[5] = 0;
    p[6] = 'N';
    std::memcpy(p + 7, kVoiceAppText, 13);
    std::memset(p + 20, 0, 4);
}

std::size_t buildVoice(std::span<std::uint8_t, kVoiceDatagramBytes> out, std::uint8_t sequence,
                       std::uint16_t accountNumber, const std::int16_t* block)
{
    writeVoiceHeader(out, sequence, accountNumber);
    if (block)
        std::memcpy(out.data() + kVoicePayloadOffset, block, kVoicePayloadBytes);
    else
        std::memset(out.data() + kVoicePayloadOffset, 0, kVoicePayloadBytes);
    return kVoiceDatagramBytes;
}

std::size_t buildListRequest(std::span<std::uint8_t, kRequestBytes> out)
{
    out[0] = kTypeList;
    out[1] = 0;
    out[2] = 0;
    return kRequestBytes;
}

std::size_t buildStatusRequest(std::span<std::uint8_t, kRequestBytes> out)
{
    out[0] = kTypeVoice;
    out[1] = 0x01;
    out[2] = 0;
    return kRequestBytes;
}

std::size_t buildServerVoice(std::span<std::uint8_t, kVoiceDatagramBytes> out, std::uint8_t type,
                             std::uint8_t sequence, std::uint16_t talkerId,
                             std::span<const std::uint8_t> payload)
{
    std::uint8_t* p = out.data();
    std::memset(p, 0, kVoiceHeaderBytes);
    p[0] = type;
    p[1] = sequence;
    putWord(p + 3, talkerId);
    if (payload.empty()) {
        p[7] = kContentSilence;
        return kVoiceHeaderBytes;
    }
    p[7] = kContentSamples;
    const std::size_t n = std::min(payload.size(), kVoicePayloadBytes);
    std::memcpy(p + kVoicePayloadOffset, payload.data(), n);
    std::memset(p + kVoicePayloadOffset + n, 0, kVoicePayloadBytes - n);
    return kVoiceDatagramBytes;
}

std::size_t buildOpusVoice(std::span<std::uint8_t, kOpusDatagramMaxBytes> out, std::uint8_t sequence,
                           std::uint16_t talkerId, std::span<const std::uint8_t> packet)
{
    if (packet.size() > kOpusMaxPacketBytes)
        return 0;
    std::uint8_t* p = out.data();
    std::memset(p, 0, kVoiceHeaderBytes);
    p[0] = kTypeOpus;
    p[1] = sequence;
    putWord(p + 3, talkerId);
    p[5] = static_cast<std::uint8_t>(packet.size());
    if (!packet.empty())
        std::memcpy(p + kVoicePayloadOffset, packet.data(), packet.size());
    return kVoiceHeaderBytes + packet.size();
}

std::size_t buildPeerState(std::span<std::uint8_t, kPeerStateBytes> out, std::uint8_t code,
                           std::uint16_t accountNumber)
{
    std::memset(out.data(), 0, out.size());
    out[0] = kTypePeerState;
    out[1] = code;
    putWord(out.data() + 3, accountNumber);
    return kPeerStateBytes;
}

std::size_t buildListReply(std::span<std::uint8_t, kListReplyMaxBytes> out, int channelIndex,
                           std::span<const std::uint16_t> accounts)
{
    const std::size_t n = std::min(accounts.size(), kListReplyMaxEntries);
    out[0] = kTypeList;
    out[1] = static_cast<std::uint8_t>(channelIndex);
    out[2] = static_cast<std::uint8_t>(n);
    for (std::size_t i = 0; i < n; ++i)
        putWord(out.data() + 3 + 2 * i, accounts[i]);
    return 3 + 2 * n;
}

std::size_t buildStatusReply(std::span<std::uint8_t, kStatusReplyBytes> out, std::uint8_t code)
{
    out[0] = kTypeVoice;
    out[1] = 0x01;
    out[2] = code;
    return kStatusReplyBytes;
}

std::size_t buildSpeechText(std::span<std::uint8_t, kSpeechDatagramMaxBytes> out, const char* text)
{
    out[0] = kTypeSpeechText;
    std::size_t n = 0;
    // strnlen semantics: never read more than 200 bytes of the text.
    while (text && n < kSpeechTextMaxBytes && text[n] != '\0')
        ++n;
    if (n)
        std::memcpy(out.data() + 1, text, n);
    return n + 1;
}

std::size_t buildSpeechQuit(std::span<std::uint8_t, 1> out)
{
    out[0] = kTypeSpeechQuit;
    return 1;
}

bool parseReceivedVoice(std::span<const std::uint8_t> d, ReceivedVoice& out)
{
    out = {};
    out.type = byteAt(d, 0);
    out.sequence = byteAt(d, 1);
    out.talkerId = wordAt(d, 3);
    out.opusLength = byteAt(d, 5);
    out.contentFlag = byteAt(d, 7);
    out.peerCode = byteAt(d, 1);
    if (d.size() > kVoicePayloadOffset) {
        out.payload = d.data() + kVoicePayloadOffset;
        out.payloadAvailable = d.size() - kVoicePayloadOffset;
    }
    return out.type == kTypeVoice || out.type == kTypeVoiceQuiet || out.type == kTypeOpus ||
           out.type == kTypePeerState;
}

bool parseListReply(std::span<const std::uint8_t> d, ListReply& out)
{
    out = {};
    if (d.size() < 3 || d[0] != kTypeList)
        return false;
    out.channelIndex = static_cast<std::int8_t>(d[1]);
    out.count = static_cast<std::int8_t>(d[2]);
    const int wanted = std::clamp(out.count, 0, static_cast<int>(kListReplyMaxEntries));
    for (int i = 0; i < wanted && 3 + 2 * static_cast<std::size_t>(i) + 1 < d.size(); ++i)
        out.accounts[out.accountsRead++] = wordAt(d, 3 + 2 * static_cast<std::size_t>(i));
    return true;
}

int parseStatusReply(std::span<const std::uint8_t> d)
{
    if (d.size() < kStatusReplyBytes || d[0] != kTypeVoice)
        return -1;
    return d[2];
}

int parseSpeechCommand(std::span<const std::uint8_t> d)
{
    if (d.empty())
        return 0;
    if (d[0] == kSpeechPress)
        return 2;
    if (d[0] == kSpeechRelease)
        return 1;
    return 0;
}

namespace {
bool isHello(std::span<const std::uint8_t> d)
{
    return (d.size() == kHelloBytes || d.size() == kControlHelloBytes) && std::memcmp(d.data(), kHelloText, 5) == 0;
}
}  // namespace

ClientDatagram parseClientDatagram(std::span<const std::uint8_t> d)
{
    ClientDatagram c;
    if (isHello(d)) {
        c.kind = ClientDatagramKind::Hello;
        return c;
    }
    if (d.size() >= kPresenceVBytes && d.size() <= kPresenceBufferBytes && d[0] == kTypePresence && d[1] == '.') {
        const char variant = static_cast<char>(d[9]);
        if (variant != 'N' && variant != 'D' && variant != 'V')
            return c;
        c.kind = ClientDatagramKind::Presence;
        c.accountNumber = wordAt(d, 3);
        c.presenceVariant = variant;
        return c;
    }
    if (d.size() == kVoiceDatagramBytes && d[0] == kTypeVoice) {
        c.kind = ClientDatagramKind::Voice;
        c.sequence = d[1];
        c.accountNumber = wordAt(d, 3);
        c.payload = d.data() + kVoicePayloadOffset;
        return c;
    }
    return c;
}

ControlRequestKind parseControlRequest(std::span<const std::uint8_t> d)
{
    if (isHello(d))
        return ControlRequestKind::Hello;
    if (d.size() < kRequestBytes)
        return ControlRequestKind::Malformed;
    if (d[0] == kTypeList)
        return ControlRequestKind::List;
    if (d[0] == kTypeVoice)
        return ControlRequestKind::Status;
    return ControlRequestKind::Malformed;
}

}  // namespace tamovox
