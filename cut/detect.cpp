// The quiet runs are counted above the level of the file's gaps, found as
// the median window of its long quiet stretches, where Gaussian hiss of that
// level would pass four sigma: hiss and hum keep that level steady, and the
// rare samples above it come alone, within the click a run may hold. The
// cut's threshold lies at three, where runs of samples past it stay rare. At
// 8 bits, dither and hiss of a step or two are counted instead. The run length
// falls in the widest ratio between consecutive lengths of the file's quiet
// runs, which parts the pauses of the music from the gaps between songs.

#include "cut/detect.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "cut/counts.h"
#include "cut/cut.h"

namespace mv {

namespace {

// The threshold as Gaussian hiss of the gaps' level would have it: this
// many sigma, where one sample in 16000 passes and never a run of them as
// long as the click a run may hold. Higher, quiet passages of the music
// under heavy hiss pass for gaps and a cut lands inside a song's soft start.
constexpr double kQuietSigmas = 4.0;
// The cut's own threshold, lower: at three sigma one sample in 370 passes,
// and a run of them longer than a click about once in 10^9 frames. The
// windows' runs stay at four, or nearly every window of a gap would break them.
constexpr double kCutSigmas = 3.0;
// The click a quiet run may hold when T or N is chosen: 68 us, 3 frames at
// 44.1 kHz. Soft music of high notes crosses zero often enough that a
// longer one lets its quiet frames at the crossings make a run: at 5 frames
// a soft passage under heavy hiss made runs of 2 s inside a song.
constexpr int32_t kClickRate = 14700;
// At low rates a click smeared by resampling lasts a few frames.
constexpr int32_t kFewestClickFrames = 3;
// Below 32 kHz, where the threshold lies under -50 dBFS, the click is 2 ms:
// a click smeared by the recording's own filter rings above so low a
// threshold for 19 frames at 11 kHz, and the music, whose band ends at
// 11 kHz or lower, does not cross it in bursts that short. At 44.1 kHz soft
// high notes and cymbals do, and under heavy hiss soft music at any rate.
constexpr double kLongClickSeconds = 0.002;
constexpr int32_t kLongClickRatesBelow = 32000;
constexpr double kLongClickBelowDb = -50;
// A gap between songs lasts at least this; shorter quiet runs are pauses.
constexpr double kShortestGapSeconds = 0.3;
// A run shorter than this, with pauses below it, is taken for the shortest
// gap only when it stands out the more, by its ratio times its length in
// seconds: soft music at 8 bits has pauses of every length up to a second,
// and the widest ratio among them would part the pauses, not the songs.
constexpr double kSureGapSeconds = 1.0;
// N stays at least this share of the shortest gap: quiet music has pauses of
// every length, and the closer N lies to the gaps the fewer of them pass it.
constexpr double kBelowShortestGap = 0.8;
// A quiet run that starts this soon leads into the first song.
constexpr double kLeadInSeconds = 0.1;
// Quiet stretches this long tell the gaps' level and the zero points.
constexpr double kFloorStretchSeconds = 0.5;
// Without these, the quietest share of the windows stands for the gaps.
constexpr double kQuietShare = 0.005;
// A run of frames longer than a click may reach the cut's threshold this
// seldom in the gaps, per second: one gap of 3 s in 30 parted.
constexpr double kGapBurstsPerSecond = 0.01;
// At 8 bits no more than this share of the gaps' windows reach the level
// their runs are counted at.
constexpr double kWindowsOverShare = 0.05;

// The smallest step of a sample, in the test's units.
double sampleStep(const PcmFormat& f) {
  if (f.isFloat()) return 1.0 / 256;
  return f.bitsPerSample <= 16 ? 1.0 : std::ldexp(1.0, 16 - f.bitsPerSample);
}

// The median of the largest |x| of n samples of unit Gaussian hiss: the
// level each passes with chance 1 - 0.5^(1/n).
double medianPeakSigmas(double n) {
  const double tail = 1 - std::pow(0.5, 1 / n);
  double lo = 0, hi = 10;
  for (int i = 0; i < 60; ++i) {
    const double mid = (lo + hi) / 2;
    (std::erfc(mid / std::sqrt(2.0)) > tail ? lo : hi) = mid;
  }
  return lo;
}

struct Run {
  int64_t first = 0;  // window
  int64_t count = 0;  // windows
};

class Levels {
 public:
  Levels(const LevelWindows& w) : w_(w), channels_(w.format().channels) {}

