#include "core/text_field.h"

#include <cstring>

namespace tamovox {

std::size_t utf8BoundaryPrefix(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text.size();
    std::size_t cut = maxBytes;
    // Step back over continuation bytes so the cut lands before a lead byte.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

std::size_t copyTextField(char* dst, std::size_t capacity, std::string_view src)
{
    if (!dst || capacity == 0)
        return 0;
    const std::size_t n = utf8BoundaryPrefix(src, capacity - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
    return n;
}

}  // namespace tamovox
