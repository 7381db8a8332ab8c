#include "wave/errors.h"

namespace mv {

std::string format(std::string_view pattern, std::string_view arg) {
  std::string out(pattern);
  if (auto at = out.find("%s"); at != std::string::npos) out.replace(at, 2, arg);
  return out;
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
