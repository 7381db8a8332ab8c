#include "wave/errors.h"

namespace mv {

std::string detail::fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (std::size_t at = 0;;) {
    const std::size_t mark = arg == args.end() ? std::string_view::npos : pattern.find("%s", at);
    if (mark == std::string_view::npos) return out.append(pattern.substr(at));
    out.append(pattern.substr(at, mark - at)).append(*arg++);
    at = mark + 2;
  }
}

std::string withReportDot(std::string text) {
  if (text.empty()) return text;
  // Compare the last character, not its last byte: step back over UTF-8
  // continuation bytes. Any multi-byte character sorts after ".".
  std::size_t i = text.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  unsigned char lead = static_cast<unsigned char>(text[i]);
  if (lead >= 0x80 || lead > '.') text += '.';
  return text;
}

std::string Error::shownText() const {
  return general() ? withReportDot(text()) : text();
}

void raise(std::string_view text) { throw Error(Error::Kind::General, std::string(text)); }
void raise(std::string_view pattern, std::string_view arg) {
  throw Error(Error::Kind::General, format(pattern, arg));
}
void refuse(std::string_view text) { throw Error(Error::Kind::Box, std::string(text)); }

}  // namespace mv
