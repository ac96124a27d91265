// The pure web formats of the client: tags, the entity, the lookup reply, paths, colours.
#include "web/http_client.h"
#include "web/web_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tamovox {
namespace {

TEST(TagExtraction, TakesTheFirstElementThatFits)
{
    struct Case {
        const char* label;
        const char* text;
        const char* tag;
        std::size_t capacity;
        bool found;
        const char* value;  // dest afterwards ("old" when unchanged)
    } cases[] = {
        {"plain", "<PRENOM>Anne</PRENOM>", "PRENOM", 64, true, "Anne"},
        {"text around, any order", "x<VILLE>Lyon</VILLE><PRENOM>Léa</PRENOM>y", "PRENOM", 64, true, "Léa"},
        {"first occurrence counts", "<A>1</A><A>2</A>", "A", 64, true, "1"},
        {"empty value", "<A></A>", "A", 64, true, ""},
        {"missing opening", "PRENOM>Anne</PRENOM>", "PRENOM", 64, false, "old"},
        {"missing closing", "<PRENOM>Anne", "PRENOM", 64, false, "old"},
        {"closing before opening only", "</VILLE>x<VILLE>Lyon", "VILLE", 64, false, "old"},
        {"case-sensitive", "<prenom>Anne</prenom>", "PRENOM", 64, false, "old"},
        {"63 bytes fit in 64", nullptr, "P", 64, true, nullptr},
        {"64 bytes do not", nullptr, "P", 64, false, "old"},
        {"tag name of 64 characters", "<x>", "0123456789012345678901234567890123456789012345678901234567890123", 64, false, "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string text = c.text ? c.text : "";
        std::string want = c.value ? c.value : "";
        if (!c.text) {
            const std::size_t n = std::strcmp(c.label, "63 bytes fit in 64") == 0 ? 63 : 64;
            want = c.found ? std::string(n, 'v') : "old";
            text = "<P>" + std::string(n, 'v') + "</P>";
        }
        char dest[128] = "old";
        EXPECT_EQ(extractTag(text, c.tag, dest, c.capacity), c.found);
        EXPECT_EQ(std::string(dest), want);
    }
}

TEST(EntityDecoding, OnlyTheEacuteEntity)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"Ren&#xE9;", "Ren\xC3\xA9"},
        {"&#xE9;&#xE9;", "\xC3\xA9\xC3\xA9"},
        {"&#xe9;", "&#xe9;"},
        {"&amp;&#xE8;", "&amp;&#xE8;"},
        {"&#xE9", "&#xE9"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        char text[64];
        std::snprintf(text, sizeof text, "%s", c.in);
        decodeEntities(text);
        EXPECT_STREQ(text, c.out);
    }
}

std::vector<std::uint8_t> reply(int status, const char* digits, const char* name, const char* line1, const char* line2)
{
    std::vector<std::uint8_t> bytes(160, 0);
    bytes[2] = static_cast<std::uint8_t>(status);
    std::memcpy(bytes.data() + 34, digits, std::strlen(digits));
    std::memcpy(bytes.data() + 40, name, std::strlen(name));
    std::memcpy(bytes.data() + 98, line1, std::strlen(line1));
    std::memcpy(bytes.data() + 130, line2, std::strlen(line2));
    return bytes;
}

TEST(LookupReplyParse, ReadsFixedOffsetsAndZeroPastTheBody)
{
    const auto full = reply(230, "20001", "abcdefghijklmnopqrstuvwxyz", "line one", "line two");
    struct Case {
        const char* label;
        std::size_t length;  // bytes of full given as the body
        int status;
        int number;
        const char* name;
        const char* line1;
        const char* line2;
    } cases[] = {
        {"whole reply", 160, 230, 20001, "abcdefghijklmnopqrstuvwx", "line one", "line two"},
        {"empty body", 0, 0, 0, "", "", ""},
        {"only the status", 3, 230, 0, "", "", ""},
        {"cut inside the number", 37, 230, 200, "", "", ""},
        {"cut inside the name", 45, 230, 20001, "abcde", "", ""},
        {"cut before the second line", 130, 230, 20001, "abcdefghijklmnopqrstuvwx", "line one", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const LookupReply r = parseLookupReply(std::span(full.data(), c.length));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.number, c.number);
        EXPECT_STREQ(r.name, c.name);
        EXPECT_STREQ(r.line1, c.line1);
        EXPECT_STREQ(r.line2, c.line2);
    }
    const auto spaced = reply(0, "  812", "x", "", "");
    EXPECT_EQ(parseLookupReply(spaced).number, 812) << "leading blanks accepted";
    const auto guest = reply(200, "19704", "", "29 bytes exactly, no more: ab", "second");
    EXPECT_EQ(joinLookupLines(parseLookupReply(guest)), "29 bytes exactly, no more: absecond");
}

