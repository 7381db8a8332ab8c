// The cut list on arbitrary bytes: a list or a refusal, never a crash nor a
// hang; and any list it reads holds points strictly inside the data, rising,
// with titles of valid UTF-8 that are never empty.
// The first 4 bytes choose the source: its rate, block align and length.

#include <cstdint>
#include <string>
#include <string_view>

#include "album/utf8.h"
#include "cutlist/cut_list.h"
#include "fuzz/fuzz_support.h"
#include "wave/errors.h"

namespace {

void RequireTitle(const std::optional<std::string>& title) {
  if (!title) return;
  if (title->empty()) mv::fuzz::Fail("an empty title");
  for (std::size_t i = 0; i < title->size();) {
    const std::size_t n = mv::utf8::CharLength(*title, i);
    if (n == 0) mv::fuzz::Fail("a title not UTF-8: " + *title);
    i += n;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mv;
  if (size < 4) return 0;
  constexpr int32_t kRates[] = {1, 3, 8000, 11025, 22050, 44100, 48000, 96000, 192000, 384000};
  const CutListSource source{kRates[data[0] % std::size(kRates)], (int64_t{data[2]} << 8 | data[3]) * 997,
                             1 + data[1] % 16};
  const std::string_view text(reinterpret_cast<const char*>(data + 4), size - 4);
  CutList list;
  try {
    list = ParseCutList(text, source);
  } catch (const Error&) {
    return 0;
  }
  RequireTitle(list.firstTitle);
  int64_t previous = 0;
  for (const CutPoint& p : list.points) {
    if (p.frame <= previous || p.frame >= source.frames) fuzz::Fail("a point out of order or outside the data");
    if (p.line < 1) fuzz::Fail("a point without its line");
    RequireTitle(p.title);
    previous = p.frame;
  }
  return 0;
}
