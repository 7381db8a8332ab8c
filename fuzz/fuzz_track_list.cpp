// The track list on arbitrary bytes: a list or a refusal, never a crash nor
// a hang; and the names of any list it reads are names Linux takes, one
// file each.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "album/naming.h"
#include "album/track_list.h"
#include "album/utf8.h"
#include "fuzz/fuzz_support.h"
#include "wave/errors.h"

namespace {

void RequireGoodNames(const std::vector<std::string>& names, std::size_t count) {
  if (names.size() != count) mv::fuzz::Fail("a name missing");
  std::set<std::string> seen;
  for (const std::string& name : names) {
    if (name.empty() || name.size() > mv::kMaxNameBytes) mv::fuzz::Fail("name empty or too long: " + name);
    if (!seen.insert(name).second) mv::fuzz::Fail("two pieces named " + name);
    for (std::size_t i = 0; i < name.size();) {
      const std::size_t n = mv::utf8::CharLength(name, i);
      if (n == 0) mv::fuzz::Fail("name not UTF-8: " + name);
      const char32_t c = mv::utf8::Decode(name, i, n);
      if (c == U'/' || mv::utf8::IsControl(c)) mv::fuzz::Fail("slash or control in " + name);
      i += n;
    }
    if (name.starts_with('.') || name.starts_with(' ')) mv::fuzz::Fail("leading dot or blank: " + name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mv;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TrackList list;
  try {
    list = ParseTrackList(text);
  } catch (const Error&) {
    return 0;
  }
  std::vector<NameFields> pieces;
  for (std::size_t i = 0; i < list.tracks.size(); ++i) {
    const Track& t = list.tracks[i];
    if (t.seconds && !(*t.seconds >= 0)) fuzz::Fail("negative duration");
    pieces.push_back({static_cast<int32_t>(i + 1), static_cast<int32_t>(list.tracks.size()), t.position, t.title,
                      t.artist, list.album, ""});
  }
  RequireGoodNames(PieceFileNames(kDefaultNamePattern, pieces, ".flac"), pieces.size());
  // Every field, and the input itself as the year: bytes that are not UTF-8.
  for (NameFields& p : pieces) p.year = std::string(text.substr(0, 300));
  RequireGoodNames(PieceFileNames("{n}{N}{pos}{title}{artist}{album}{year}", pieces, ".wav"), pieces.size());
  return 0;
}
