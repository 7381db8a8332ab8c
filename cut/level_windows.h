#pragma once
// Levels of short windows of a recording, gathered from its data bytes as
// they are read: what the settings chosen from its own levels, and the dry
// run's scan from them, are found from.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cut/scan_kernels.h"
#include "cut/unset_list.h"
#include "wave/format.h"

namespace mv {

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

  // A window's lowest and highest sample of one channel.
  template <class T>
  struct Bounds {
    T lo, hi;
  };
  // Per window, and within it per channel of the format, its bounds in the
  // test's units: whole int16_t of 8- and 16-bit integers, where they are
  // exact, floats of the others. `each` is called with the list, so that a
  // pass over it reads only the bytes it needs.
  template <class Each>
  decltype(auto) withBounds(Each&& each) const {
    return narrow_ ? each(narrowBounds_) : each(bounds_);
  }
  float lo(std::size_t window, int channel) const {
    const std::size_t i = window * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(channel);
    return narrow_ ? narrowBounds_[i].lo : bounds_[i].lo;
  }
  float hi(std::size_t window, int channel) const {
    const std::size_t i = window * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(channel);
    return narrow_ ? narrowBounds_[i].hi : bounds_[i].hi;
  }
  // Per window and channel, in the same order, the sum of its samples.
  const UnsetList<float>& sums() const { return sums_; }
  std::size_t windowCount() const { return count_; }
  int32_t windowFrames() const { return windowFrames_; }
  const PcmFormat& format() const { return format_; }
  int64_t frames() const { return frames_; }

  // Per window, a level that burstFrames frames in a row within it all
  // reach, by their largest |sample|: a sound of that length, for any
  // threshold up to it less the zero point (0 when none is sure). Whole
  // uint16_t of 8- and 16-bit samples, floats of the others; `each` is
  // called with the list.
  template <class Each>
  decltype(auto) withSustained(Each&& each) const {
    return narrow_ ? each(narrowSustained_) : each(sustained_);
  }
  int32_t burstFrames() const { return burst_; }
  // In the test's units: exact, a float's NaN left out (lo above hi when a
  // channel has nothing else).
  struct Range {
    double lo[2], hi[2];
  };
  // Per envelope group of groupFrames() frames (none without dataBytes).
  const UnsetList<Range>& groups() const { return groups_; }
  // Per window, of 32 and 64-bit samples, whose bounds round them to a
  // float's digits and count a NaN as 0: their range exactly (a NaN left
  // out). Empty for the others.
  const UnsetList<Range>& windowRanges() const { return ranges_; }
  int64_t groupFrames() const { return groupFrames_; }

 private:
  // Levels of part of a window, or of a whole one.
  struct Window {
    float lo[2], hi[2];
    float sum[2];
  };
  void addFrames(const uint8_t* frames, int64_t count);
  void measure(const uint8_t* frames, int32_t count, Window& part, float& sustained, Range& exact);
  void scaled(const FrameLevels& levels, Window& window, Range* exact) const;
  // A window appended, and the last one grown by a part of it.
  void append(const Window& window);
  void merge(const Window& part);
  // A window's sustained level appended, or raised by a part of it.
  void appendSustained(float level);
  void raiseSustained(float level);
  PcmFormat format_;
  int32_t frameSize_;
  int32_t windowFrames_;
  int channels_;
  bool narrow_;
  UnsetList<Bounds<int16_t>> narrowBounds_;
  UnsetList<Bounds<float>> bounds_;
  UnsetList<float> sums_;
  std::size_t count_ = 0;
  int32_t burst_;
  UnsetList<float> sustained_;
  UnsetList<uint16_t> narrowSustained_;
  int32_t inWindow_ = 0;  // frames of the last window so far
  int64_t groupFrames_ = 0;
  UnsetList<Range> groups_;
  bool exact_;  // ranges_ kept
  // A kernel's levels are of the samples' own units; wider ones than 16
  // bits are scaled down exactly by a power of two.
  float scale_;
  UnsetList<Range> ranges_;
  int64_t inGroup_ = 0;
  int64_t frames_ = 0;
  ScanKernels kernels_;
  FrameLevels x_;
  static constexpr int kBatch = 64;  // windows a kernel call
  std::array<FrameLevels, kBatch> batch_;
  FloatLevels fx_;
  std::vector<uint8_t> partial_;  // bytes of a frame split between two adds
};

}  // namespace mv
