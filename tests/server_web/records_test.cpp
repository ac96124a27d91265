// The server's byte formats: what it sends must read back through the client's parsers, and
// the records it receives are refused before anything is stored when they are malformed.
#include "web/records.h"
#include "web/web_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tamovox::web {
namespace {

void putInt32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::int32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}

std::vector<std::uint8_t> uploadRecord(std::int32_t size, const char* name, std::int32_t nameLength, std::int32_t channel)
{
    std::vector<std::uint8_t> record(kUploadRecordBytes, 0);
    std::memcpy(record.data() + kUploadDataBytes, name, std::strlen(name));
    putInt32(record, kUploadDataBytes + 256, size);
    putInt32(record, kUploadDataBytes + 260, nameLength);
    putInt32(record, kUploadDataBytes + 264, channel);
    return record;
}

TEST(LookupReply, ReadsBackThroughTheClientLayout)
{
    struct Case {
        const char* label;
        bool known;
        int status;
        int number;
        const char* name;
        int wantStatus;
        int wantNumber;
        const char* wantName;  // Windows-1252 bytes
    } cases[] = {
        {"unknown PC is the guest", false, 0, 0, "", 200, 19704, "Invit\xE9"},
        {"normal login", true, 0, 20001, "René Dupont", 0, 20001, "Ren\xE9 Dupont"},
        {"update required", true, 220, 20002, "A", 220, 20002, "A"},
        {"refused", true, 230, 20003, "B", 230, 20003, "B"},
        {"closed", true, 240, 65535, "C", 240, 65535, "C"},
        {"24-character name fills the field", true, 0, 20004, "abcdefghijklmnopqrstuvwx", 0, 20004, "abcdefghijklmnopqrstuvwx"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto bytes = lookupReplyFor(c.known, c.status, c.number, c.name);
        ASSERT_EQ(bytes.size(), kLookupReplyBytes);
        const LookupReply reply = parseLookupReply(bytes);
        EXPECT_EQ(reply.status, c.wantStatus);
        EXPECT_EQ(reply.number, c.wantNumber);
        EXPECT_STREQ(reply.name, c.wantName);
        if (c.wantStatus != 0) {
            const std::string message = joinLookupLines(reply);
            EXPECT_LE(message.size(), 58u);
            EXPECT_NE(message.find('\n'), std::string::npos) << "the two lines stay apart when joined";
        }
    }
}

TEST(UploadRecordParse, RefusesInconsistentRecords)
{
    struct Case {
        const char* label;
        std::vector<std::uint8_t> body;
        bool accepted;
    } cases[] = {
        {"good", uploadRecord(10, "photo.png", 9, 3), true},
        {"short body", std::vector<std::uint8_t>(1000, 0), false},
        {"one byte too many", [] { auto r = uploadRecord(10, "a.png", 5, 3); r.push_back(0); return r; }(), false},
        {"size zero", uploadRecord(0, "a.png", 5, 3), false},
        {"size past the data area", uploadRecord(10'000'000, "a.png", 5, 3), false},
        {"negative size", uploadRecord(-5, "a.png", 5, 3), false},
        {"name length disagrees", uploadRecord(10, "a.png", 4, 3), false},
        {"name length huge", uploadRecord(10, "a.png", 100000, 3), false},
        {"channel 0 has no shared picture", uploadRecord(10, "a.png", 5, 0), false},
        {"channel 11", uploadRecord(10, "a.png", 5, 11), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const UploadParse parsed = parseUploadRecord(c.body);
        EXPECT_EQ(parsed.record.has_value(), c.accepted) << parsed.error;
        if (parsed.record) {  // the good case
            EXPECT_EQ(parsed.record->data.size(), 10u);
            EXPECT_EQ(parsed.record->name, "photo.png");
            EXPECT_EQ(parsed.record->channel, 3);
        }
    }
    // A path in the name keeps only its last component.
    const UploadParse withPath = parseUploadRecord(uploadRecord(10, "..\\..\\x\\evil.png", 16, 2));
    ASSERT_TRUE(withPath.record);
    EXPECT_EQ(withPath.record->name, "evil.png");
}

TEST(ColourRecordParse, TakesOneRedGreenBlueAccount)
{
    auto record = [](std::int32_t a, std::int32_t r, std::int32_t g, std::int32_t b, std::int32_t n, std::size_t size = 20) {
        std::vector<std::uint8_t> bytes(size < 20 ? 20 : size, 0);
        const std::int32_t v[5] = {a, r, g, b, n};
        for (int i = 0; i < 5; ++i)
            putInt32(bytes, 4 * i, v[i]);
        bytes.resize(size);
        return bytes;
    };
    struct Case {
        const char* label;
        std::vector<std::uint8_t> body;
        bool accepted;
        std::uint32_t colour;
    } cases[] = {
        {"pure green for 812", record(1, 0, 255, 0, 812), true, 0x00FF00},
        {"blue is the high byte", record(1, 0, 0, 255, 20001), true, 0xFF0000},
        {"first field must be 1", record(2, 0, 255, 0, 812), false, 0},
        {"component above 255", record(1, 256, 0, 0, 812), false, 0},
        {"negative component", record(1, -1, 0, 0, 812), false, 0},
        {"account 0", record(1, 1, 2, 3, 0), false, 0},
        {"19 bytes", record(1, 1, 2, 3, 812, 19), false, 0},
        {"24 bytes", record(1, 1, 2, 3, 812, 24), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto parsed = parseColourRecord(c.body);
        ASSERT_EQ(parsed.has_value(), c.accepted);
        if (parsed) {
            EXPECT_EQ(parsed->colourRef, c.colour);
        }
    }
}

TEST(ProfileCheck, RefusesWhatTheClientCouldNotShow)
{
    auto profile = [] {
        Profile p;
        p.machineId = "0000000305441741";
        p.displayName = "René";
        return p;
    };
    struct Case {
        const char* label;
        Profile p;
        bool accepted;
    } cases[] = {
        {"minimal", profile(), true},
        {"machine id of 15 digits", [&] { auto p = profile(); p.machineId = "000000030544174"; return p; }(), false},
        {"machine id with a letter", [&] { auto p = profile(); p.machineId = "000000030544174a"; return p; }(), false},
        {"no name", [&] { auto p = profile(); p.displayName.clear(); return p; }(), false},
        {"name of 25 characters", [&] { auto p = profile(); p.displayName = std::string(25, 'a'); return p; }(), false},
        {"name outside Windows-1252", [&] { auto p = profile(); p.displayName = "Żaneta"; return p; }(), false},
        {"tag in a field", [&] { auto p = profile(); p.city = "</VILLE>x"; return p; }(), false},
        {"control character", [&] { auto p = profile(); p.phrase = "a\nb"; return p; }(), false},
        {"first name of 63 bytes", [&] { auto p = profile(); p.firstName = std::string(63, 'a'); return p; }(), true},
        {"first name of 64 bytes", [&] { auto p = profile(); p.firstName = std::string(64, 'a'); return p; }(), false},
        // Each é travels as a 6-byte entity: 11 of them are 66 bytes.
        {"entities count in the length", [&] { auto p = profile(); for (int i = 0; i < 11; ++i) p.city += "é"; return p; }(), false},
        {"invalid UTF-8", [&] { auto p = profile(); p.city = "\xC3"; return p; }(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(validateProfile(c.p).empty(), c.accepted) << validateProfile(c.p);
    }
}

TEST(ProfileTexts, CarryTheTagsTheClientReads)
{
    Profile p;
    p.firstName = "René";
    p.city = "Québec";
    const std::string xml = buildClientXml(p);
    char first[64] = {};
    ASSERT_TRUE(extractTag(xml, "PRENOM", first, sizeof first));
    decodeEntities(first);
    EXPECT_STREQ(first, "René");
    char background[64] = {};
    ASSERT_TRUE(extractTag(buildParamsXml(0xFF0000), "BACKGROUND", background, sizeof background));
    EXPECT_EQ(parseHexColour(background), 0xFF0000u);
}

}  // namespace
}  // namespace tamovox::web
