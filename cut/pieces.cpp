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
  const int32_t pieceBytes =
      mul32(mul32(mul32(fmt.bytesPerSample(), seconds), fmt.channels), fmt.sampleRate);
  const int32_t pieces = div32(src.dataSize, pieceBytes);
  PieceMeter meter(fmt, src.dataSize, report);
  auto buffer = std::make_unique<uint8_t[]>(static_cast<std::size_t>(std::min(kCopyChunk, std::max(pieceBytes, 1))));
  // Through memory in chunks: on a short source only the whole chunks read
  // stay, and the read error is raised.
  auto copy = [&](int32_t n) {
    while (n > 0) {
      const int32_t step = std::min(n, kCopyChunk);
      src.stream.readFull(buffer.get(), static_cast<std::size_t>(step));
      meter.add(buffer.get(), static_cast<std::size_t>(step));
      out.write(buffer.get(), static_cast<std::size_t>(step));
      n -= step;
    }
  };
  host.resetCancel();

  for (int32_t u = 1; u <= pieces; ++u) {
    host.status(std::to_string(u) + std::string(msg::kPieceMaking));
    host.pump();
    meter.start();
    out.start(u);
    copy(pieceBytes);
    out.finish();
    host.progress(ProgressPercent(u, pieces));
    host.pump();
    if (host.cancelRequested()) return false;
  }
  meter.start();
  out.start(add32(pieces, 1));
  copy(sub32(src.dataSize, mul32(pieces, pieceBytes)));
  out.finish();
  return true;
}

}  // namespace mv
