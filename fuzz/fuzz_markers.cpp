// A source's markers on arbitrary bytes: a cut list or a refusal, never a
// crash nor a hang, and the points it gives lie strictly inside the data,
// rising.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "cutlist/markers.h"
#include "fuzz/fuzz_support.h"
#include "wave/errors.h"
#include "wave/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mv;
  MemoryStream in(std::vector<uint8_t>(data, data + size));
  CutList list;
  int64_t frames = 0;
  try {
    list = ReadMarkers(in);
    const WaveLayout layout = ReadWaveLayout(in);
    frames = std::clamp<int64_t>(static_cast<int64_t>(size) - layout.dataOffset, 0, layout.dataBytes) /
             layout.format.frameBytes();
  } catch (const Error&) {
    return 0;
  }
  int64_t previous = 0;
  for (const CutPoint& p : list.points) {
    if (p.frame <= previous || p.frame >= frames) fuzz::Fail("a marker out of order or outside the data");
    if (p.title && p.title->empty()) fuzz::Fail("an empty title");
    previous = p.frame;
  }
  return 0;
}