  // The peak |sample - zero| of each window, the largest over channels.
  // In `out`, whose room is used again; counted afresh in `counts` when
  // given, in the same pass.
  template <class P>
  void peaks(const double zero[2], UnsetList<P>& out, Counts* counts) const {
    if (counts) counts->clear();
    out.resize(w_.windowCount());
    w_.withBounds([&](const auto& bounds) {
      using T = decltype(bounds[0].lo);
      // Whole bounds less whole zero points, exactly, in integers.
      const bool whole = std::is_integral_v<T> && zero[0] == std::round(zero[0]) && zero[1] == std::round(zero[1]);
      const auto each = [&]<int Channels, class V>(const V z0, const V z1) {
        const auto peakAt = [&](std::size_t i) __attribute__((always_inline)) {
          const auto& x = bounds[i * Channels];
          V p = std::max(V{0}, std::max(x.hi - z0, z0 - x.lo));
          if constexpr (Channels == 2) {
            const auto& y = bounds[i * 2 + 1];
            p = std::max(p, std::max(y.hi - z1, z1 - y.lo));
          }
          out[i] = static_cast<P>(p);
          return p;
        };
        if constexpr (std::is_integral_v<V>) {
          if (counts) {
            counts->addWholes(out.size(), [&](std::size_t i) { return static_cast<uint32_t>(peakAt(i)); });
            return;
          }
        }
        for (std::size_t i = 0; i < out.size(); ++i) {
          peakAt(i);
          if (counts) counts->add(out[i]);
        }
      };
      if constexpr (std::is_integral_v<T>) {
        if (whole) {
          const auto z0 = static_cast<int32_t>(zero[0]), z1 = static_cast<int32_t>(zero[1]);
          channels_ == 2 ? each.template operator()<2>(z0, z1) : each.template operator()<1>(z0, z1);
          return;
        }
      }
      channels_ == 2 ? each.template operator()<2>(zero[0], zero[1]) : each.template operator()<1>(zero[0], zero[1]);
    });
  }

  // The largest spread hi - lo of each window's channels, in `out`, and
  // their parts in `counts`.
  template <class P>
  void spreads(UnsetList<P>& out, Counts& counts) const {
    out.resize(w_.windowCount());
    w_.withBounds([&](const auto& bounds) {
      // Of whole bounds, in integers: exact, as a float's difference is.
      using T = decltype(bounds[0].lo);
      using V = std::conditional_t<std::is_integral_v<T>, int32_t, float>;
      const auto each = [&]<int Channels>() {
        for (std::size_t i = 0; i < out.size(); ++i) {
          V sp = 0;
#pragma GCC unroll 2
          for (int c = 0; c < Channels; ++c) {
            const auto& x = bounds[i * Channels + static_cast<std::size_t>(c)];
            const auto spread = static_cast<V>(static_cast<V>(x.hi) - static_cast<V>(x.lo));
            // An infinity's spread is none (inf - inf): it is the loudest.
            if constexpr (std::is_integral_v<V>)
              sp = std::max(sp, spread);
            else
              sp = std::isnan(spread) ? INFINITY : std::max(sp, spread);
          }
          out[i] = static_cast<P>(sp);
          if constexpr (std::is_integral_v<V>)
            counts.addWhole(static_cast<uint32_t>(sp));
          else
            counts.addPart(sp);
        }
      };
      if (channels_ == 2)
        each.template operator()<2>();
      else
        each.template operator()<1>();
    });
  }

