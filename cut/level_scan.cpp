// A window holding more frames in a row louder than the threshold plus the
// zero point than the click tolerance allows holds a sound that ends any
// quiet run, and after it the scan carries nothing. So every quiet run lies
// between two such sounds, within the stretch from the first one's window
// through the second one's, and is no longer than it. Stretches long enough
// to end a song or to hold the longest run are tested again as the scan
// would, from a fresh start; the others cannot change the report.

#include "cut/level_scan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "cut/measure.h"
#include "cut/unset_list.h"
#include "wave/errors.h"

namespace mv {

namespace {

// Frames from the start of a window holding a sound longer than any click
// a run may hold, through the end of the next such window: every quiet run
// lies within one such stretch, after the first sound and before the second.
struct Stretch {
  int64_t first, through;
  int64_t frames() const { return through - first; }
};

// The lowest and highest sample of each channel over some windows.
struct Range {
  double lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY};
  // Of a window's exact range or an envelope group.
  template <class Levels>
  void add(const Levels& w, int channels) {
    for (int c = 0; c < channels; ++c) {
      lo[c] = std::min<double>(lo[c], w.lo[c]);
      hi[c] = std::max<double>(hi[c], w.hi[c]);
    }
  }
};

class LevelScan {
 public:
  LevelScan(const CutSettings& s, ZeroPoints z, const LevelWindows& levels, CutSource src)
      : s_(s),
        z_(z),
        lv_(levels),
        src_(src),
        fmt_(s.format),
        fs_(fmt_.frameBytes()),
        k_(ScanKernelsFor(fmt_)),
        n_(s.runLength),
        W_(levels.windowFrames()),
        whole_(src.dataSize / fs_),
        tested_(src.dataSize / (int64_t{fs_} * n_) * n_) {}

  // The stretches between sounds, within the tested frames, of at least
  // `least` frames; `longestLeft` is the longest of the others.
  std::vector<Stretch> stretches(int64_t least, int64_t& longestLeft) const {
    const double zero = fmt_.channels == 2 ? std::max(std::abs(z_.left), std::abs(z_.right)) : std::abs(z_.left);
    // One step more than the test needs, for the rounding of the levels.
    const double loud = s_.threshold + zero + 1;
    std::vector<Stretch> out;
    // In locals, which the stores into `out` may not alias.
    const int64_t W = W_, tested = tested_;
    int64_t longest = 0;
    auto add = [&](const Stretch& x) {
      if (x.frames() >= least)
        out.push_back(x);
      else
        longest = std::max(longest, x.frames());
    };
    int64_t from = 0;
    lv_.withSustained([&](const auto& sustained) {
      // The windows that start before the tested frames end and lie within
      // the whole frames.
      const int64_t end = std::min({static_cast<int64_t>(sustained.size()), whole_ / W, (tested + W - 1) / W});
      // Whole levels against a whole one, in integers.
      using T = std::remove_cvref_t<decltype(sustained[0])>;
      using L = std::conditional_t<std::is_integral_v<T>, int64_t, double>;
      const auto bar = static_cast<L>(loud);
      const T* level = sustained.data();
      for (int64_t w = 0; w < end; ++w) {
        if (static_cast<L>(level[w]) < bar) continue;
        add({from, std::min((w + 1) * W, tested)});
        from = w * W;
      }
    });
    if (from < tested) add({from, tested});
    longestLeft = longest;
    return out;
  }

  // The scan of these stretches; false when cancelled.
  bool scan(const std::vector<Stretch>& all, JobHost& host, ScanReport& report) {
    const SilenceRule rule = SilenceRuleFor(s_);
    st_ = RunState{};
    cuts_.clear();
    gaps_.clear();
    int64_t at = 0;  // the frame after the last one tested
    int64_t cutBlock = -1;
    const int64_t partFrames = std::max<int64_t>(1, kScanPartBytes / fs_);
    UnsetList<uint8_t> buffer(static_cast<std::size_t>(partFrames * fs_));  // filled by each read
    for (const Stretch& x : all) {
      if (x.first > at) fresh();
      for (int64_t f = std::max(x.first, at); f < x.through;) {
        const int64_t count = std::min(partFrames, x.through - f);
        read(f, count, buffer.data());
        for (int64_t g = f; g < f + count;) {
          const int64_t blockStart = g / n_ * n_;
          const int64_t stop = std::min(f + count, blockStart + n_);
          if (st_.blockStart != blockStart || g == blockStart) {
            st_.blockStart = blockStart;
            st_.lastQuiet = 0;
          }
          int32_t cutAt = 0;
          if (cutBlock != blockStart &&
              k_.scan(buffer.data() + (g - f) * fs_, static_cast<int32_t>(g - blockStart),
                      static_cast<int32_t>(stop - blockStart), rule, st_, cutAt) >= 0) {
            cutBlock = blockStart;
            cuts_.push_back(blockStart + cutAt);
            gaps_.push_back(Piece::Gap{st_.cutRun, std::nullopt, st_.cutRunEnd});
          }
          g = stop;
        }
        f += count;
        at = f;
        host.progress(ProgressPercent(f, tested_));
        host.pump();
        if (host.cancelRequested()) return false;
      }
    }
    if (at < tested_) fresh();
    st_.blockStart = tested_;
    k_.end(st_);
    report.longestQuiet.reset();
    if (st_.longest > 0) report.longestQuiet = QuietRun{st_.longestEnd - st_.longest, st_.longest};
    report.shortSoundBreak = st_.shortBreak;
    return true;
  }

