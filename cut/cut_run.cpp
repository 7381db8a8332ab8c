#include "cut/cut.h"
#include "cut/explain.h"
#include "cut/level_scan.h"
#include "cut/modes.h"
#include "cut/piece_outputs.h"
#include "cut/scan.h"
#include "cut/short_pieces.h"
#include "cut/flac_ranges.h"
#include "cut/flac_sink.h"
#include "cut/trim_sink.h"
#include "cut/wave_sink.h"
#include "cut/unset_list.h"
#include "flac/flac_source.h"
#include "wave/checked.h"
#include "wave/encoded.h"
#include "wave/errors.h"
#include "wave/header.h"
#include "wave/layout.h"
#include "wave/paths.h"
#include "wave/writer.h"

namespace mv {

namespace {

// A FLAC source, by its content whatever its name; one that cannot be
// opened is reported by the run itself.
bool isFlacSource(const CutSettings& s, const OpenSource& open) {
  try {
    const std::unique_ptr<ByteStream> in = open(s.source);
    return in && IsFlacStream(*in);
  } catch (const Error&) {
    return false;
  }
}

// The pieces are FLAC files: of a FLAC source, or when asked for.
bool flacPieces(const CutSettings& s, bool flacSource) {
  return s.files.format == PieceFormat::Flac || (s.files.format == PieceFormat::AsSource && flacSource);
}

PieceOutputs pathsFor(const CutSettings& s, bool flacSource) {
  return PieceOutputs(s.saveFolder, s.files.names, flacPieces(s, flacSource) ? ".flac" : ".wav", s.files.tags,
                      s.files.flacLevel);
}

bool cutSource(const CutSettings& settings, JobHost& host, const OpenSource& open, ScanWatcher* watcher,
               bool flac, CutResult& result, const LevelWindows* levels = nullptr);

// Named pieces are as many as their names, or none is written.
void requireNames(const PieceFiles& files, std::size_t count) {
  if (!files.names.empty() && files.names.size() != count)
    refuse(format(msg::kTracksCountDiffers, std::to_string(files.names.size()), std::to_string(count)));
}

// Names planned from the count of pieces: a dry pass over the source counts
// them first, and leaves what it found in `counted`. False when it was
// cancelled.
bool planNames(CutSettings& s, JobHost& host, const OpenSource& open, bool flac, CutResult& counted) {
  CutSettings dry = s;
  dry.dryRun = true;
  dry.files.names.clear();
  dry.files.plan = nullptr;
  dry.onComplete = nullptr;
  {
    JobScope job(host);
    if (!cutSource(dry, host, open, nullptr, flac, counted)) return false;
  }
  const std::size_t found = counted.report.pieces.size();
  s.files.plan(found, flacPieces(s, flac) ? ".flac" : ".wav", s.files);
  s.files.plan = nullptr;
  requireNames(s.files, found);
  return true;
}

OutputHeader locateSamples(const CutSettings& s, ByteStream& source, CutSource& src);

// The settings chosen from the source's own levels, read in a first pass,
// which are kept in `levels`; false when it was cancelled. A FLAC source is
// read decoded.
bool detectSettings(CutSettings& s, JobHost& host, const OpenSource& open, bool flac,
                    std::optional<Detection>& detected, std::optional<LevelWindows>& kept) {
  JobScope job(host);
  host.resetCancel();
  std::unique_ptr<ByteStream> source = open(s.source);
  PcmFormat format = s.format;
  std::unique_ptr<FlacSource> decoded;
  if (flac) {
    decoded = FlacSource::open(std::move(source), s.source);
    format = decoded->info().format;
  }
  ByteStream& in = flac ? *decoded : *source;
  CutSource src{in, 0, 0};
  if (flac) {
    src.dataSize = in.size();
  } else {
    CutSettings read = s;
    read.format = format;
    locateSamples(read, in, src);
  }
  DetectSettings d;
  d.threshold = s.detect.threshold;
  d.runLength = s.detect.runLength;
  d.zero = s.detect.zero;
  d.songs = s.detect.songs;
  d.givenThreshold = s.threshold;
  d.givenRunLength = s.runLength;
  d.givenZero = ReadZeroPoints(s.correction);
  d.ignoreClicks = s.ignoreClicks;
  // Sounds longer than the click a run may hold are looked for, so that the
  // dry run after this pass reads again only where a run may lie.
  LevelWindows& levels = kept.emplace(format, src.dataSize, LevelBurstFrames(d, format));
  UnsetList<uint8_t> buffer(kScanPartBytes);  // filled by each read
  for (int64_t done = 0; done < src.dataSize;) {
    const auto want = static_cast<std::size_t>(std::min<int64_t>(kScanPartBytes, src.dataSize - done));
    const std::size_t got = in.read(buffer.data(), want);
    levels.add(buffer.data(), got);
    done += static_cast<int64_t>(got);
    host.progress(ProgressPercent(done, src.dataSize));
    host.pump();
    if (host.cancelRequested()) return false;
    if (got < want) break;
  }
  CutResult chosen;
  chosen.detected = Detect(levels, d);
  s = AsRun(s, chosen);
  detected = chosen.detected;
  return true;
}

enum class Start { Go, Declined, Cancelled };

// The checks that may end a run before it touches anything; the folder's
// lock, held for the whole run, or none when the run is declined.
std::optional<RunLock> mayStart(CutSettings& s, JobHost& host, const OpenSource& open, bool flac,
                                Start& start, std::optional<Detection>& detected,
                                std::optional<CutResult>& counted, std::optional<LevelWindows>& levels) {
  start = Start::Declined;
  // A short piece is merged by reading it back from its file, which a FLAC
  // piece does not allow.
  if (flacPieces(s, flac) && s.mode == CutMode::AtSilences && s.minSongSeconds > 0) refuse(msg::kFlacMinSong);
  if (flacPieces(s, flac) && !flac && s.format.isFloat()) refuse(msg::kFlacFloat);
  CheckKeepSilence(s);
  // Encoded audio under another name would be cut into noise. A source that
  // cannot be opened is reported by the run itself.
  if (!IsWaveFileName(s.source) && !flac) {
    std::unique_ptr<ByteStream> source;
    try {
      source = open(s.source);
    } catch (const Error&) {
    }
    if (source) RefuseEncodedAudio(*source);
  }
  if (s.mode == CutMode::AtSilences && s.runLength == 0) refuse(msg::kZeroRunLength);
  if (s.mode == CutMode::EqualLengths && s.pieceLength.totalSeconds() == 0) refuse(msg::kZeroPieceLength);
  if (pathsFor(s, flac).isOutput(s.source)) refuse(msg::kCutSourceIsOutput);
  if (s.mode == CutMode::AtSilences && s.detect.any() && !detectSettings(s, host, open, flac, detected, levels)) {
    start = Start::Cancelled;
    return std::nullopt;
  }
  // A dry run writes nothing: it neither holds the folder nor asks. It
  // names its pieces once it has found them.
  if (s.dryRun) {
    start = Start::Go;
    return RunLock::none();
  }
  if (s.files.plan) {
    if (!planNames(s, host, open, flac, counted.emplace())) {
      start = Start::Cancelled;
      return std::nullopt;
    }
    if (pathsFor(s, flac).isOutput(s.source)) refuse(msg::kCutSourceIsOutput);
  }
  const PieceOutputs paths = pathsFor(s, flac);
  std::optional<RunLock> lock = RunLock::onFolder(s.saveFolder);
  if (!lock) refuse(msg::kFolderInUse);
  if (paths.anyExists() && !host.ask({msg::kOverwritePieces, msg::kOverwriteCaption, Icon::None}))
    return std::nullopt;
  start = Start::Go;
  return lock;
}

int32_t readZero(const ZeroPoint& z) {
  if (const auto* caption = std::get_if<std::string>(&z)) return narrow<int16_t>(toInt(*caption));
  return narrow<int16_t>(std::get<int64_t>(z));
}

FileClosed closedBy(JobHost& host) {
  return [&host](const std::string& path, int64_t size) { host.fileWritten(path, size); };
}

// A piece that is the source under another name, found only now when the
// folder could not be listed, is refused before it is touched.
OutputRules rulesFor(const CutSettings& s) {
  OutputRules rules{{}, msg::kCutSourceIsOutput};
  if (const auto id = IdentityOf(s.source)) rules.sources.push_back(*id);
  return rules;
}

// The pieces of a dry run: counted, never written. A folder that could not
// take them fails where the run would fail to create its first file.
class NoSink final : public PieceSink {
 public:
  NoSink(const std::string& folder, PieceOutputs paths) : folder_(folder), paths_(std::move(paths)) {}
  void start(int32_t number) override {
    if (!folderChecked_ && !IsWritableFolder(folder_)) raise(msg::kCannotCreate, paths_(number));
    folderChecked_ = true;
  }
  void write(const uint8_t*, std::size_t) override {}
  void finish() override {}
  void abandon() noexcept override {}

