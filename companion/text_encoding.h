// Windows-1252, the single-byte encoding of the companion's datagram texts, to and from UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace companion {

std::string cp1252ToUtf8(std::string_view text);
// Characters without a Windows-1252 form become '?'.
std::string utf8ToCp1252(std::string_view text);

}  // namespace companion
