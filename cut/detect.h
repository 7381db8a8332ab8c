#pragma once
// The silence settings a recording's own levels call for: the threshold that
// parts its gaps from its music, the run length its gaps allow, the zero
// points of its quiet stretches, and the run length that gives a number of
// songs. Found from short windows' levels gathered as the data is read.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "cut/scan_kernels.h"
#include "wave/format.h"

namespace mv {

// What is to be chosen, and what is given for the rest.
struct DetectSettings {
  bool threshold = false;  // choose T
  bool runLength = false;  // choose N
  bool zero = false;       // choose the zero points
  int32_t songs = 0;       // > 0: N such that the songs - 1 longest quiet runs end songs
  int32_t givenThreshold = 0;  // T when not chosen, in the silence test's units
  int32_t givenRunLength = 0;  // N when not chosen, in frames
  ZeroPoints givenZero;        // zero points when not chosen (both 0: none)
  int32_t ignoreClicks = 0;    // frames of a sound a quiet run may hold (the cut's K)
  bool any() const { return threshold || runLength || zero || songs > 0; }
};

struct Detection {
  int32_t threshold = 0;   // T, in the silence test's units (8-bit: its own; wider: 16-bit)
  int32_t runLength = 0;   // N, in frames
  ZeroPoints zero;         // of 16-bit units (8-bit: its own), both 0 for none
  int32_t ignoreClicks = 0;  // K, in frames: the given one, or 68 us (3 frames at least) when T or N is chosen without one
  int32_t breaksFound = 0;   // with songs: the quiet runs that end songs (at most songs - 1)
};

// Levels of consecutive windows of about 10 ms, gathered from the data bytes
// in order: per channel the lowest and highest sample and their sum, in the
// silence test's units (8-bit centred at 0).
class LevelWindows {
 public:
  // With dataBytes, the lowest and highest samples of each group of the
  // cut's envelope (of the same frames) are kept too; with burstFrames, each
  // window's sustained level.
  explicit LevelWindows(const PcmFormat& format, int64_t dataBytes = 0, int32_t burstFrames = 0);
  void add(const uint8_t* data, std::size_t n);

  struct Window {
    float lo[2], hi[2];
    float sum[2];
  };
  const std::vector<Window>& windows() const { return windows_; }
  int32_t windowFrames() const { return windowFrames_; }
  const PcmFormat& format() const { return format_; }
  int64_t frames() const { return frames_; }

  // Per window, a level that burstFrames frames in a row within it all
  // reach, by their largest |sample|: a sound of that length, for any
  // threshold up to it less the zero point (0 when none is sure).
  const std::vector<float>& sustainedLoudness() const { return sustained_; }
  int32_t burstFrames() const { return burst_; }
  struct Range {
    float lo[2], hi[2];
  };
  // Per envelope group of groupFrames() frames (none without dataBytes).
  const std::vector<Range>& groups() const { return groups_; }
  int64_t groupFrames() const { return groupFrames_; }

 private:
  void addFrames(const uint8_t* frames, int64_t count);
  PcmFormat format_;
  int32_t frameSize_;
  int32_t windowFrames_;
  std::vector<Window> windows_;
  int32_t burst_;
  std::vector<float> sustained_;
  int32_t inWindow_ = 0;  // frames of the last window so far
  int64_t groupFrames_ = 0;
  std::vector<Range> groups_;
  int64_t inGroup_ = 0;
  int64_t frames_ = 0;
  ScanKernels kernels_;
  std::vector<uint8_t> partial_;  // bytes of a frame split between two adds
};

// K: the click a quiet run may hold, as given, or chosen with T or N.
int32_t ClickFrames(const DetectSettings& settings, const PcmFormat& format);

// The settings asked for, from the levels of the whole data.
Detection Detect(const LevelWindows& levels, const DetectSettings& settings);

}  // namespace mv
