#include "cut/cut.h"
#include "cut/modes.h"
#include "wave/checked.h"
#include "wave/encoded.h"
#include "wave/errors.h"
#include "wave/header.h"
#include "wave/paths.h"

namespace mv {

namespace {

// The checks that may end a run before it touches anything; the folder's
// lock, held for the whole run, or none when the run is declined.
std::optional<RunLock> mayStart(const CutSettings& s, JobHost& host, const OpenSource& open) {
  // Encoded audio under another name would be cut into noise. A source that
  // cannot be opened is reported by the run itself.
  if (!IsWaveFileName(s.source)) {
    std::unique_ptr<ByteStream> source;
    try {
      source = open(s.source);
    } catch (const Error&) {
    }
    if (source) RefuseEncodedAudio(*source);
  }
  if (s.mode == CutMode::AtSilences && s.runLength == 0) refuse(msg::kZeroRunLength);
  if (s.mode == CutMode::EqualLengths && s.pieceLength.totalSeconds() == 0) refuse(msg::kZeroPieceLength);
  if (IsNumberedOutput(s.source, s.saveFolder)) refuse(msg::kCutSourceIsOutput);
  std::optional<RunLock> lock = RunLock::onFolder(s.saveFolder);
  if (!lock) refuse(msg::kFolderInUse);
  if (HasNumberedFiles(s.saveFolder) &&
      !host.ask({msg::kOverwritePieces, msg::kOverwriteCaption, Icon::None}))
    return std::nullopt;
  return lock;
}

int32_t readZero(const ZeroPoint& z) {
  if (const auto* caption = std::get_if<std::string>(&z)) return narrow<int16_t>(toInt(*caption));
  return narrow<int16_t>(std::get<int64_t>(z));
}

// The source opened and its data located; false when the run was cancelled.
bool cutSource(const CutSettings& s, JobHost& host, const OpenSource& open) {
  const std::unique_ptr<ByteStream> source = open(s.source);
  // Sizes are 32-bit: a source of 2 GiB or more is refused here.
  const int32_t fileSize = narrow<int32_t>(source->size());
  CutSource src{*source, 0, fileSize};
  if (IsWaveFileName(s.source)) {
    const DataLocation where = LocateWaveData(*source);
    src.dataStart = where.offset;
    src.dataSize = where.size;
  } else {
    source->seek(0);
  }
  host.status(msg::kMakingFirstSong);
  host.pump();
  OutputRules rules{{}, msg::kCutSourceIsOutput};
  // A piece that is the source under another name, found only now when the
  // folder could not be listed, is refused before it is touched.
  if (const auto id = IdentityOf(s.source)) rules.sources.push_back(*id);
  WaveWriter out([&host](const std::string& path, int64_t size) { host.fileWritten(path, size); }, rules);
  if (s.mode == CutMode::EqualLengths) return CutIntoPieces(s, src, host, out);
  return CutAtSilences(s, ReadZeroPoints(s.correction), src, host, out);
}

}  // namespace

ZeroPoints ReadZeroPoints(const std::optional<Correction>& c) {
  ZeroPoints z;
  if (c) {
    z.left = readZero(c->left);
    z.right = readZero(c->right);
  }
  return z;
}

CutResult RunCut(const CutSettings& s, JobHost& host, const OpenSource& open) {
  CutResult result;
  if (s.source.empty()) return result;
  const std::optional<RunLock> lock = mayStart(s, host, open);
  if (!lock) {
    result.end = CutEnd::Declined;
    return result;
  }

  bool complete;
  {
    JobScope job(host);
    complete = cutSource(s, host, open);
  }
  if (!complete) {
    result.end = CutEnd::Cancelled;
    return result;
  }
  result.end = CutEnd::Complete;
  host.inform({msg::kCutDone, msg::kCutDoneCaption, Icon::Information});
  if (s.deleteSource) result.sourceDeleted = DeleteFile(s.source);
  return result;
}

}  // namespace mv
