// Copies of text into the fixed-size fields of the shared state.
#pragma once

#include <cstddef>
#include <string_view>

namespace tamovox {

// Copies src into dst (capacity bytes, terminator included), cutting before a UTF-8
// sequence that would not fit whole. Returns the number of bytes copied.
std::size_t copyTextField(char* dst, std::size_t capacity, std::string_view src);

// Length of the longest prefix of text of at most maxBytes bytes that ends on a character boundary.
std::size_t utf8BoundaryPrefix(std::string_view text, std::size_t maxBytes);

}  // namespace tamovox
