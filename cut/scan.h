#pragma once
// What a cut finds as it reads its source, for a run and a dry run alike:
// the pieces, the longest quiet run, the quietest stretch, and a peak
// envelope for drawing.

#include <cstdint>
#include <optional>
#include <vector>

namespace mv {

struct Piece {
  int64_t firstByte = 0;  // from the start of the data
  int64_t dataBytes = 0;
  int32_t peak = 0;       // largest |sample| as the cut writes it
  // With the silence kept short: bytes of silence not written, at the
  // piece's start and at its end (a run and a dry run alike).
  int64_t trimmedFront = 0, trimmedBack = 0;
  // The quiet run that began it (none for the first piece): frames, and
  // the largest |sample| of the envelope's groups wholly inside it, as the
  // cut writes them (none when the run holds no whole group).
  struct Gap {
    int64_t frames = 0;
    std::optional<int32_t> peak;
    int64_t end = 0;  // the frame after the run
  };
  std::optional<Gap> gap = std::nullopt;
};

struct QuietRun {
  int64_t firstFrame = 0;
  int64_t frames = 0;
};

struct ScanReport {
  std::vector<Piece> pieces;
  // The longest run of frames the cut's own test found silent; empty when
  // none was (the tail after the last whole block is never tested).
  std::optional<QuietRun> longestQuiet;
  // The lowest peak of any whole block of the run length: the level a
  // threshold must pass for a stretch of that length to count as quiet.
  std::optional<int32_t> quietestBlockPeak;
  // Without click tolerance: the first frame of a short sound (10 ms at most)
  // that broke a quiet run which, with the quiet after it, would have ended a
  // song.
  std::optional<int64_t> shortSoundBreak;
  // Peaks of consecutive groups of envelopeFrames frames, over the whole data.
  int64_t envelopeFrames = 1;
  std::vector<int32_t> envelope;
};

// Where the pieces of a cut go: files for a run, nowhere for a dry run.
class PieceSink {
 public:
  virtual ~PieceSink() = default;
  virtual void start(int32_t number) = 0;
  virtual void write(const uint8_t* data, std::size_t n) = 0;
  virtual void finish() = 0;
  // The run stops (cancel or error) with the piece unfinished.
  virtual void abandon() noexcept = 0;
  // After the last piece: a file still kept open is finished.
  virtual void close() {}
};

}  // namespace mv
