#include "wave/checked.h"

#include <cctype>

namespace mv {

int32_t toInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  if (i == text.size()) raise(msg::kNotInteger, text);
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    unsigned char ch = static_cast<unsigned char>(text[i]);
    int digit;
    if (std::isdigit(ch))
      digit = ch - '0';
    else if (base == 16 && std::isxdigit(ch))
      digit = std::tolower(ch) - 'a' + 10;
    else
      raise(msg::kNotInteger, text);
    value = value * base + digit;
    if (value > int64_t{1} << 32) raise(msg::kNotInteger, text);
  }
  if (negative) value = -value;
  if (!std::in_range<int32_t>(value)) raise(msg::kNotInteger, text);
  return static_cast<int32_t>(value);
}

}  // namespace mv
