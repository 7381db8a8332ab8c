#pragma once
// The inner loops of the cut at silences and of the levels: correcting,
// testing and measuring frames. They are built once for every processor and
// once more with wider vectors, and the widest the processor runs is used.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "wave/format.h"

namespace mv {

// Frames kept before the first sound frame of a new song, less one.
constexpr int32_t kLeadIn = 512;

// A source is read and tested this many bytes, rounded to frames, at a time.
constexpr int32_t kScanPartBytes = 256 << 10;

// Zero points as sample values; both 0 when there is no correction. Of
// 16-bit units for wider samples: z * 2^(bits - 16) is taken off an integer,
// clamped to its width, and z / 32768 off a float, unclipped.
struct ZeroPoints {
  int32_t left = 0;
  int32_t right = 0;
  bool any() const { return left != 0 || right != 0; }
};

// What counts as silence, and how much of it ends a song.
struct SilenceRule {
  // A sample is quiet below this |value|: of the samples' own units for
  // 8-bit, of 16-bit units for wider integers (|s| * 2^16 < T * 2^bits) and
  // for floats (|x| * 32768 < T; a NaN is never quiet).
  int32_t threshold = 0;
  int32_t runLength = 0;   // N: more quiet frames than this in a row end a song
  int32_t maxBurst = 0;    // K: sound frames a quiet run may hold, a burst at a time
  int32_t shortSound = 0;  // without tolerance: frames a sound may last and still count as short
};

// Silent-run state carried from block to block.
struct RunState {
  int32_t silent = 0;     // j: silent frames in a row (a tolerated burst's count too)
  bool pending = false;   // more than N silent frames: a cut is due
  int32_t burst = 0;      // sound frames since the run last was quiet
  int64_t burstStart = 0; // index of the burst's first frame in the data
  // Without tolerance: a quiet run a sound ended, while that sound is short.
  int32_t brokenRun = 0;    // the quiet run before it
  int64_t brokenAt = 0;     // where the sound began
  int32_t soundSince = 0;   // its frames so far
  std::optional<int64_t> maybeBreak;  // such a sound, while the quiet after it goes on
  std::optional<int64_t> shortBreak;  // the first such sound where only the runs together would have made a cut
  int32_t lastQuiet = 0;   // c: the block's last frame of a run past N
  int64_t blockStart = 0;  // index of the block's first frame in the data
  int64_t longest = 0;     // the longest silent run so far, and the index
  int64_t longestEnd = 0;  // of the frame after it
  // The quiet run that made the last cut: its frames, and the index of the
  // frame after it.
  int64_t cutRun = 0;
  int64_t cutRunEnd = 0;

  bool operator==(const RunState&) const = default;
};

// The levels of some frames: per channel the lowest and highest sample and
// their sum, in the samples' own units (8-bit centred at 0).
struct FrameLevels {
  int32_t lo[2], hi[2];
  int64_t sum[2];
  // Given: a length of frames (0 for none). Found: the largest level, by a
  // frame's largest |sample| (the lowest sample counting one more than the
  // highest), that every frame of a block of at least that many frames in a
  // row reaches, the blocks aligned from the first frame (0 when none fits);
  // a kernel may stop looking once it passes a quarter of full scale. Of
  // 32-bit samples it is at most INT32_MAX.
  int32_t burst = 0;
  int32_t sustained = 0;
};

// The levels of float frames: per channel the lowest and highest sample that
// is not a NaN, in the samples' own units (lo above hi when there is none),
// and whether there is a NaN; the sum and the sustained level (as above) in
// 16-bit units, |x| * 32768, a NaN counting as 0; a 64-bit float's
// sustained level is rounded to a float's digits.
struct FloatLevels {
  double lo[2], hi[2];
  bool nan[2];
  double sum[2];
  int32_t burst = 0;
  float sustained = 0;
};

// Where the levels of windows of 8- or 16-bit samples go: per window and
// channel its lo and hi (a pair of int16_t) and its sum as a float, per
// window its sustained level when `sustained` is given; and over all the
// windows, each channel's lowest lo and highest hi.
struct NarrowLevels {
  int16_t* bounds = nullptr;
  float* sums = nullptr;
  uint16_t* sustained = nullptr;
  int32_t lo[2], hi[2];
};

struct ScanKernels {
  // Tests frames from..to-1 of a block, which start at `frames` (see the
  // rule in scan_kernels.inc).
  int32_t (*scan)(const uint8_t* frames, int32_t from, int32_t to, const SilenceRule& rule, RunState& st,
                  int32_t& cutAt);
  // Ends the scan after the last whole block: the run then open is measured.
  void (*end)(RunState& st);
  void (*correct)(uint8_t* frames, int32_t count, ZeroPoints z);
  // The largest |sample| of the whole samples of n bytes, in the format's
  // own units: 8-bit centred at 128, 16- and 24-bit signed, 32-bit signed up
  // to INT32_MAX; floats as 24-bit (|x| * 2^23, truncated, up to INT32_MAX;
  // a NaN counts as 0).
  int32_t (*peak)(const uint8_t* data, std::size_t n);
  // The silent frames among `count` (at most 64) frames, by the scan's own
  // test for the threshold, a bit each, the first lowest.
  uint64_t (*silentBits)(const uint8_t* frames, int32_t count, int32_t threshold) = nullptr;
  // The levels of `count` frames (at most 65536), for integer samples;
  // null for the others.
  void (*levels)(const uint8_t* frames, int32_t count, FrameLevels& out) = nullptr;
  // The same of `windows` windows of windowFrames frames in a row, each
  // with the given burst, into out[0] to out[windows - 1].
  void (*windowLevels)(const uint8_t* frames, int32_t windowFrames, int32_t windows, int32_t burst,
                       FrameLevels* out) = nullptr;
  // The same of 8- and 16-bit samples, written as the window lists keep
  // them (see NarrowLevels); null for the others.
  void (*narrowWindowLevels)(const uint8_t* frames, int32_t windowFrames, int32_t windows, int32_t burst,
                             NarrowLevels& out) = nullptr;
  // The same for floats; null for the others.
  void (*floatLevels)(const uint8_t* frames, int32_t count, FloatLevels& out) = nullptr;
};

// The peak of a full-scale sample: a level in dBFS is 20 log10(peak / this).
double PeakFullScale(const PcmFormat& format);

// The widest kernels this processor runs.
ScanKernels ScanKernelsFor(const PcmFormat& format);
// The kernels every processor runs, and the wide ones where this one runs
// them; both give the same results.
ScanKernels PortableScanKernels(const PcmFormat& format);
std::optional<ScanKernels> WideScanKernels(const PcmFormat& format);

}  // namespace mv
