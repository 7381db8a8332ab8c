// The format checks and the data locations on arbitrary bytes: a clear refusal
// or a sane answer, never a crash.

#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/format.h"
#include "wave/header.h"
#include "wave/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mv;
  MemoryStream in(std::vector<uint8_t>(data, data + size));
  try {
    const int position = ReadWaveFormat(in);
    if (position < 0 || position >= kFormatCount) fuzz::Fail("position out of the lists");
  } catch (const Error&) {
  }
  try {
    const DataLocation at = LocateWaveData(in);
    if (at.size < 0 || at.offset < 12 || in.position() != at.offset) fuzz::Fail("odd data location");
  } catch (const Error&) {
  }
  try {
    ReadHeaderFormat(in);
  } catch (const Error&) {
  }
  // Beyond the lists: RF64, Wave64 and every readable format.
  try {
    const WaveLayout w = ReadWaveLayout(in);
    if (!IsReadableFormat(w.format) || w.dataBytes < 0 || w.dataOffset < 12) fuzz::Fail("odd layout");
    const CheckedFormat c = CheckWaveFormat(in);
    if (c.position < 0 || c.position > kExtendedPosition) fuzz::Fail("position out of range");
  } catch (const Error&) {
  }
  return 0;
}
