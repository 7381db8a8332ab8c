#include "cut/source_view.h"

#include <algorithm>

#include "cut/modes.h"
#include "cut/scan_kernels.h"

namespace mv {

SourceView::SourceView(const CutSettings& s, const OpenSource& open)
    : settings_(s), opened_(std::make_unique<OpenedSamples>(OpenSamples(s, open))) {
  settings_.format = opened_->format;
  frames_ = opened_->dataSize / settings_.format.frameBytes();
  // A caption that is no number corrects nothing here; the cut says so.
  try {
    zero_ = ReadZeroPoints(s.correction);
  } catch (const std::exception&) {
    zero_ = {};
  }
}

SourceView::~SourceView() = default;

std::vector<int32_t> SourceView::peaks(int64_t first, int64_t step, int64_t count) {
  std::vector<int32_t> out(static_cast<std::size_t>(std::max<int64_t>(count, 0)));
  step = std::max<int64_t>(step, 1);
  first = std::max<int64_t>(first, 0);
  const int64_t last = std::min(frames_, first + step * count);
  if (last <= first) return out;
  const int32_t frameBytes = settings_.format.frameBytes();
  const ScanKernels k = ScanKernelsFor(settings_.format);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(std::min<int64_t>(step, 1 << 16) * frameBytes));
  ByteStream& in = opened_->stream();
  in.seek(opened_->dataStart + first * frameBytes);
  for (int64_t at = first; at < last;) {
    const auto group = static_cast<std::size_t>((at - first) / step);
    const int64_t groupEnd = std::min(last, first + static_cast<int64_t>(group + 1) * step);
    const int64_t n = std::min<int64_t>(groupEnd - at, static_cast<int64_t>(bytes.size()) / frameBytes);
    in.readFull(bytes.data(), static_cast<std::size_t>(n * frameBytes));
    if (zero_.any()) k.correct(bytes.data(), static_cast<int32_t>(n), zero_);
    out[group] = std::max(out[group], k.peak(bytes.data(), static_cast<std::size_t>(n * frameBytes)));
    at += n;
  }
  return out;
}

int64_t SourceView::quietestNear(int64_t frame, int64_t reach, int64_t after, int64_t before) {
  const int64_t lo = std::max(after + 1, frame - reach), hi = std::min(before - 1, frame + reach);
  if (lo > hi) return frame;
  CutSource src{opened_->stream(), opened_->dataStart, opened_->dataSize};
  return QuietestNear(frame, lo, hi, settings_, zero_, src);
}

}  // namespace mv
