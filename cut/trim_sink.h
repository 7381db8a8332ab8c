#pragma once
// Pieces with their silence kept short: a piece's leading and trailing
// silence is cut to at most S seconds, and the frames cut are not written.
//
// Silence is what the cut itself counts as quiet: frames whose every sample
// is below the threshold (after the zero points are taken off), and, with
// click tolerance, bursts of at most K other frames between two such frames
// of the piece. A piece's leading silence runs from its first frame to its
// first sound, its trailing silence from its last sound to its end; of the
// one the last S seconds stay, of the other the first S seconds. A piece
// without sound keeps its last S seconds. A part of a frame at the end of
// the data is sound: no test can tell it quiet.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "cut/cut.h"
#include "cut/scan.h"
#include "cut/scan_kernels.h"
#include "wave/file.h"
#include "wave/format.h"

namespace mv {

// Refuses settings the trim cannot serve, before the run touches anything:
// the equal lengths (no silence test runs there), the shortest song (a
// merge would join pieces whose silence was already cut), and a length of
// silence that is no number of seconds.
void CheckKeepSilence(const CutSettings& s);

struct TrimRule {
  PcmFormat format;
  int32_t threshold = 0;
  int32_t maxBurst = 0;    // K, as the scan takes it
  int64_t keepFrames = 0;  // S in frames
  // Frames of silence held in memory at most; what lies further back is
  // read again from the source when it turns out to be written after all.
  int64_t holdFrames = 0;
};

// The trim of the cut at silences: S in frames of the format (at most
// 2^62), and room in memory for a quiet run that ends no song.
TrimRule TrimRuleFor(const CutSettings& s);

// Reads `bytes` bytes of the data from `offset` (whole frames) into `into`,
// corrected as the cut corrects them.
using Reread = std::function<void(int64_t offset, uint8_t* into, std::size_t bytes)>;

// Reads the data again from the cut's own source, which is left where it
// was; z corrected with the kernels.
Reread SourceReread(ByteStream& stream, int64_t dataStart, const ScanKernels& kernels, ZeroPoints z,
                    int32_t frameBytes);

// Between the cut and the sink of its pieces: the cut's calls come in as
// they are, the piece's bytes go on less its trimmed silence. The trims are
// put into the report's current piece (pieces.back(), pushed before each
// start). Without reread the frames are only counted and nothing is written:
// the dry run's figures are the run's.
class TrimSink final : public PieceSink {
 public:
  TrimSink(PieceSink& inner, const TrimRule& rule, std::vector<Piece>& pieces, Reread reread);
  TrimSink(const TrimSink&) = delete;
  TrimSink& operator=(const TrimSink&) = delete;
  ~TrimSink() override;

  void start(int32_t number) override;
  void write(const uint8_t* data, std::size_t n) override;
  void finish() override;
  // What was held back is not written: the piece ends as far as it was
  // written.
  void abandon() noexcept override;
  void close() override;

 private:
  class Held;
  // The silence open at the end of a chunk.
  struct Tail {
    bool goesOn = false;  // the chunk is all silence of the run open before it
    int64_t start = 0;    // otherwise where the silence at its end begins (count: none)
    int32_t burst = 0;    // sound frames at its end, tolerated if a quiet one follows
  };

  // From frame x of a chunk of count frames, the end (forward) or the start
  // (backward) of the frames of one kind, quiet or sound, going no further
  // than limit.
  int64_t forward(const uint8_t* p, int64_t count, int64_t x, bool quiet, int64_t limit) const;
  int64_t backward(const uint8_t* p, int64_t count, int64_t x, bool quiet, int64_t limit) const;
  Tail tailOf(const uint8_t* p, int64_t count) const;
  void lead(const uint8_t* p, int64_t count);
  void sound(const uint8_t* p, int64_t count);
  void runAdd(const uint8_t* p, int64_t count);
  // The leading silence ends at frame `end` of the piece: its last S seconds
  // go out, then the held frames after it, which are sound.
  void endLead(int64_t end);
  // The silence held is inside the piece after all: it all goes out.
  void flushRun();
  void put(const uint8_t* p, int64_t count);
  // Frames [a, b) of the piece, from memory or read again.
  void emit(int64_t a, int64_t b);
  void settle() noexcept;

  PieceSink& inner_;
  TrimRule rule_;
  ScanKernels kernels_;
  int64_t frameBytes_;
  std::vector<Piece>& pieces_;
  Reread reread_;
  std::unique_ptr<Held> held_;
  std::vector<uint8_t> scratch_;  // frames read again

  // The current piece, in frames from its start.
  int64_t firstByte_ = 0;
  int64_t at_ = 0;          // frames passed
  bool leading_ = true;     // no sound yet
  bool inRun_ = false;      // a silence runs up to the frames passed (and a burst after it)
  int32_t burst_ = 0;       // sound frames at the end, tolerated if a quiet one follows
  int64_t runStart_ = 0;    // where that silence began
  bool whole_ = true;       // no part of a frame came yet
  int64_t front_ = 0;       // frames trimmed at the start, and at the end
  int64_t back_ = 0;
};

}  // namespace mv