  int64_t longest() const { return st_.longest; }
  std::size_t cuts() const { return cuts_.size(); }

  // The pieces, the envelope and the quietest block, from the levels and the
  // frames at the pieces' and blocks' edges.
  void measure(ScanReport& report) {
    report.pieces.clear();
    const int64_t partial = src_.dataSize % fs_;
    for (std::size_t i = 0; i <= cuts_.size(); ++i) {
      const int64_t from = i == 0 ? 0 : cuts_[i - 1], to = i < cuts_.size() ? cuts_[i] : whole_;
      Piece p;
      p.firstByte = from * fs_;
      p.dataBytes = (to - from) * fs_ + (i == cuts_.size() ? partial : 0);
      p.peak = peakOf(from, to);
      if (i > 0) p.gap = gaps_[i - 1];
      report.pieces.push_back(p);
    }
    const int32_t tail = partial > 0 ? rawTailPeak(partial) : 0;
    if (partial > 0) report.pieces.back().peak = std::max(report.pieces.back().peak, tail);

    const int64_t G = lv_.groupFrames();
    report.envelopeFrames = G;
    report.envelope.clear();
    for (const auto& g : lv_.groups()) report.envelope.push_back(peakOfRange(g.lo, g.hi));
    if (partial > 0) {
      if (whole_ % G == 0) report.envelope.push_back(0);
      report.envelope.back() = std::max(report.envelope.back(), tail);
    }

    // The quietest whole block: its full windows bound it from below, the
    // windows it touches from above; only those that may be the quietest are
    // measured to the frame.
    report.quietestBlockPeak.reset();
    const int64_t blocks = src_.dataSize / (int64_t{fs_} * n_);
    const auto count = static_cast<int64_t>(lv_.windowCount());
    std::vector<int32_t> below(static_cast<std::size_t>(blocks));
    int32_t leastAbove = INT32_MAX;
    for (int64_t b = 0; b < blocks; ++b) {
      const int64_t first = (b * n_ + W_ - 1) / W_, end = (b + 1) * n_ / W_;
      Range in, touched;
      addWindows(in, first, end);
      touched = in;
      for (const int64_t w : {b * n_ / W_, end})
        if (w < count && (w < first || w >= end)) addWindow(touched, w);
      below[static_cast<std::size_t>(b)] = peakOfRange(in.lo, in.hi);
      leastAbove = std::min(leastAbove, peakOfRange(touched.lo, touched.hi));
    }
    for (int64_t b = 0; b < blocks; ++b) {
      if (below[static_cast<std::size_t>(b)] > leastAbove) continue;
      const int32_t peak = peakOf(b * n_, (b + 1) * n_);
      if (!report.quietestBlockPeak || peak < *report.quietestBlockPeak) report.quietestBlockPeak = peak;
    }
    GapPeaksFromEnvelope(report);
  }

 private:
  void fresh() {
    st_.silent = 0;
    st_.pending = false;
    st_.burst = 0;
    st_.brokenRun = 0;
    st_.soundSince = 0;
    st_.maybeBreak.reset();
  }

  // `count` frames from `first`, corrected as the scan corrects them.
  void read(int64_t first, int64_t count, uint8_t* to) {
    src_.stream.seek(src_.dataStart + first * fs_);
    src_.stream.readFull(to, static_cast<std::size_t>(count * fs_));
    if (z_.any()) k_.correct(to, static_cast<int32_t>(count), z_);
  }

