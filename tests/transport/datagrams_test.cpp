// Byte layouts of every datagram, built and parsed.
#include "transport/channels.h"
#include "transport/datagrams.h"
#include "core/windows1252.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tamovox {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const char* text)
{
    Bytes out;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes text(const char* t) { return Bytes(t, t + std::strlen(t)); }
Bytes zeros(std::size_t n) { return Bytes(n, 0); }

TEST(Datagrams, BuiltLayoutsMatchTheWire)
{
    std::uint8_t buffer[kVoiceDatagramBytes];
    auto built = [&](std::size_t n) { return Bytes(buffer, buffer + n); };
    const char* machineId = "1234567890123456";
    const std::uint16_t accounts[] = {513, 19704};
    struct Case {
        const char* name;
        Bytes got;
        Bytes want;
    };
    std::vector<Case> cases;
    cases.push_back({"hello", built(buildHello(std::span<std::uint8_t, 9>(buffer, 9))), hex("54 2E 57 49 4E 00 00 00 00")});
    cases.push_back({"control hello", built(buildControlHello(std::span<std::uint8_t, 18>(buffer, 18))),
                     hex("54 2E 57 49 4E 00 00 00 00 54 2E 57 49 4E 00 00 00 00")});
    cases.push_back({"presence N guest",
                     built(buildPresence(std::span<std::uint8_t, 27>(buffer, 27), PresenceVariant::N, 19704, machineId, "0.7.9")),
                     concat({hex("52 2E 00 F8 4C 00 00 00 00"), text("NWIN.PSEUDO.WIN."), zeros(1)})});
    cases.push_back({"presence D",
                     built(buildPresence(std::span<std::uint8_t, 27>(buffer, 27), PresenceVariant::D, 513, machineId, "0.7.9")),
                     concat({hex("52 2E 00 01 02 00 00 00 00 44"), text(machineId), zeros(1)})});
    cases.push_back({"presence D, identifier not 16 characters",
                     built(buildPresence(std::span<std::uint8_t, 27>(buffer, 27), PresenceVariant::D, 513, "123", "0.7.9")),
                     concat({hex("52 2E 00 01 02 00 00 00 00 44"), text("DEVICE.ID"), zeros(1)})});
    cases.push_back({"presence V",
                     built(buildPresence(std::span<std::uint8_t, 27>(buffer, 27), PresenceVariant::V, 19704, machineId, "0.7.9")),
                     hex("52 2E 00 F8 4C 00 00 00 00 56 30 37 39 02")});
    cases.push_back({"list request", built(buildListRequest(std::span<std::uint8_t, 3>(buffer, 3))), hex("4C 00 00")});
    cases.push_back({"status request", built(buildStatusRequest(std::span<std::uint8_t, 3>(buffer, 3))), hex("41 01 00")});
    cases.push_back({"list reply channel 4",
                     built(buildListReply(std::span<std::uint8_t, kListReplyMaxBytes>(buffer, kListReplyMaxBytes), 4, accounts)),
                     hex("4C 04 02 01 02 F8 4C")});
    cases.push_back({"status reply", built(buildStatusReply(std::span<std::uint8_t, 3>(buffer, 3), 230)), hex("41 01 E6")});
    cases.push_back({"peer state", built(buildPeerState(std::span<std::uint8_t, 24>(buffer, 24), kPeerLeft, 513)),
                     concat({hex("50 02 00 01 02"), zeros(19)})});
    cases.push_back({"silence", built(buildServerVoice(std::span<std::uint8_t, 1024>(buffer, 1024), 0x41, 7, 513, {})),
                     concat({hex("41 07 00 01 02 00 00 00"), zeros(16)})});
    const std::uint8_t packet[] = {0xAA, 0xBB, 0xCC};
    cases.push_back({"opus", built(buildOpusVoice(std::span<std::uint8_t, kOpusDatagramMaxBytes>(buffer, kOpusDatagramMaxBytes), 9, 0, packet)),
                     concat({hex("4F 09 00 00 00 03"), zeros(18), hex("AA BB CC")})});
    cases.push_back({"speech quit", built(buildSpeechQuit(std::span<std::uint8_t, 1>(buffer, 1))), hex("FF")});
    cases.push_back({"speech empty", built(buildSpeechText(std::span<std::uint8_t, 201>(buffer, 201), "")), hex("01")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.got, c.want);
    }
}

TEST(Datagrams, VoiceIsAlways1024BytesWithItsHeader)
{
    std::int16_t block[kVoiceBlockValues];
    for (std::size_t i = 0; i < kVoiceBlockValues; ++i)
        block[i] = static_cast<std::int16_t>(i * 37 - 9000);
    std::uint8_t d[kVoiceDatagramBytes];
    std::memset(d, 0xEE, sizeof d);
    ASSERT_EQ(buildVoice(d, 255, 19704, block), 1024u);
    EXPECT_EQ(Bytes(d, d + 24), concat({hex("41 FF 00 F8 4C 00 4E"), text("WIN-APP-Radio"), zeros(4)}));
    EXPECT_EQ(std::memcmp(d + 24, block, 1000), 0);
}

TEST(Datagrams, ServerVoiceWithSamplesCarriesTheBlock)
{
    std::uint8_t pcm[kVoicePayloadBytes];
    for (std::size_t i = 0; i < sizeof pcm; ++i)
        pcm[i] = static_cast<std::uint8_t>(i);
    std::uint8_t d[kVoiceDatagramBytes];
    ASSERT_EQ(buildServerVoice(d, 0x42, 3, 19704, pcm), 1024u);
    ReceivedVoice v;
    ASSERT_TRUE(parseReceivedVoice(d, v));
    EXPECT_EQ(v.type, 0x42);
    EXPECT_EQ(v.sequence, 3);
    EXPECT_EQ(v.talkerId, 19704);
    EXPECT_EQ(v.contentFlag, 1);
    ASSERT_EQ(v.payloadAvailable, 1000u);
    EXPECT_EQ(std::memcmp(v.payload, pcm, 1000), 0);
}

TEST(Datagrams, ShortDatagramsReadNothingPastTheirEnd)
{
    // Each prefix of a full datagram: fields beyond the prefix read as zero, and the payload
    // pointer never points past the span (ASan checks the reads).
    std::uint8_t full[kVoiceDatagramBytes];
    std::memset(full, 0x5A, sizeof full);
    full[0] = 0x4F;
    struct Case {
        std::size_t length;
        std::uint16_t talker;
        std::uint8_t opusLength;
        std::size_t payloadAvailable;
    };
    const Case cases[] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {4, 0x5A, 0, 0}, {5, 0x5A5A, 0, 0}, {6, 0x5A5A, 0x5A, 0},
                          {24, 0x5A5A, 0x5A, 0}, {25, 0x5A5A, 0x5A, 1}, {1024, 0x5A5A, 0x5A, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<std::uint8_t> exact(full, full + c.length);  // heap copy of exactly that size
        ReceivedVoice v;
        parseReceivedVoice(exact, v);
        EXPECT_EQ(v.talkerId, c.talker);
        EXPECT_EQ(v.opusLength, c.opusLength);
        EXPECT_EQ(v.payloadAvailable, c.payloadAvailable);
        EXPECT_EQ(v.payload != nullptr, c.payloadAvailable > 0);
    }
}

TEST(Datagrams, ListReplyParsing)
{
    struct Case {
        const char* name;
        Bytes datagram;
        bool ok;
        int channel, count, read;
    };
    const Case cases[] = {
        {"two", hex("4C 04 02 01 02 F8 4C"), true, 4, 2, 2},
        {"count larger than what arrived", hex("4C 04 05 01 02 F8"), true, 4, 5, 1},
        {"negative count", hex("4C 01 FF 01 02"), true, 1, -1, 0},
        {"count over 16 reads 16", concat({hex("4C 00 7F"), zeros(64)}), true, 0, 127, 16},
        {"too short", hex("4C 04"), false, 0, 0, 0},
        {"other type", hex("41 04 02 01 02 F8 4C"), false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListReply r;
        EXPECT_EQ(parseListReply(c.datagram, r), c.ok);
        EXPECT_EQ(r.channelIndex, c.channel);
        EXPECT_EQ(r.count, c.count);
        EXPECT_EQ(r.accountsRead, c.read);
    }
    ListReply r;
    parseListReply(hex("4C 04 02 01 02 F8 4C"), r);
    EXPECT_EQ(r.accounts[0], 513);
    EXPECT_EQ(r.accounts[1], 19704);
}

TEST(Datagrams, ServerSideClassification)
{
    std::uint8_t voice[kVoiceDatagramBytes];
    buildVoice(voice, 1, 513, nullptr);
    std::uint8_t presence[kPresenceBufferBytes];
    const std::size_t n = buildPresence(presence, PresenceVariant::N, 513, "", "0.7.9");
    struct Case {
        const char* name;
        Bytes datagram;
        ClientDatagramKind kind;
    };
    const Case cases[] = {
        {"hello", hex("54 2E 57 49 4E 00 00 00 00"), ClientDatagramKind::Hello},
        {"presence", Bytes(presence, presence + n), ClientDatagramKind::Presence},
        {"voice", Bytes(voice, voice + 1024), ClientDatagramKind::Voice},
        {"voice cut short", Bytes(voice, voice + 1023), ClientDatagramKind::Malformed},
        {"presence too short", Bytes(presence, presence + 10), ClientDatagramKind::Malformed},
        {"presence unknown variant", concat({hex("52 2E 00 01 02 00 00 00 00 5A"), zeros(4)}), ClientDatagramKind::Malformed},
        {"empty", {}, ClientDatagramKind::Malformed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ClientDatagram d = parseClientDatagram(c.datagram);
        EXPECT_EQ(d.kind, c.kind);
        if (d.kind == ClientDatagramKind::Presence || d.kind == ClientDatagramKind::Voice) {
            EXPECT_EQ(d.accountNumber, 513);
        }
    }
    EXPECT_EQ(parseControlRequest(hex("4C 00 00")), ControlRequestKind::List);
    EXPECT_EQ(parseControlRequest(hex("41 01 00")), ControlRequestKind::Status);
    EXPECT_EQ(parseControlRequest(hex("41 01")), ControlRequestKind::Malformed);
    EXPECT_EQ(parseStatusReply(hex("41 01 F0")), 240);
    EXPECT_EQ(parseStatusReply(hex("41 01")), -1);
}

TEST(SpeechText, CutAt200BytesAndConvertedToTheAnsiCodePage)
{
    std::uint8_t d[kSpeechDatagramMaxBytes];
    const std::string longText(250, 'x');
    EXPECT_EQ(buildSpeechText(d, longText.c_str()), 201u);
    EXPECT_EQ(d[0], 0x01);
    const std::string greeting =
        utf8ToWindows1252("Bonjour. Le synthétiseur est actif. Sur la clé droite de la souris");
    EXPECT_EQ(greeting.size(), 66u);
    EXPECT_EQ(buildSpeechText(d, greeting.c_str()), 67u);
    EXPECT_EQ(static_cast<std::uint8_t>(greeting[17]), 0xE9);  // é
    EXPECT_EQ(utf8ToWindows1252("€ – ✓"), std::string("\x80 \x96 ?"));
    EXPECT_EQ(utf8ToWindows1252("caf\xE9"), std::string("caf\xE9"));  // already single-byte: kept
    EXPECT_EQ(parseSpeechCommand(hex("54 52")), 2);
    EXPECT_EQ(parseSpeechCommand(hex("52")), 1);
    EXPECT_EQ(parseSpeechCommand(hex("58")), 0);
    EXPECT_EQ(parseSpeechCommand({}), 0);
}

TEST(Channels, PortsAndNames)
{
    EXPECT_STREQ(channelName(1), "Accueil Général");
    EXPECT_STREQ(channelName(9), "Musique en stéréo");
    EXPECT_EQ(channelName(11), nullptr);
    EXPECT_EQ(channelIndexOfPort(30010), 10);
    EXPECT_EQ(channelIndexOfPort(29999), -1);
    EXPECT_EQ(channelIndexOfControlPort(31003), 3);
    EXPECT_EQ(channelIndexOfControlPort(30003), -1);
}

}  // namespace
}  // namespace tamovox
