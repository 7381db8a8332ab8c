#pragma once
// The source's samples read on demand for an editor of its cuts: the peaks
// of a stretch, down to single frames, and the quietest place near a point.
// Opened once; a FLAC source is read decoded.

#include <cstdint>
#include <memory>
#include <vector>

#include "cut/cut.h"

namespace mv {

struct OpenedSamples;

class SourceView {
 public:
  // Raises the errors of opening and locating the data, as the cut would.
  explicit SourceView(const CutSettings& s, const OpenSource& open = OpenFile);
  ~SourceView();
  SourceView(const SourceView&) = delete;
  SourceView& operator=(const SourceView&) = delete;

  int64_t frames() const { return frames_; }
  const PcmFormat& format() const { return settings_.format; }
  // The largest |sample| of each of count groups of step frames from first,
  // in the samples' own units, after the page's correction; groups past the
  // end are 0.
  std::vector<int32_t> peaks(int64_t first, int64_t step, int64_t count);
  // Where a cut near frame is best made: the start of the quietest 50 ms
  // within reach frames, kept strictly between after and before.
  int64_t quietestNear(int64_t frame, int64_t reach, int64_t after, int64_t before);

 private:
  CutSettings settings_;
  std::unique_ptr<OpenedSamples> opened_;
  ZeroPoints zero_;
  int64_t frames_ = 0;
};

}  // namespace mv