TEST(ImagePath, OneSlashAtTheJoin)
{
    struct Case {
        const char* base;
        int number;
        int kind;
        const char* path;
    } cases[] = {
        {"/users/", 812, 1, "/users/images.php?F=812&N=1"},
        {"/echange/", 3, 1, "/echange/pc_img_share_get.php?F=3&N=1"},
        {"/echange/", 3, 3, "/echange/pc_img_share_post.php"},
        {"/usb/", 0, 1, "/usb/usb_black.png"},
        {"/usb/", 99, 2, "/usb/usb_green.png"},
        {"/usb/", 0, 3, "/usb/usb_red.png"},
        {"/users/", -5, 1, "/users/images.php?F=-5&N=1"},
        {"/usb/", 0, 4, ""},
        {"/users", 1, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " " + std::to_string(c.kind));
        EXPECT_EQ(buildImagePath(c.base, c.number, c.kind), c.path);
    }
    EXPECT_EQ(lookupPath("0000000305441741", "0.7.9"), "/Hw7rTq2Lmc.php?S=2&I=0000000305441741&V=QUENTAR 0.7.9&A=&F=");
    EXPECT_EQ(escapeRequestPath(lookupPath("0000000305441741", "0.7.9")),
              "/Hw7rTq2Lmc.php?S=2&I=0000000305441741&V=QUENTAR%200.7.9&A=&F=");
}

TEST(HexColour, ParsesLikeStrtolBase16)
{
    struct Case {
        const char* text;
        std::uint32_t colour;
    } cases[] = {
        {"FF0000", 0xFF0000}, {"  0x00ff00", 0x00FF00}, {"+12", 0x12}, {"-1", 0xFFFFFFFF},
        {"12zz", 0x12},       {"zz", 0},                 {"", 0},        {"0x", 0},
        {"FFFFFFFFFF", 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseHexColour(c.text), c.colour);
    }
}

TEST(WebLamp, GreenForFourThenBlueForFour)
{
    int count = 0;
    std::vector<int> states;
    for (int i = 0; i < 10; ++i) {
        states.push_back(webLampStateFor(count));
        count = nextWebLampCount(count);
    }
    EXPECT_EQ(states, (std::vector<int>{3, 3, 3, 3, 5, 5, 5, 5, 3, 3}));
}

TEST(BodyStore, StopsBeforeTheChunkThatWouldOverflow)
{
    std::vector<char> buffer(11, 'o');
    std::size_t total = 0;
    EXPECT_TRUE(storeBodyChunk(buffer.data(), 10, total, "abcdef", 6));
    EXPECT_FALSE(storeBodyChunk(buffer.data(), 10, total, "ghijk", 5));
    EXPECT_EQ(total, 6u);
    EXPECT_TRUE(storeBodyChunk(buffer.data(), 10, total, "ghij", 4));
    terminateBody(buffer.data(), 10, total);
    EXPECT_STREQ(buffer.data(), "abcdefghij") << "a body filling the buffer is still terminated";
}

TEST(Windows1252, NameTravelsBothWays)
{
    EXPECT_EQ(windows1252ToUtf8("Ren\xE9 \x80"), "René €");
    EXPECT_EQ(utf8ToWindows1252("René €"), "Ren\xE9 \x80");
    EXPECT_EQ(utf8ToWindows1252("Ż"), "?");
}

}  // namespace
}  // namespace tamovox
