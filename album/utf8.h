#pragma once
// UTF-8 as the track lists and the file names need it: where a valid
// character starts and ends, and which characters are controls.

#include <cstddef>
#include <string_view>

namespace mv::utf8 {

// The length (1 to 4) of the valid UTF-8 character at i, or 0: a stray or
// missing continuation byte, an overlong form, a surrogate, or a value past
// U+10FFFF.
std::size_t CharLength(std::string_view s, std::size_t i);
// The code point of the valid character of that length at i.
char32_t Decode(std::string_view s, std::size_t i, std::size_t length);
// C0, DEL and C1: never wanted in a title or a file name.
constexpr bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
// The longest prefix of at most limit bytes that ends on a character
// boundary of the valid text s.
std::string_view CutAt(std::string_view s, std::size_t limit);

}  // namespace mv::utf8