 private:
  std::string folder_;
  PieceOutputs paths_;
  bool folderChecked_ = false;
};

// Shows the report to a watcher after every part that goes into a piece: the
// meter has measured the part by then.
class WatchedSink final : public PieceSink {
 public:
  WatchedSink(std::unique_ptr<PieceSink> inner, const CutResult& result, ScanWatcher& watcher)
      : inner_(std::move(inner)), result_(result), watcher_(watcher) {}
  void start(int32_t number) override { inner_->start(number); }
  void write(const uint8_t* data, std::size_t n) override {
    inner_->write(data, n);
    const Piece& last = result_.report.pieces.back();
    watcher_.grown(result_.report, last.firstByte + last.dataBytes, result_.dataSize);
  }
  void finish() override { inner_->finish(); }
  void abandon() noexcept override { inner_->abandon(); }
  void close() override { inner_->close(); }

 private:
  std::unique_ptr<PieceSink> inner_;
  const CutResult& result_;
  ScanWatcher& watcher_;
};

// A listed format's 44 bytes, unless the header must be extended; room for
// RF64 sizes when the data may pass what RIFF sizes say.
OutputHeader headerFor(const PcmFormat& format, std::vector<uint8_t> record, int64_t dataSize, bool extended = false) {
  OutputHeader h;
  h.format = format;
  if (extended || !IsListedFormat(format)) h.extended.emplace(format, std::move(record), dataSize > kRiffDataLimit);
  return h;
}

// Where the source's samples lie, and the header its pieces get. A source
// read in a listed format keeps the 32-bit sizes, and their 2 GiB limit.
OutputHeader locateSamples(const CutSettings& s, ByteStream& source, CutSource& src) {
  const bool wave = IsWaveFileName(s.source);
  std::optional<WaveLayout> layout;
  if (wave && (!IsListedFormat(s.format) || IsLongWave(source))) layout = ReadWaveLayout(source);
  if (!layout) {
    if (!IsListedFormat(s.format)) {
      src.dataSize = source.size();
    } else {
      // Sizes are 32-bit: a source of 2 GiB or more is refused here.
      src.dataSize = narrow<int32_t>(source.size());
      if (wave) {
        const DataLocation where = LocateWaveData(source);
        src.dataStart = where.offset;
        src.dataSize = where.size;
      }
    }
    source.seek(src.dataStart);
    return headerFor(s.format, {}, src.dataSize);
  }
  src.dataStart = layout->dataOffset;
  src.dataSize = layout->dataBytes;
  source.seek(src.dataStart);
  // The pieces carry the source's own record when they are read as its format.
  std::vector<uint8_t> record;
  if (layout->format == s.format) record = layout->formatRecord;
  return headerFor(s.format, std::move(record), src.dataSize, true);
}

// The zero points the cut takes off, for samples of a FLAC depth of bits.
ZeroPoints zeroFor(const CutSettings& s, int32_t bits) {
  ZeroPoints zero = ReadZeroPoints(s.correction);
  if (bits < 16) {
    // Samples narrower than 16 bits stand in the high bits: the zero points
    // are scaled to their width, toward zero, so that the low bits stay 0.
    const int32_t step = 1 << (16 - bits);
    zero.left = zero.left / step * step;
    zero.right = zero.right / step * step;
  }
  return zero;
}

// The source opened and its data located; false when the run was cancelled.
// A FLAC source is read decoded, in its own format whatever the settings say.
bool cutSource(const CutSettings& settings, JobHost& host, const OpenSource& open, ScanWatcher* watcher,
               bool flac, CutResult& result, const LevelWindows* levels) {
  std::unique_ptr<ByteStream> source = open(settings.source);
  CutSettings s = settings;
  std::unique_ptr<FlacSource> decoded;
  if (flac) {
    decoded = FlacSource::open(std::move(source), s.source);
    s.format = decoded->info().format;
  }
  if (flacPieces(s, flac)) result.pieceExtension = ".flac";
  result.names = s.files.names;
  result.tags = s.files.tags;
  const PieceOutputs paths = pathsFor(s, flac);
  ByteStream& in = flac ? *decoded : *source;
  CutSource src{in, 0, 0};
  OutputHeader header;
  if (flac) {
    src.dataSize = in.size();
    // Its WAVE pieces have the header of its decoded format.
    header = headerFor(s.format, {}, src.dataSize);
  } else {
    header = locateSamples(s, in, src);
  }
  result.dataStart = src.dataStart;
  result.dataSize = src.dataSize;
  host.status(msg::kMakingFirstSong);
  host.pump();
  // Songs shorter than the least length join their neighbours; a dry run
  // merges only its list of pieces.
  const bool merging = s.mode == CutMode::AtSilences && s.minSongSeconds > 0;
  const int64_t minBytes = merging ? MinSongBytes(s.minSongSeconds, s.format) : 0;
  std::unique_ptr<PieceSink> out;
  if (s.dryRun)
    out = std::make_unique<NoSink>(s.saveFolder, paths);
  else if (flacPieces(s, flac))
    out = std::make_unique<FlacSink>(paths, flac ? decoded->info() : FlacStreamInfo{s.format, s.format.bitsPerSample, 0},
                                     closedBy(host), rulesFor(s));
  else if (merging)
    out = std::make_unique<MergingSink>(paths, header, closedBy(host), rulesFor(s), minBytes);
  else
    out = std::make_unique<WaveSink>(paths, header, closedBy(host), rulesFor(s));
  if (watcher) out = std::make_unique<WatchedSink>(std::move(out), result, *watcher);
  if (s.mode == CutMode::EqualLengths) return CutIntoPieces(s, src, host, *out, result.report);
  const ZeroPoints zero = zeroFor(s, flac ? decoded->info().bits : 16);
  // A dry run after a first pass reads again only where quiet runs may lie.
  const bool fromLevels = levels && !flac && !watcher && CanScanFromLevels(s, *levels, src);
  if (!(s.mode == CutMode::AtPoints ? CutAtPoints(s, zero, src, host, *out, result.report)
        : fromLevels                ? ScanFromLevels(s, zero, *levels, src, host, *out, result.report)
                                    : CutAtSilences(s, zero, src, host, *out, result.report)))
    return false;
  out->close();
  if (!merging) return true;
  const std::size_t found = result.report.pieces.size();
  result.report.pieces = MergeShortPieces(result.report.pieces, minBytes);
  result.mergedPieces = static_cast<int32_t>(found - result.report.pieces.size());
  return true;
}

// Passes on everything but the bar, which goes from `from` to `to` percent.
class ShareOfBar final : public JobHost {
 public:
  ShareOfBar(JobHost& host, int from, int to) : host_(host), from_(from), to_(to) {}
  bool ask(const Message& question) override { return host_.ask(question); }
  void inform(const Message& message) override { host_.inform(message); }
  void status(std::string_view text) override { host_.status(text); }
  void progress(int percent) override { host_.progress(from_ + percent * (to_ - from_) / 100); }
  void pump() override { host_.pump(); }
  void resetCancel() override { host_.resetCancel(); }
  bool cancelRequested() override { return host_.cancelRequested(); }
  void fileWritten(const std::string& path, int64_t size) override { host_.fileWritten(path, size); }

