// The cut into equal lengths: byte-for-byte copies of the data, P bytes each,
// and one last file with what is left.

#include <algorithm>
#include <memory>
#include <string>

#include "cut/measure.h"
#include "cut/modes.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/format.h"

namespace mv {

namespace {
constexpr int32_t kCopyChunk = 1 << 20;
}  // namespace

bool CutIntoPieces(const CutSettings& s, CutSource src, JobHost& host, PieceSink& out, ScanReport& report) {
  const PcmFormat& fmt = s.format;
  const int32_t seconds = s.pieceLength.totalSeconds();
  // A listed format's sizes are 32-bit: a longer piece is an overflow.
  const int64_t pieceBytes =
      IsListedFormat(fmt) ? mul32(mul32(mul32(fmt.bytesPerSample(), seconds), fmt.channels), fmt.sampleRate)
                          : int64_t{fmt.frameBytes()} * seconds * fmt.sampleRate;
  if (pieceBytes == 0) raise(msg::kDivByZero);
  const int64_t pieces = src.dataSize / pieceBytes;
  PieceMeter meter(fmt, src.dataSize, report);
  auto buffer = std::make_unique<uint8_t[]>(
      static_cast<std::size_t>(std::min<int64_t>(kCopyChunk, std::max<int64_t>(pieceBytes, 1))));
  // Through memory in chunks: on a short source only the whole chunks read
  // stay, and the read error is raised.
  auto copy = [&](int64_t n) {
    while (n > 0) {
      const int32_t step = static_cast<int32_t>(std::min<int64_t>(n, kCopyChunk));
      src.stream.readFull(buffer.get(), static_cast<std::size_t>(step));
      meter.add(buffer.get(), static_cast<std::size_t>(step));
      out.write(buffer.get(), static_cast<std::size_t>(step));
      n -= step;
    }
  };
  host.resetCancel();

  for (int64_t u = 1; u <= pieces; ++u) {
    host.status(std::to_string(u) + std::string(msg::kPieceMaking));
    host.pump();
    meter.start();
    out.start(narrow<int32_t>(u));
    copy(pieceBytes);
    out.finish();
    host.progress(ProgressPercent(u, pieces));
    host.pump();
    if (host.cancelRequested()) {
      // The pieces handed over are complete before the run says it stopped,
      // and an error in them is the run's.
      out.close();
      return false;
    }
  }
  meter.start();
  out.start(narrow<int32_t>(pieces + 1));
  copy(src.dataSize - pieces * pieceBytes);
  out.finish();
  out.close();
  return true;
}

}  // namespace mv
