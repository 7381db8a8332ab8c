#pragma once
// The cut run shared by the window and the command line.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cut/detect.h"
#include "cut/scan.h"
#include "wave/duration.h"
#include "wave/format.h"
#include "wave/job.h"
#include "wave/source.h"
#include "wave/tags.h"

namespace mv {

// The silence threshold and run length: defaults and largest values.
inline constexpr int32_t kDefaultThreshold = 100;
inline constexpr int32_t kMaxThreshold = 65536;
inline constexpr int32_t kDefaultRunLength = 132300;
inline constexpr int32_t kMaxRunLength = 441000;

enum class CutMode {
  AtSilences,    // one file per song, cut where the signal stays quiet
  EqualLengths,  // pieces of one length, the last one with the rest
  AtPoints,      // pieces between points given by the user
};

// A point where a piece begins, at points.
struct GivenPoint {
  int64_t frame = 0;  // from the start of the data
  int32_t line = 0;   // of the list it was read from, for a refusal; 0: none
};

// The pieces begin at the quietest place near each point: the start of the
// 50 ms window of the lowest peak at most this far away.
inline constexpr double kMaxSnapSeconds = 10;

// A zero point as its front end holds it: a caption, read as an integer when
// the run comes to it (the window), or a number (the command line).
using ZeroPoint = std::variant<std::string, int64_t>;

struct Correction {
  ZeroPoint left = int64_t{0};
  ZeroPoint right = int64_t{0};
};

struct CutResult;

// The pieces' file format: by default that of the source, FLAC for a FLAC
// source and WAVE for any other.
enum class PieceFormat { AsSource, Wave, Flac };

// How the pieces are named and written: by default numbered files, as ever.
struct PieceFiles {
  std::vector<std::string> names;  // one file name a piece, in the save folder; empty: numbered
  std::vector<Tags> tags;          // one a piece; empty: untagged
  // Fills in the names from the count of pieces, which a dry pass over the
  // source finds first, and their extension; it may refuse (a track list of
  // another count).
  std::function<void(std::size_t count, std::string_view extension, PieceFiles& files)> plan;
  PieceFormat format = PieceFormat::AsSource;
  int32_t flacLevel = 5;
};

// What the cut page holds when a run starts.
struct CutSettings {
  std::string source;      // full path of the file to cut; empty: nothing to do
  std::string saveFolder;  // folder text of the pieces (no trailing "/")
  PcmFormat format = ParseFormatLabel(kCutLabels[kDefaultFormatPosition]);  // of source and pieces
  CutMode mode = CutMode::AtSilences;
  int32_t threshold = kDefaultThreshold;  // silence: every |sample| below this, in sample units
  int32_t runLength = kDefaultRunLength;  // silent frames (L/R pairs in stereo) that end a song
  Duration pieceLength{0, 1, 0};          // equal lengths: hours 0..215, minutes and seconds 0..59
  std::optional<Correction> correction;   // subtract the zero points (at silences only)
  bool deleteSource = false;              // delete the source after a complete run
  bool dryRun = false;                    // every check and the whole scan; nothing written or asked
  int32_t ignoreClicks = 0;  // at silences: sound bursts of at most this many frames inside a quiet run
  double minSongSeconds = 0;  // at silences: a shorter piece joins its neighbour; 0 keeps every piece
  PieceFiles files;
  // At points: where the pieces after the first begin, rising; points at 0
  // or at the end of the data are let go, one beyond it is refused.
  std::vector<GivenPoint> points;
  double snapSeconds = 0;  // at points: each moved to the quietest place this close (0 to 10 s); 0 keeps them
  // At silences: each piece's leading and trailing silence is cut to at most
  // this many seconds; none keeps every byte.
  std::optional<double> keepSilenceSeconds;
  // At silences: what a first pass over the source chooses from its own
  // levels before the cut (the threshold, the run length, the zero points,
  // or the run length for a number of songs); the fields above give the rest.
  struct Auto {
    bool threshold = false, runLength = false, zero = false;
    int32_t songs = 0;  // > 0: the songs - 1 longest quiet runs end songs
    bool any() const { return threshold || runLength || zero || songs > 0; }
  } detect;
  // Called once a run (a dry one too) is complete, before it says so and
  // before the source is deleted: what the front end writes beside the
  // pieces. An error it raises fails the run with the source kept.
  std::function<void(const CutResult&)> onComplete;
};

enum class CutEnd { NothingToDo, Declined, Complete, Cancelled };

struct CutResult {
  CutEnd end = CutEnd::NothingToDo;
  bool sourceDeleted = false;
  int64_t dataStart = 0;  // where the source's samples lie
  int64_t dataSize = 0;
  ScanReport report;      // what the scan found, pieces and levels
  int32_t mergedPieces = 0;  // pieces joined to a neighbour for being shorter than the shortest song
  std::string pieceExtension = ".wav";  // ".flac" for FLAC pieces
  std::vector<std::string> names;       // the pieces' file names when they were given
  std::vector<Tags> tags;               // and their tags
  std::optional<Detection> detected;    // what the first pass chose, when one was asked for
  // Piece n's file name (from 1), as written.
  std::string fileName(int32_t n) const;
};

// The settings as the run used them: with the values its first pass chose.
CutSettings AsRun(const CutSettings& settings, const CutResult& result);

// Sees a run's report grow, a part of the source at a time, so that a view can
// draw the pieces as they are found.
class ScanWatcher {
 public:
  virtual ~ScanWatcher() = default;
  virtual void grown(const ScanReport& soFar, int64_t dataBytesDone, int64_t dataBytes) = 0;
};

// Bytes of the source's samples, as the cut would read them with s.format
// (a FLAC source decoded, in its own format); the open and format errors the
// cut would raise.
int64_t SourceDataBytes(const CutSettings& s, const OpenSource& open = OpenFile);

// Runs the cut; errors raise mv::Error after the run's clean-up (host.end()).
// The source is read through open (files, unless a test or fuzzer gives
// another).
CutResult RunCut(const CutSettings& settings, JobHost& host, const OpenSource& open = OpenFile,
                 ScanWatcher* watcher = nullptr);

}  // namespace mv