  // Runs of windows below the threshold; runs parted by no more than `bridge`
  // loud windows count as one.
  template <class P>
  static std::vector<Run> runs(const UnsetList<P>& peaks, double threshold, int64_t bridge) {
    std::vector<Run> out;
    const auto n = static_cast<int64_t>(peaks.size());
    for (int64_t i = 0; i < n;) {
      if (peaks[static_cast<std::size_t>(i)] >= threshold) {
        ++i;
        continue;
      }
      int64_t j = i;
      while (j < n && peaks[static_cast<std::size_t>(j)] < threshold) ++j;
      if (!out.empty() && i - (out.back().first + out.back().count) <= bridge)
        out.back().count = j - out.back().first;
      else
        out.push_back({i, j - i});
      i = j;
    }
    return out;
  }

  // The mean of each channel over the windows of the runs; with `peaks`,
  // only of those below `below`: a click a run holds is no offset.
  template <class P = double>
  void meanOver(const std::vector<Run>& runs, double zero[2], const UnsetList<P>* peaks = nullptr,
                double below = 0) const {
    double sum[2] = {0, 0};
    int64_t windows = 0;
    const auto& sums = w_.sums();
    for (const Run& r : runs)
      for (int64_t i = r.first; i < r.first + r.count; ++i) {
        if (peaks && (*peaks)[static_cast<std::size_t>(i)] >= below) continue;
        const auto at = static_cast<std::size_t>(i * channels_);
        // A float's infinity is sound, not an offset (and would make none).
        bool finite = true;
        for (int c = 0; c < channels_; ++c) finite &= std::isfinite(sums[at + static_cast<std::size_t>(c)]);
        if (!finite) continue;
        for (int c = 0; c < channels_; ++c) sum[c] += sums[at + static_cast<std::size_t>(c)];
        ++windows;
      }
    if (windows == 0) return;
    for (int c = 0; c < channels_; ++c) zero[c] = sum[c] / (static_cast<double>(windows) * w_.windowFrames());
  }

