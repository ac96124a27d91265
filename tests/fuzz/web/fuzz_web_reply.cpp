// Outside bytes as the client reads them: the lookup reply layout and the tag texts.
#include "web/web_text.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const tamovox::LookupReply reply = tamovox::parseLookupReply({data, size});
    (void)tamovox::joinLookupLines(reply);
    (void)tamovox::windows1252ToUtf8(reply.name);
    const std::string_view text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    for (const char* tag : {"PRENOM", "VILLE", "PHRASE", "BACKGROUND"}) {
        char field[64];
        if (tamovox::extractTag(text, tag, field, sizeof field)) {
            tamovox::decodeEntities(field);
            (void)tamovox::parseHexColour(field);
        }
    }
    return 0;
}
