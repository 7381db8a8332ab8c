#include "album/list_text.h"

#include <algorithm>

#include "album/utf8.h"
#include "wave/errors.h"
#include "wave/file.h"

namespace mv {
namespace {

constexpr int64_t kMaxListBytes = int64_t{1} << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string ShownLine(std::string_view line) {
  line = TrimBlanks(line);
  std::string out;
  std::size_t i = 0;
  for (int chars = 0; i < line.size() && chars < 60; ++chars) {
    const std::size_t n = utf8::CharLength(line, i);
    if (n == 0 || utf8::IsControl(utf8::Decode(line, i, n)))
      out += '?';
    else
      out.append(line.substr(i, n));
    i += std::max<std::size_t>(n, 1);
  }
  if (i < line.size()) out += "...";
  return out;
}

void RefuseLine(const ListLine& line, ListKind kind) {
  const std::string number = std::to_string(line.number), shown = ShownLine(line.text);
  refuse(kind == ListKind::Tracks ? format(msg::kTracksUnreadableLine, number, shown)
                                  : format(msg::kCutsUnreadableLine, number, shown));
}

std::vector<ListLine> SplitListLines(std::string_view text, ListKind kind) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<ListLine> lines;
  for (std::size_t at = 0;;) {
    const std::size_t end = text.find('\n', at);
    std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back({line, static_cast<int32_t>(lines.size() + 1)});
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  for (const ListLine& line : lines)
    for (std::size_t i = 0; i < line.text.size();) {
      const std::size_t n = utf8::CharLength(line.text, i);
      if (n == 0) {
        const std::string number = std::to_string(line.number);
        refuse(kind == ListKind::Tracks ? format(msg::kTracksNotUtf8, number) : format(msg::kCutsNotUtf8, number));
      }
      const char32_t c = utf8::Decode(line.text, i, n);
      if (utf8::IsControl(c) && c != U'\t') RefuseLine(line, kind);
      i += n;
    }
  return lines;
}

std::string ReadListFile(const std::string& path, ListKind kind) {
  File file = File::openRead(path);
  const int64_t size = file.size();
  if (size > kMaxListBytes)
    refuse(kind == ListKind::Tracks ? format(msg::kTracksTooLarge, path) : format(msg::kCutsTooLarge, path));
  std::string text(static_cast<std::size_t>(size), '\0');
  file.readFull(text.data(), text.size());
  return text;
}

}  // namespace mv
