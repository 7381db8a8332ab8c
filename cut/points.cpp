// The cut at given points: the pieces begin exactly at the points (or at the
// quietest place near each, when asked), and are the source's bytes between
// them, corrected as the cut at silences corrects them.

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <string>

#include "cut/measure.h"
#include "cut/modes.h"
#include "cut/scan_kernels.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/format.h"

namespace mv {

namespace {

constexpr int64_t kCopyChunk = 1 << 20;
constexpr double kSnapWindowSeconds = 0.05;

// The start of the window of the lowest peak among those starting in
// [lo, hi]; of equal ones the nearest to p, then the earlier.
int64_t quietestNear(int64_t p, int64_t lo, int64_t hi, int64_t window, const CutSettings& s, ZeroPoints z,
                     CutSource src, int64_t frames) {
  const PcmFormat& f = s.format;
  const int32_t frameBytes = f.frameBytes();
  const ScanKernels k = ScanKernelsFor(f);
  const int64_t end = std::min(frames, hi + window);
  const auto count = static_cast<std::size_t>(end - lo);
  std::vector<uint8_t> bytes(count * static_cast<std::size_t>(frameBytes));
  src.stream.seek(src.dataStart + lo * frameBytes);
  src.stream.readFull(bytes.data(), bytes.size());
  if (z.any()) k.correct(bytes.data(), static_cast<int32_t>(count), z);
  std::vector<int32_t> peaks(count);
  for (std::size_t u = 0; u < count; ++u)
    peaks[u] = k.peak(bytes.data() + u * static_cast<std::size_t>(frameBytes), static_cast<std::size_t>(frameBytes));
  // The largest of each window, sliding: the deque holds falling peaks.
  std::deque<std::size_t> falling;
  std::size_t added = 0;
  int64_t best = p;
  int32_t bestPeak = INT32_MAX;
  for (int64_t t = lo; t <= hi; ++t) {
    const auto first = static_cast<std::size_t>(t - lo);
    const std::size_t last = std::min(count, first + static_cast<std::size_t>(window));
    for (; added < last; ++added) {
      while (!falling.empty() && peaks[falling.back()] <= peaks[added]) falling.pop_back();
      falling.push_back(added);
    }
    while (falling.front() < first) falling.pop_front();
    const int32_t peak = peaks[falling.front()];
    if (peak < bestPeak || (peak == bestPeak && std::llabs(t - p) < std::llabs(best - p))) {
      bestPeak = peak;
      best = t;
    }
  }
  return best;
}

}  // namespace

std::vector<int64_t> PieceStarts(const CutSettings& s, ZeroPoints zero, CutSource src) {
  const int64_t frames = src.dataSize / s.format.frameBytes();
  std::vector<int64_t> starts;
  std::vector<int32_t> lines;
  int64_t last = 0;
  for (const GivenPoint& p : s.points) {
    if (p.frame > frames) refuse(format(msg::kPointsBeyondData, std::to_string(p.line)));
    if (p.frame < last || (p.frame == last && p.frame > 0)) refuse(format(msg::kPointsOutOfOrder, std::to_string(p.line)));
    last = p.frame;
    if (p.frame == 0 || p.frame == frames) continue;
    starts.push_back(p.frame);
  }
  if (s.snapSeconds <= 0 || starts.empty()) return starts;
  if (!std::isfinite(s.snapSeconds) || s.snapSeconds > kMaxSnapSeconds) raise(msg::kRangeError);
  const int64_t reach = std::llround(s.snapSeconds * s.format.sampleRate);
  const int64_t window = std::max<int64_t>(1, std::llround(kSnapWindowSeconds * s.format.sampleRate));
  const int64_t back = src.stream.position();
  // Each stays between the one before, as moved, and the next as given, so
  // that the pieces keep their order and none is empty.
  int64_t before = 0;
  for (std::size_t u = 0; u < starts.size(); ++u) {
    const int64_t p = starts[u];
    const int64_t next = u + 1 < starts.size() ? starts[u + 1] : frames;
    const int64_t lo = std::max(before + 1, p - reach);
    const int64_t hi = std::min(next - 1, p + reach);
    starts[u] = before = quietestNear(p, lo, hi, window, s, zero, src, frames);
  }
  src.stream.seek(back);
  return starts;
}

int64_t QuietestNear(int64_t p, int64_t lo, int64_t hi, const CutSettings& s, ZeroPoints z, CutSource src) {
  const int64_t frames = src.dataSize / s.format.frameBytes();
  lo = std::max<int64_t>(lo, 0);
  hi = std::min(hi, frames - 1);
  if (lo > hi) return p;
  const int64_t window = std::max<int64_t>(1, std::llround(kSnapWindowSeconds * s.format.sampleRate));
  return quietestNear(std::clamp(p, lo, hi), lo, hi, window, s, z, src, frames);
}

bool CutAtPoints(const CutSettings& s, ZeroPoints zero, CutSource src, JobHost& host, PieceSink& out,
                 ScanReport& report) {
  const PcmFormat& fmt = s.format;
  const int32_t frameBytes = fmt.frameBytes();
  const std::vector<int64_t> starts = PieceStarts(s, zero, src);
  const ScanKernels k = ScanKernelsFor(fmt);
  PieceMeter meter(fmt, src.dataSize, report);
  const int64_t chunk = std::max<int64_t>(1, kCopyChunk / frameBytes) * frameBytes;
  auto buffer = std::make_unique<uint8_t[]>(static_cast<std::size_t>(std::min(chunk, std::max<int64_t>(src.dataSize, 1))));
  host.resetCancel();
  int64_t at = 0;  // bytes of the data gone out
  for (std::size_t u = 0; u <= starts.size(); ++u) {
    const auto number = narrow<int32_t>(static_cast<int64_t>(u) + 1);
    host.status(std::to_string(number) + std::string(msg::kPieceMaking));
    host.pump();
    meter.start();
    out.start(number);
    // A part of a frame at the end of the data goes into the last piece as it is.
    const int64_t end = u < starts.size() ? starts[u] * frameBytes : src.dataSize;
    while (at < end) {
      const auto step = static_cast<std::size_t>(std::min(chunk, end - at));
      src.stream.readFull(buffer.get(), step);
      if (zero.any()) k.correct(buffer.get(), static_cast<int32_t>(step / static_cast<std::size_t>(frameBytes)), zero);
      meter.add(buffer.get(), step);
      out.write(buffer.get(), step);
      at += static_cast<int64_t>(step);
      host.progress(ProgressPercent(at, std::max<int64_t>(src.dataSize, 1)));
      host.pump();
      if (host.cancelRequested()) {
        out.abandon();
        return false;
      }
    }
    out.finish();
  }
  return true;
}

}  // namespace mv
