#include "album/utf8.h"

namespace mv::utf8 {

std::size_t CharLength(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = at(i);
  if (b < 0x80) return 1;
  std::size_t n;
  char32_t min;
  if ((b & 0xE0) == 0xC0) {
    n = 2, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() - i < n) return 0;
  for (std::size_t k = 1; k < n; ++k)
    if ((at(i + k) & 0xC0) != 0x80) return 0;
  const char32_t c = Decode(s, i, n);
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return n;
}

char32_t Decode(std::string_view s, std::size_t i, std::size_t length) {
  static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t c = static_cast<unsigned char>(s[i]) & kLeadBits[length];
  for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return c;
}

std::string_view CutAt(std::string_view s, std::size_t limit) {
  if (s.size() <= limit) return s;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  return s.substr(0, end);
}

}  // namespace mv::utf8
