// A FLAC source on arbitrary bytes: a clear refusal or the decode message,
// or a layout the engines can take and reads that keep to it; never a crash.

#include <cstdint>
#include <memory>
#include <vector>

#include "flac/flac_source.h"
#include "fuzz/fuzz_support.h"
#include "wave/errors.h"
#include "wave/file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mv;
  auto in = std::make_unique<MemoryStream>(std::vector<uint8_t>(data, data + size));
  const bool flac = IsFlacStream(*in);
  if (in->position() != 0) fuzz::Fail("the probe moved the stream");
  try {
    const auto source = FlacSource::open(std::move(in), "fuzz.flac");
    if (!flac) fuzz::Fail("opened what the probe said is no FLAC stream");
    const FlacStreamInfo& info = source->info();
    const PcmFormat& f = info.format;
    if (f.channels < 1 || f.channels > 2 || info.bits < 4 || info.bits > 32 ||
        f.bitsPerSample != (info.bits + 7) / 8 * 8 || f.isFloat() || info.frames < 0)
      fuzz::Fail("odd stream info");
    if (source->size() != info.frames * f.frameBytes()) fuzz::Fail("size is not frames times frame bytes");
    std::vector<uint8_t> buf(3001);
    for (int pass = 0; pass < 2; ++pass) {
      try {
        // A claimed total far past the bytes ends at the first frame that
        // is not there.
        for (int64_t got = 0;;) {
          const std::size_t n = source->read(buf.data(), buf.size());
          got += static_cast<int64_t>(n);
          if (n > buf.size() || source->position() != got) fuzz::Fail("read past what was asked");
          if (n < buf.size()) {
            // What was decoded before a break comes first; the next read
            // says why.
            if (got != source->size()) {
              try {
                source->read(buf.data(), buf.size());
              } catch (const Error&) {
                break;
              }
              fuzz::Fail("short read before the end, and no error after it");
            }
            break;
          }
        }
      } catch (const Error&) {
      }
      // Back to the start, or to a frame in the middle, and on again.
      source->seek(pass == 0 ? 0 : source->size() / f.frameBytes() / 2 * f.frameBytes());
    }
  } catch (const Error&) {
  }
  return 0;
}