  // The range of windows from..to-1, exact: the least and most of floats
  // are floats, widened once.
  void addWindows(Range& r, int64_t from, int64_t to) const {
    if (!lv_.windowRanges().empty()) {
      for (int64_t w = from; w < to; ++w) addWindow(r, w);
      return;
    }
    if (to <= from) return;
    lv_.withBounds([&](const auto& bounds) {
      const auto each = [&]<int Channels>() {
        using T = decltype(bounds[0].lo);
        using Limits = std::numeric_limits<T>;
        // A float channel of NaNs only is empty: lo above hi.
        const T above = Limits::has_infinity ? Limits::infinity() : Limits::max();
        const T below = Limits::has_infinity ? -Limits::infinity() : Limits::lowest();
        T least[2] = {above, above}, most[2] = {below, below};
        auto i = static_cast<std::size_t>(from * Channels);
        const auto end = static_cast<std::size_t>(to * Channels);
        if constexpr (std::is_same_v<T, int16_t>) {
          // Four bounds a step in one vector, each lane the lo or the hi of
          // a channel (2 / Channels steps of a window apart).
          using V = int16_t __attribute__((vector_size(16)));
          V lo, hi;
          for (int k = 0; k < 8; ++k) {
            lo[k] = above;
            hi[k] = below;
          }
          for (; i + 4 <= end; i += 4) {
            V x;
            std::memcpy(&x, &bounds[i], sizeof x);
            lo = x < lo ? x : lo;
            hi = x > hi ? x : hi;
          }
          for (int k = 0; k < 8; k += 2) {
            const int c = Channels == 2 ? k / 2 % 2 : 0;
            least[c] = std::min<T>(least[c], lo[k]);
            most[c] = std::max<T>(most[c], hi[k + 1]);
          }
        }
        for (; i < end; i += Channels)
          for (int c = 0; c < Channels; ++c) {
            least[c] = std::min(least[c], bounds[i + c].lo);
            most[c] = std::max(most[c], bounds[i + c].hi);
          }
        for (int c = 0; c < Channels; ++c) {
          r.lo[c] = std::min<double>(r.lo[c], least[c]);
          r.hi[c] = std::max<double>(r.hi[c], most[c]);
        }
      };
      if (fmt_.channels == 2)
        each.template operator()<2>();
      else
        each.template operator()<1>();
    });
  }

  // Window w's range, exact.
  void addWindow(Range& r, int64_t w) const {
    const auto i = static_cast<std::size_t>(w);
    if (!lv_.windowRanges().empty()) {
      r.add(lv_.windowRanges()[i], fmt_.channels);
      return;
    }
    for (int c = 0; c < fmt_.channels; ++c) {
      r.lo[c] = std::min<double>(r.lo[c], lv_.lo(i, c));
      r.hi[c] = std::max<double>(r.hi[c], lv_.hi(i, c));
    }
  }

  // The peak of corrected samples from lo to hi of each channel, in the
  // levels' units: the largest |sample| of a range lies at one of its ends.
  // A channel with no sample but NaNs is given NaNs, which no peak counts.
  int32_t peakOfRange(const double lo[2], const double hi[2]) const {
    if (!(lo[0] <= hi[0]) && !(fmt_.channels == 2 && lo[1] <= hi[1])) return 0;  // no frames
    uint8_t frames[2 * 2 * 8];
    for (int c = 0; c < fmt_.channels; ++c) {
      const bool empty = !(lo[c] <= hi[c]);
      encode(empty ? NAN : lo[c], frames + c * fmt_.bytesPerSample());
      encode(empty ? NAN : hi[c], frames + fs_ + c * fmt_.bytesPerSample());
    }
    if (z_.any()) k_.correct(frames, 2, z_);
    return k_.peak(frames, static_cast<std::size_t>(2 * fs_));
  }

