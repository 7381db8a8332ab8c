// The cut into equal lengths: byte-for-byte copies of the data, P bytes each,
// and one last file with what is left.

#include <string>

#include "cut/modes.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/paths.h"
#include "wave/writer.h"

namespace mv {

namespace {
constexpr std::size_t kCopyChunk = 1 << 20;

}  // namespace

bool CutIntoPieces(const CutSettings& s, CutSource src, JobHost& host, WaveWriter& out) {
  const PcmFormat& fmt = s.format;
  const int32_t seconds = s.pieceLength.totalSeconds();
  const int32_t pieceBytes =
      mul32(mul32(mul32(fmt.bytesPerSample(), seconds), fmt.channels), fmt.sampleRate);
  const int32_t pieces = div32(src.dataSize, pieceBytes);
  host.resetCancel();

  for (int32_t u = 1; u <= pieces; ++u) {
    host.status(std::to_string(u) + std::string(msg::kPieceMaking));
    host.pump();
    out.create(PieceName(s.saveFolder, u), fmt);
    out.appendFrom(src.stream, pieceBytes, kCopyChunk);
    out.finish();
    host.progress(ProgressPercent(u, pieces));
    host.pump();
    if (host.cancelRequested()) return false;
  }
  out.create(PieceName(s.saveFolder, add32(pieces, 1)), fmt);
  out.appendFrom(src.stream, sub32(src.dataSize, mul32(pieces, pieceBytes)), kCopyChunk);
  out.finish();
  return true;
}

}  // namespace mv
