// Windows-1252, the single-byte code page of datagram texts and of the login name, to and from
// UTF-8. Pure; any thread. Shared by the client, the web server and the speech companion.
#pragma once

#include <string>
#include <string_view>

namespace tamovox {

// Bytes the code page leaves undefined (0x81, 0x8D, ...) become '?'.
std::string windows1252ToUtf8(std::string_view text);

// A character the code page lacks becomes '?'; a byte that does not start valid UTF-8 is kept
// as it is, so a text already in Windows-1252 passes unchanged.
std::string utf8ToWindows1252(std::string_view text);

}  // namespace tamovox
