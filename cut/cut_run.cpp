#include "cut/cut.h"
#include "cut/modes.h"
#include "wave/checked.h"
#include "wave/encoded.h"
#include "wave/errors.h"
#include "wave/header.h"
#include "wave/paths.h"

namespace mv {

int32_t PieceSeconds(const CutSettings& s) {
  return add32(mul32(add32(mul32(s.hours, 60), s.minutes), 60), s.seconds);
}

namespace {

// The checks that may end a run before it touches anything.
bool mayStart(const CutSettings& s, JobHost& host) {
  if (s.silenceMode && s.runLength == 0) refuse(msg::kZeroRunLength);
  if (!s.silenceMode && PieceSeconds(s) == 0) refuse(msg::kZeroPieceLength);
  if (IsNumberedOutput(s.source, s.saveFolder)) refuse(msg::kCutSourceIsOutput);
  if (HasNumberedFiles(s.saveFolder))
    return host.ask({msg::kOverwritePieces, msg::kOverwriteCaption, Icon::None});
  return true;
}

}  // namespace

CutResult RunCut(const CutSettings& s, JobHost& host) {
  CutResult result;
  if (s.source.empty()) return result;
  if (!mayStart(s, host)) {
    result.end = CutEnd::Declined;
    return result;
  }

  host.begin();
  try {
    File source = File::openRead(s.source);
    // Sizes are 32-bit: a source of 2 GiB or more is refused here.
    const int32_t fileSize = narrow<int32_t>(source.size());
    CutSource src{source, 0, fileSize};
    if (IsWaveFileName(s.source)) {
      const DataLocation where = LocateWaveData(source);
      src.dataStart = where.offset;
      src.dataSize = where.size;
    } else {
      RefuseEncodedAudio(source);
      source.seek(0);
    }
    host.status(msg::kMakingFirstSong);
    host.pump();
    const bool complete = s.silenceMode ? CutAtSilences(s, src, host)
                                        : CutIntoPieces(s, src, host);
    source.close();
    host.end();
    if (!complete) {
      result.end = CutEnd::Cancelled;
      return result;
    }
  } catch (...) {
    host.end();
    throw;
  }

  result.end = CutEnd::Complete;
  host.inform({msg::kCutDone, msg::kCutDoneCaption, Icon::Information});
  if (s.deleteSource) result.sourceDeleted = DeleteFile(s.source);
  return result;
}

}  // namespace mv
