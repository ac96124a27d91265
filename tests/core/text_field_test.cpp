// Copies into fixed text fields never split a UTF-8 sequence.
#include "core/text_field.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(TextField, CutsAtCharacterBoundary)
{
    struct Case {
        const char* text;
        std::size_t capacity;
        const char* expected;
    } cases[] = {
        {"abc", 10, "abc"},
        {"abcdef", 4, "abc"},
        {"caf\xC3\xA9", 6, "caf\xC3\xA9"},  // é fits exactly with the terminator
        {"caf\xC3\xA9", 5, "caf"},          // half an é is dropped, not kept
        {"\xE2\x82\xAC\xE2\x82\xAC", 6, "\xE2\x82\xAC"},  // two euro signs, room for one and a half
        {"", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char field[16];
        std::memset(field, 'x', sizeof field);
        tamovox::copyTextField(field, c.capacity, c.text);
        EXPECT_STREQ(field, c.expected);
    }
}

}  // namespace