  void encode(double v, uint8_t* p) const {
    if (fmt_.isFloat() && fmt_.bitsPerSample == 64) {
      const double x = v / 32768;
      std::memcpy(p, &x, 8);
      return;
    }
    if (fmt_.isFloat()) {
      const auto x = static_cast<float>(v / 32768);
      std::memcpy(p, &x, 4);
      return;
    }
    switch (fmt_.bitsPerSample) {
      case 8:
        p[0] = static_cast<uint8_t>(static_cast<int32_t>(v) + 128);
        return;
      case 16: {
        const auto x = static_cast<uint16_t>(static_cast<int16_t>(v));
        p[0] = static_cast<uint8_t>(x);
        p[1] = static_cast<uint8_t>(x >> 8);
        return;
      }
      case 24: {
        const auto x = static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 256)));
        p[0] = static_cast<uint8_t>(x);
        p[1] = static_cast<uint8_t>(x >> 8);
        p[2] = static_cast<uint8_t>(x >> 16);
        return;
      }
      default: {
        const auto x = static_cast<int32_t>(std::llround(v * 65536));
        std::memcpy(p, &x, 4);
      }
    }
  }

  // The peak of windows [from, to).
  int32_t windowsPeak(int64_t from, int64_t to) const {
    Range r;
    addWindows(r, from, std::min<int64_t>(to, static_cast<int64_t>(lv_.windowCount())));
    return peakOfRange(r.lo, r.hi);
  }

  // The peak of frames [from, to): the whole windows from the levels, the
  // rest read.
  int32_t peakOf(int64_t from, int64_t to) {
    // The envelope's whole groups first, then windows, then frames.
    const int64_t G = lv_.groupFrames();
    if (G > 0) {
      const int64_t ga = std::min(to, (from + G - 1) / G * G), gb = std::max(ga, to / G * G);
      if (gb > ga) {
        Range r;
        for (int64_t g = ga / G; g < gb / G; ++g) r.add(lv_.groups()[static_cast<std::size_t>(g)], fmt_.channels);
        return std::max({peakOfRange(r.lo, r.hi), peakOf(from, ga), peakOf(gb, to)});
      }
    }
    const int64_t a = std::min(to, (from + W_ - 1) / W_ * W_), b = std::max(a, to / W_ * W_);
    return std::max({windowsPeak(a / W_, b / W_), framesPeak(from, a), framesPeak(b, to)});
  }

  int32_t framesPeak(int64_t from, int64_t to) {
    if (to <= from) return 0;
    std::vector<uint8_t> frames(static_cast<std::size_t>((to - from) * fs_));
    read(from, to - from, frames.data());
    return k_.peak(frames.data(), frames.size());
  }

  // The part of a frame after the last whole one goes into the last piece
  // as it is.
  int32_t rawTailPeak(int64_t bytes) {
    std::vector<uint8_t> tail(static_cast<std::size_t>(bytes));
    src_.stream.seek(src_.dataStart + whole_ * fs_);
    src_.stream.readFull(tail.data(), tail.size());
    return k_.peak(tail.data(), tail.size());
  }

  const CutSettings& s_;
  ZeroPoints z_;
  const LevelWindows& lv_;
  CutSource src_;
  PcmFormat fmt_;
  int32_t fs_;
  ScanKernels k_;
  int64_t n_;
  int64_t W_;
  int64_t whole_, tested_;
  RunState st_;
  std::vector<int64_t> cuts_;
  std::vector<Piece::Gap> gaps_;
};

}  // namespace

bool CanScanFromLevels(const CutSettings& s, const LevelWindows& levels, const CutSource& src) {
  const PcmFormat& f = s.format;
  const int64_t fs = f.frameBytes();
  // 32-bit samples too: an integer's level is rounded to a float's 24 bits,
  // by at most 1/512 of a 16-bit unit, a float's is exact, and a NaN counts
  // as 0 where the scan takes it as sound. A 64-bit float's is rounded to a
  // float's digits: by half a unit at most below 2^24 units, and above them
  // it is far past any threshold. So every frame of a window's sustained
  // level T + |zero| + 1 has a sample of at least T, corrected and clamped:
  // loud by the scan's test. Levels sustained over more frames than a click
  // serve any shorter click.
  const bool kernel = f.isFloat() ? f.bitsPerSample == 32 || f.bitsPerSample == 64
                                  : f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                                        f.bitsPerSample == 32;
  return s.dryRun && s.mode == CutMode::AtSilences && !s.keepSilenceSeconds && kernel && levels.format() == f &&
         s.ignoreClicks > 0 && levels.burstFrames() >= s.ignoreClicks + 1 && s.runLength >= 4 * levels.windowFrames() &&
         levels.frames() == src.dataSize / fs && levels.groupFrames() == EnvelopeFrames(f, src.dataSize) &&
         src.dataSize >= fs && src.stream.size() - src.dataStart >= src.dataSize;
}

bool ScanFromLevels(const CutSettings& s, ZeroPoints zero, const LevelWindows& levels, CutSource src, JobHost& host,
                    PieceSink& out, ScanReport& report) {
  LevelScan scan(s, zero, levels, src);
  host.resetCancel();
  out.start(1);
  // Stretches long enough to end a song first; then, if one left out could
  // hold the longest quiet run, those as long as that run too.
  int64_t left = 0;
  if (!scan.scan(scan.stretches(s.runLength + int64_t{1}, left), host, report)) return false;
  const int64_t longest = std::max<int64_t>(1, scan.longest());
  if (left >= longest && !scan.scan(scan.stretches(longest, left), host, report)) return false;
  for (std::size_t i = 0; i < scan.cuts(); ++i) {
    out.finish();
    const auto song = static_cast<int32_t>(i + 2);
    host.status(std::to_string(song) + std::string(msg::kSongDetected));
    out.start(song);
  }
  scan.measure(report);
  out.finish();
  return true;
}

}  // namespace mv
