#pragma once
// The silence settings a recording's own levels call for: the threshold that
// parts its gaps from its music, the run length its gaps allow, the zero
// points of its quiet stretches, and the run length that gives a number of
// songs. Found from short windows' levels gathered as the data is read.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "cut/level_windows.h"
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
  int32_t ignoreClicks = 0;  // K, in frames: the given one, or 68 us (3 frames at least) when T or N is chosen without one, 2 ms below 32 kHz under a threshold of -50 dBFS
  int32_t breaksFound = 0;   // with songs: the quiet runs that end songs (at most songs - 1)
};

// K: the click a quiet run may hold, as given, or chosen with T or N.
int32_t ClickFrames(const DetectSettings& settings, const PcmFormat& format);
// The longer K that replaces a chosen one at low rates when the threshold
// lies low; 0 when none may.
int32_t LongClickFrames(const DetectSettings& settings, const PcmFormat& format);
// The frames in a row a window's sustained level is gathered for: one more
// than the longest K the run may end with.
int32_t LevelBurstFrames(const DetectSettings& settings, const PcmFormat& format);

// The settings asked for, from the levels of the whole data.
Detection Detect(const LevelWindows& levels, const DetectSettings& settings);

}  // namespace mv