 private:
  const LevelWindows& w_;
  int channels_;
};

// The runs that lie between sounds: a quiet lead-in (the runs that start
// within `lead` windows, as around a thump) or ending parts no songs.
std::vector<Run> inner(std::vector<Run> runs, int64_t windows, int64_t lead) {
  std::erase_if(runs, [&](const Run& r) { return r.first <= lead || r.first + r.count == windows; });
  return runs;
}

std::vector<Run> longerThan(std::vector<Run> runs, int64_t windows) {
  std::erase_if(runs, [&](const Run& r) { return r.count < windows; });
  return runs;
}

}  // namespace

namespace {

// A click in a gap would otherwise part it in two. Not when counting runs
// for a number of songs: the runs the windows see must be the cut's.
bool clickChosen(const DetectSettings& s) { return (s.threshold || s.runLength) && s.ignoreClicks == 0 && s.songs == 0; }

}  // namespace

int32_t ClickFrames(const DetectSettings& s, const PcmFormat& f) {
  return clickChosen(s) ? std::max(kFewestClickFrames, f.sampleRate / kClickRate) : s.ignoreClicks;
}

int32_t LongClickFrames(const DetectSettings& s, const PcmFormat& f) {
  if (!clickChosen(s) || f.sampleRate >= kLongClickRatesBelow) return 0;
  return static_cast<int32_t>(std::lround(kLongClickSeconds * f.sampleRate));
}

int32_t LevelBurstFrames(const DetectSettings& s, const PcmFormat& f) {
  const int32_t k = std::max(ClickFrames(s, f), LongClickFrames(s, f));
  return k > 0 ? k + 1 : 0;
}


namespace {

// With the window peaks as P, which holds every one exactly.
template <class P>
Detection DetectAs(const LevelWindows& levels, const DetectSettings& s) {
  const PcmFormat& f = levels.format();
  const int32_t W = levels.windowFrames();
  const auto windows = static_cast<int64_t>(levels.windowCount());
  const auto seconds = [&](double x) { return std::max<int64_t>(1, std::llround(x * f.sampleRate / W)); };
  const double step = sampleStep(f);
  const double maxThreshold = f.bitsPerSample == 8 && !f.isFloat() ? 128 : kMaxThreshold;
  const Levels lv(levels);
  // The floor is a median window peak; a window holds W frames of each channel.
  const double aboveFloor = kQuietSigmas / medianPeakSigmas(static_cast<double>(W) * f.channels);

  Detection d;
  d.threshold = s.givenThreshold;
  d.runLength = s.givenRunLength;
  d.zero = s.givenZero;
  d.ignoreClicks = s.ignoreClicks;
  d.ignoreClicks = ClickFrames(s, f);
  const int64_t bridge = d.ignoreClicks > 0 ? (d.ignoreClicks + W - 1) / W + 1 : 0;

  double zero[2] = {static_cast<double>(s.givenZero.left), static_cast<double>(s.givenZero.right)};
  if (f.channels == 1) zero[1] = zero[0];
  auto roundZero = [&] {
    const double limit = f.bitsPerSample == 8 && !f.isFloat() ? 127 : 32767;
    for (double& z : zero) z = std::clamp(std::round(z), -limit, limit);
    if (f.channels == 1) zero[1] = zero[0];
  };
  Counts counts;
  std::vector<double> scratch;
  // The spread of each window first, then the peaks in the same room.
  UnsetList<P> peaks;
  if (s.zero) {
    // First guess: the spread of the quietest windows is least, their mean
    // the zero point.
    lv.spreads(peaks, counts);
    const std::size_t all = peaks.size();
    const auto k = std::min(all, std::max<std::size_t>(10, static_cast<std::size_t>(kQuietShare * all)));
    // The k least by spread, then by place: all of the parts below the one
    // that holds the k-th, and the least of that one.
    std::vector<std::pair<float, uint32_t>> least, edge;
    if (k > 0) {
      std::size_t below = 0;
      const uint32_t part = counts.partHolding(k - 1, below);
      for (std::size_t i = 0; i < all; ++i) {
        const auto sp = static_cast<float>(peaks[i]);
        const uint32_t p = Counts::partOf(sp);
        if (p <= part) (p < part ? least : edge).emplace_back(sp, static_cast<uint32_t>(i));
      }
      const auto kth = edge.begin() + static_cast<std::ptrdiff_t>(k - below);
      if (kth != edge.end()) std::nth_element(edge.begin(), kth, edge.end());
      least.insert(least.end(), edge.begin(), kth);
      std::sort(least.begin(), least.end());
    }
    std::vector<Run> quietest;
    for (const auto& [sp, i] : least) quietest.push_back({static_cast<int64_t>(i), 1});
    lv.meanOver(quietest, zero);
    roundZero();
  }

  // The gaps' level: the quietest windows first, then the median window of
  // the stretches that stay below twice their peak. Not less: windows of
  // Gaussian hiss peak up to 1.7 (441 frames stereo) to 2 (110 mono) times
  // the quietest 0.5 %, and stretches that stop lower hold the lower only.
  const bool wholeSteps = f.bitsPerSample == 8 && !f.isFloat();
  double cutThreshold = s.givenThreshold;
  // Of the peaks, counted as they were found.
  auto thresholdFor = [&] {
    const double low = counts.quantile(
        kQuietShare, [&](auto&& each) { for (const P x : peaks) each(x); }, scratch);
    double floor = low;
    const auto stretches = longerThan(Levels::runs(peaks, std::max(low * 2, low + 2 * step), bridge),
                                      seconds(kFloorStretchSeconds));
    auto inside = [&](auto&& each) {
      for (const Run& r : stretches)
        for (int64_t i = r.first; i < r.first + r.count; ++i) each(peaks[static_cast<std::size_t>(i)]);
    };
    counts.clear();
    inside([&](double x) { counts.add(x); });
    if (counts.total() > 0) floor = counts.quantile(0.5, inside, scratch);
    double t = std::clamp(std::ceil(std::max(floor * aboveFloor, floor + step)), 1.0, maxThreshold);
    cutThreshold = t;
    if (counts.total() == 0) return t;
    // Whole steps: dither and hiss of part of a step reach the step above
    // the floor in many windows, and the windows' runs would fall apart.
    if (wholeSteps) {
      const auto over = [&](double c) {
        int64_t n = 0;
        inside([&](double x) { n += x >= c; });
        return static_cast<double>(n);
      };
      while (t < maxThreshold && over(t) > kWindowsOverShare * static_cast<double>(counts.total())) ++t;
      cutThreshold = t;
    }
    if (d.ignoreClicks == 0 || s.songs > 0) return t;
    // The cut's own test hears only runs longer than a click, and those the
    // gaps seldom hold at a lower level: the share of their windows that must
    // hold no sample reaching it, for a frame to reach it seldom enough.
    const double frame = std::pow(kGapBurstsPerSecond / f.sampleRate, 1.0 / (d.ignoreClicks + 1));
    const double quiet = std::pow(1 - frame, W) * static_cast<double>(counts.total());
    const double n = static_cast<double>(counts.total() - 1);
    if (quiet > n) return t;
    const double rank = std::max(0.0, std::ceil(quiet) - 1);
    const double reached = counts.quantile(n > 0 ? std::min(1.0, (rank + 0.5) / n) : 0, inside, scratch);
    const double sigma = floor / medianPeakSigmas(static_cast<double>(W) * f.channels);
    cutThreshold = std::clamp(std::max(std::floor(reached) + 1, std::ceil(kCutSigmas * sigma)), 1.0, t);
    return t;
  };
  lv.peaks(zero, peaks, s.threshold ? &counts : nullptr);
  double threshold = s.threshold ? thresholdFor() : s.givenThreshold;
  // The quiet runs of these peaks under this threshold, when found already.
  std::vector<Run> quietRuns;
  bool haveRuns = false;
  if (s.zero) {
    // The zero points again, from all the quiet stretches the threshold finds;
    // the same ones give the same peaks and threshold.
    const double before[2] = {zero[0], zero[1]};
    quietRuns = Levels::runs(peaks, threshold, bridge);
    haveRuns = true;
    lv.meanOver(longerThan(quietRuns, seconds(kFloorStretchSeconds)), zero, &peaks, threshold);
    roundZero();
    if (zero[0] != before[0] || zero[1] != before[1]) {
      lv.peaks(zero, peaks, s.threshold ? &counts : nullptr);
      if (s.threshold) threshold = thresholdFor();
      haveRuns = false;
    }
  }
  d.threshold = static_cast<int32_t>(cutThreshold);
  const double fullScale = f.bitsPerSample == 8 && !f.isFloat() ? 128 : 32768;
  if (const int32_t longer = LongClickFrames(s, f);
      longer > 0 && d.threshold > 0 && 20 * std::log10(d.threshold / fullScale) <= kLongClickBelowDb)
    d.ignoreClicks = longer;
  d.zero = {static_cast<int32_t>(zero[0]), static_cast<int32_t>(zero[1])};

  // Quiet runs by the cut's own test, in windows; a run of w whole windows
  // lasts at least w and less than w + 2 windows' frames.
  const std::vector<Run> allRuns = haveRuns ? std::move(quietRuns) : Levels::runs(peaks, threshold, bridge);
  const int64_t lead = seconds(kLeadInSeconds);
  const std::vector<Run> runs = longerThan(inner(allRuns, windows, lead), seconds(kShortestGapSeconds));
  // A quiet lead-in longer than N would make a piece of its own: N passes it
  // when it can stay below the shortest run that is to end a song.
  int64_t leadIn = 0;
  for (const Run& r : allRuns)
    if (r.first <= lead) leadIn = (r.first + r.count + 2) * W;
  auto pastLeadIn = [&](int64_t n, int64_t shortestBreak) {
    return leadIn > n && leadIn < shortestBreak ? (leadIn + shortestBreak) / 2 : n;
  };
  auto sortedInner = [&] {
    std::vector<int64_t> v;
    for (const Run& r : runs) v.push_back(r.count);
    std::sort(v.rbegin(), v.rend());
    return v;
  };
  if (s.songs > 0) {
    const std::vector<int64_t> v = sortedInner();
    const auto k = std::min<std::size_t>(v.size(), static_cast<std::size_t>(s.songs - 1));
    d.breaksFound = static_cast<int32_t>(k);
    if (k == 0) {
      // No break: a run longer than the whole data ends nothing.
      d.runLength = kMaxRunLength;
    } else {
      const int64_t hi = v[k - 1] * W;  // the k-th longest run lasts at least this
      const int64_t lo = k < v.size() ? (v[k] + 2) * W : seconds(kShortestGapSeconds) * W;
      d.runLength = static_cast<int32_t>(
          std::clamp<int64_t>(pastLeadIn(hi > lo ? (hi + lo) / 2 : hi - 1, hi), 1, kMaxRunLength));
    }
    return d;
  }
  if (s.runLength) {
    // Between the longest pause and the shortest gap: where consecutive
    // lengths differ most by ratio, and near the gap. The lowest run is
    // measured against the shortest gap, not less: else a lone pause of
    // the music outweighs the step from the pauses to the gaps.
    std::vector<int64_t> all;
    for (const Run& r : inner(allRuns, windows, lead)) all.push_back(r.count);
    std::sort(all.rbegin(), all.rend());
    const int64_t shortest = seconds(kShortestGapSeconds);
    auto below = [&](std::size_t i) {
      return std::max<double>(i + 1 < all.size() ? static_cast<double>(all[i + 1]) + 2 : 0,
                              static_cast<double>(shortest));
    };
    // N with all[i] the shortest gap.
    auto take = [&](std::size_t i) {
      const auto gap = static_cast<double>(all[i]);
      const auto n = std::llround(std::max(std::sqrt(gap * below(i)), kBelowShortestGap * gap) * W);
      d.runLength = static_cast<int32_t>(std::clamp<int64_t>(pastLeadIn(n, all[i] * W), 1, kMaxRunLength));
    };
    double best = 0;
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < all.size() && all[i] >= shortest; ++i) {
      const double length = static_cast<double>(all[i]) * W / f.sampleRate;
      const bool pausesBelow = i + 1 < all.size() && all[i + 1] >= shortest;
      const double ratio =
          static_cast<double>(all[i]) / below(i) * (pausesBelow ? std::min(1.0, length / kSureGapSeconds) : 1.0);
      if (ratio > best) {
        best = ratio;
        chosen = i;
        take(i);
      }
    }
    // A lead-in that N does not pass is a piece of silence, an error for
    // sure. When a single run lies between N and the lead-in, N passes both:
    // if that run is a gap one break is missed instead, if it is a lone
    // pause of the music (as likely) two errors are spared.
    if (best > 0 && chosen > 0 && leadIn > d.runLength && all[chosen] * W < leadIn && all[chosen - 1] * W > leadIn)
      take(chosen - 1);
  }
  return d;
}

}  // namespace

Detection Detect(const LevelWindows& levels, const DetectSettings& s) {
  // Peaks of integers up to 24 bits less a whole zero point need 24 bits,
  // of 8 and 16 bits whole ones 16.
  const PcmFormat& f = levels.format();
  if (f.isFloat() || f.bitsPerSample > 24) return DetectAs<double>(levels, s);
  return f.bitsPerSample <= 16 ? DetectAs<uint16_t>(levels, s) : DetectAs<float>(levels, s);
}

}  // namespace mv
