// Text conversion for the speech companion, whose datagrams carry Windows-1252 text.
#pragma once

#include <string>
#include <string_view>

namespace tamovox {

// UTF-8 to Windows-1252. A character the code page lacks becomes '?'; a byte that does not
// start valid UTF-8 is kept as it is, so a text already in Windows-1252 passes unchanged.
std::string speechTextToAnsi(std::string_view utf8);

}  // namespace tamovox