 private:
  JobHost& host_;
  int from_, to_;
};

// FLAC pieces of a WAVE source: a dry pass finds them (unless the names'
// plan has just counted them), then they are encoded two at a time, each
// read again from the source. A source that fails part-way gives the pieces
// found up to there, as a run writing as it goes would, and then its error.
bool cutIntoFlacRanges(const CutSettings& s, JobHost& host, const OpenSource& open, CutResult& result,
                       const std::optional<CutResult>& counted) {
  CutSettings dry = s;
  dry.dryRun = true;
  dry.files.plan = nullptr;
  std::exception_ptr failed;
  if (counted) {
    std::optional<Detection> detected = std::move(result.detected);
    result = *counted;
    result.detected = std::move(detected);
  } else {
    // The scan takes a few hundredths of the encoding.
    ShareOfBar scan(host, 0, 5);
    try {
      if (!cutSource(dry, scan, open, nullptr, false, result)) return false;
    } catch (...) {
      failed = std::current_exception();
    }
  }
  std::vector<PieceRange> ranges;
  for (const Piece& p : result.report.pieces)
    ranges.push_back({p.firstByte + p.trimmedFront, p.dataBytes - p.trimmedFront - p.trimmedBack});
  FlacRangesJob job{open,
                    s.source,
                    result.dataStart,
                    FlacStreamInfo{s.format, s.format.bitsPerSample, 0},
                    s.mode != CutMode::EqualLengths ? zeroFor(s, 16) : ZeroPoints{},
                    pathsFor(s, false),
                    closedBy(host),
                    rulesFor(s),
                    // The encoder's own check costs half as much again;
                    // it is spent where the pieces are to be the only copy.
                    s.deleteSource};
  ShareOfBar encode(host, 5, 100);
  const bool complete = WriteFlacRanges(job, ranges, encode);
  if (failed) std::rethrow_exception(failed);
  return complete;
}

}  // namespace

OpenedSamples OpenSamples(const CutSettings& s, const OpenSource& open) {
  OpenedSamples o;
  o.file = open(s.source);
  o.format = s.format;
  CutSource src{*o.file, 0, 0};
  if (IsFlacStream(*o.file)) {
    auto flac = FlacSource::open(std::move(o.file), s.source);
    o.format = flac->info().format;
    o.dataSize = flac->size();
    o.decoded = std::move(flac);
    return o;
  }
  locateSamples(s, *o.file, src);
  o.dataStart = src.dataStart;
  o.dataSize = src.dataSize;
  return o;
}

int64_t SourceDataBytes(const CutSettings& settings, const OpenSource& open) {
  std::unique_ptr<ByteStream> source = open(settings.source);
  if (IsFlacStream(*source)) return FlacSource::open(std::move(source), settings.source)->size();
  CutSource src{*source, 0, 0};
  locateSamples(settings, *source, src);
  return src.dataSize;
}

CutSettings AsRun(const CutSettings& settings, const CutResult& r) {
  CutSettings s = settings;
  if (const auto& d = r.detected) {
    s.threshold = d->threshold;
    s.runLength = d->runLength;
    s.ignoreClicks = d->ignoreClicks;
    if (s.detect.zero) {
      // Filled in place: a temporary's variant fools the compiler's
      // uninitialised-use check.
      Correction& c = s.correction.emplace();
      c.left = int64_t{d->zero.left};
      c.right = int64_t{d->zero.right};
    }
  }
  return s;
}

std::string CutResult::fileName(int32_t n) const {
  if (n >= 1 && static_cast<std::size_t>(n) <= names.size()) return names[static_cast<std::size_t>(n - 1)];
  return PieceFileName(n, pieceExtension);
}

ZeroPoints ReadZeroPoints(const std::optional<Correction>& c) {
  ZeroPoints z;
  if (c) {
    z.left = readZero(c->left);
    z.right = readZero(c->right);
  }
  return z;
}

CutResult RunCut(const CutSettings& settings, JobHost& host, const OpenSource& open, ScanWatcher* watcher) {
  CutResult result;
  CutSettings s = settings;
  if (s.source.empty()) return result;
  const bool flac = isFlacSource(s, open);
  Start start;
  std::optional<CutResult> counted;  // by a dry pass that planned the names
  std::optional<LevelWindows> levels;  // gathered by a first pass
  const std::optional<RunLock> lock = mayStart(s, host, open, flac, start, result.detected, counted, levels);
  if (!lock) {
    result.end = start == Start::Cancelled ? CutEnd::Cancelled : CutEnd::Declined;
    return result;
  }

  bool complete;
  {
    JobScope job(host);
    complete = !watcher && !flac && flacPieces(s, flac) && !s.dryRun ? cutIntoFlacRanges(s, host, open, result, counted)
                                                                      : cutSource(s, host, open, watcher, flac, result,
                                                                                  levels ? &*levels : nullptr);
  }
  if (!complete) {
    result.end = CutEnd::Cancelled;
    return result;
  }
  // A dry run names the pieces it found, as the run would.
  if (s.dryRun) {
    if (s.files.plan) s.files.plan(result.report.pieces.size(), result.pieceExtension, s.files);
    requireNames(s.files, result.report.pieces.size());
    result.names = s.files.names;
    result.tags = s.files.tags;
  }
  result.end = CutEnd::Complete;
  if (s.onComplete) s.onComplete(result);
  if (s.dryRun) return result;
  host.inform({msg::kCutDone, msg::kCutDoneCaption, Icon::Information});
  if (s.deleteSource) {
    SyncFolder(s.saveFolder);
    result.sourceDeleted = DeleteFile(s.source);
  }
  return result;
}

}  // namespace mv
