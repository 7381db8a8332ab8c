// The wide kernels against the portable ones: the same states, cuts,
// corrections and peaks on random blocks read in random parts. The wider
// samples against 16-bit ones: the same silence on the same signal scaled.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "cut/scan_kernels.h"
// The kernels' own helpers, for the rule taken plainly, frame by frame (not
// all of them are used here).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include "cut/scan_kernels.inc"
#pragma GCC diagnostic pop

namespace mv {
namespace {

using Bytes = std::vector<uint8_t>;

// Quiet stretches with clicks in them, loud stretches, and samples right at
// the threshold.
Bytes randomFrames(std::mt19937& rng, int bits, std::size_t bytes, int t) {
  Bytes d;
  const int limit = bits == 8 ? 128 : 32768;
  while (d.size() < bytes) {
    const int kind = static_cast<int>(rng() % 4);
    const int length = kind == 0 ? 1 + static_cast<int>(rng() % 4000) : 1 + static_cast<int>(rng() % 200);
    for (int i = 0; i < length; ++i) {
      int v;
      if (kind == 0 || (kind == 1 && rng() % 30 != 0))
        v = static_cast<int>(rng() % static_cast<unsigned>(t)) * (rng() % 2 ? 1 : -1);
      else if (kind == 2)
        v = (t - 1 + static_cast<int>(rng() % 2)) * (rng() % 2 ? 1 : -1);
      else
        v = static_cast<int>(rng() % static_cast<unsigned>(2 * limit)) - limit;
      if (bits == 8) {
        d.push_back(static_cast<uint8_t>(std::clamp(v, -128, 127) + 128));
      } else {
        d.push_back(static_cast<uint8_t>(v));
        d.push_back(static_cast<uint8_t>(v >> 8));
      }
    }
  }
  d.resize(bytes);
  return d;
}


// The formats beyond 8 and 16 bits.
std::vector<PcmFormat> widerFormats() {
  std::vector<PcmFormat> all;
  for (const uint16_t channels : {1, 2}) {
    for (const uint16_t bits : {24, 32}) all.push_back({channels, 96000, bits, SampleKind::Integer});
    for (const uint16_t bits : {32, 64}) all.push_back({channels, 48000, bits, SampleKind::Float});
  }
  return all;
}

std::string nameOf(const PcmFormat& f) {
  return std::to_string(f.bitsPerSample) + (f.isFloat() ? "-bit float " : "-bit ") +
         (f.channels == 2 ? "stereo" : "mono");
}

template <class T>
void put(Bytes& d, T v) {
  uint8_t b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));
  d.insert(d.end(), b, b + sizeof(T));
}

// One sample in a format's coding: an integer is written in its low bytes.
void putSample(Bytes& d, const PcmFormat& f, double v) {
  if (f.isFloat()) {
    if (f.bitsPerSample == 32)
      put(d, static_cast<float>(v));
    else
      put(d, v);
    return;
  }
  const auto i = static_cast<int64_t>(v);
  for (int k = 0; k < f.bytesPerSample(); ++k) d.push_back(static_cast<uint8_t>(i >> (8 * k)));
}

double sampleOf(const Bytes& d, std::size_t at, const PcmFormat& f) {
  if (f.isFloat() && f.bitsPerSample == 32) {
    float v;
    std::memcpy(&v, d.data() + at, 4);
    return v;
  }
  if (f.isFloat()) {
    double v;
    std::memcpy(&v, d.data() + at, 8);
    return v;
  }
  const int b = f.bytesPerSample();
  int64_t v = 0;
  for (int k = 0; k < b; ++k) v |= int64_t{d[at + k]} << (8 * k);
  return static_cast<double>(v << (64 - 8 * b) >> (64 - 8 * b));
}

// 16-bit samples in a wider format: scaled by 2^(bits - 16), floats by
// 1/32768, with random lower bits that move each sample away from zero (but
// not past the width). Every sample keeps its 16-bit quietness for every
// threshold, and the samples right at a threshold get both their nearest
// values: the last quiet and the first loud one.
Bytes scaled(std::mt19937& rng, const std::vector<int16_t>& s, const PcmFormat& f) {
  const double unit = f.isFloat() ? 1.0 / 32768 : std::ldexp(1.0, f.bitsPerSample - 16);
  const int fraction = f.isFloat() ? 256 : static_cast<int>(unit);  // steps of the lower bits
  Bytes d;
  for (const int16_t v : s) {
    const unsigned pick = rng() % 4;
    int low = pick == 0 ? 0 : pick == 1 ? fraction - 1 : static_cast<int>(rng() % static_cast<unsigned>(fraction));
    if (v == -32768 && !f.isFloat()) low = 0;
    const double magnitude = (std::abs(int{v}) + static_cast<double>(low) / fraction) * (f.isFloat() ? unit : fraction);
    putSample(d, f, v < 0 ? -magnitude : magnitude);
  }
  return d;
}

std::vector<int16_t> samples16(const Bytes& d) {
  std::vector<int16_t> s(d.size() / 2);
  std::memcpy(s.data(), d.data(), s.size() * 2);
  return s;
}

// Random frames of any format: a wider format's are 16-bit ones scaled, with
// a float's NaNs, infinities and samples beyond full scale here and there.
Bytes randomFramesOf(std::mt19937& rng, const PcmFormat& f, std::size_t bytes, int t) {
  if (f.bitsPerSample <= 16 && !f.isFloat()) return randomFrames(rng, f.bitsPerSample, bytes, t);
  const std::size_t samples = (bytes + f.bytesPerSample() - 1) / f.bytesPerSample();
  Bytes d = scaled(rng, samples16(randomFrames(rng, 16, samples * 2, t)), f);
  if (f.isFloat()) {
    const double special[] = {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity(),
                              1.5, -0.0};
    for (std::size_t i = 0; i < samples; i += 1 + rng() % 700) {
      Bytes one;
      putSample(one, f, special[rng() % 4]);
      std::copy(one.begin(), one.end(), d.begin() + static_cast<std::ptrdiff_t>(i * one.size()));
    }
  }
  d.resize(bytes);
  return d;
}

// A sustained level is one that `burst` frames in a row all reach, by their
// levels in order; 0 always is.
template <class L, class S>
bool sustains(const std::vector<L>& levels, S sustained, int32_t burst) {
  if (sustained == 0) return true;
  for (std::size_t i = 0; i + static_cast<std::size_t>(burst) <= levels.size(); ++i)
    if (std::all_of(levels.begin() + static_cast<std::ptrdiff_t>(i),
                    levels.begin() + static_cast<std::ptrdiff_t>(i) + burst, [&](L v) { return v >= sustained; }))
      return true;
  return false;
}

// The levels of 32 and 64-bit float frames, with NaNs, infinities and
// samples beyond full scale among them: portable and wide alike, and as a
// plain reading gives them (the sums in another order, so nearly).
void floatLevelsMatchAPlainReading(std::mt19937& rng, const PcmFormat& format, const ScanKernels& portable,
                                   const ScanKernels& wide) {
  ASSERT_TRUE(portable.floatLevels && wide.floatLevels);
  const int f = format.frameBytes(), channels = format.channels, bytes = format.bytesPerSample();
  const bool wide64 = format.bitsPerSample == 64;
  Bytes e = randomFramesOf(rng, format, 12288, 3000);
  // A stretch where the first channel is all NaN.
  for (int i = 300; i < 420; ++i) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto narrow = static_cast<float>(nan);
    std::memcpy(e.data() + i * f, wide64 ? static_cast<const void*>(&nan) : &narrow, static_cast<std::size_t>(bytes));
  }
  for (int32_t at = 0; at < 40; ++at)
    for (int32_t count = 1; static_cast<std::size_t>((at + count) * f) <= e.size();
         count += 1 + static_cast<int32_t>(rng() % 131)) {
      SCOPED_TRACE(::testing::Message() << nameOf(format) << " " << at << "+" << count);
      FloatLevels plain{{INFINITY, INFINITY}, {-INFINITY, -INFINITY}, {false, false}, {0, 0}}, x, y;
      x.burst = y.burst = 1 + static_cast<int32_t>(rng() % 12);
      std::vector<float> levels;
      for (int32_t i = at; i < at + count; ++i) {
        double loud = 0;
        for (int c = 0; c < channels; ++c) {
          double v = sampleOf(e, static_cast<std::size_t>(i * f + bytes * c), format);
          if (!wide64) v = static_cast<float>(v);
          if (std::isnan(v)) {
            plain.nan[c] = true;
            continue;
          }
          plain.lo[c] = std::min(plain.lo[c], v);
          plain.hi[c] = std::max(plain.hi[c], v);
          plain.sum[c] += wide64 ? v * 32768.0 : static_cast<float>(v) * 32768.0f;
          loud = std::max(loud, std::abs(v * 32768.0));
        }
        // As the kernel keeps it: a 64-bit level rounded to a float's digits.
        levels.push_back(static_cast<float>(loud));
      }
      portable.floatLevels(e.data() + at * f, count, x);
      wide.floatLevels(e.data() + at * f, count, y);
      ASSERT_EQ(x.sustained, y.sustained);
      for (int c = 0; c < channels; ++c) ASSERT_EQ(std::memcmp(&x.sum[c], &y.sum[c], sizeof(double)), 0) << c;
      for (const FloatLevels* got : {&x, &y}) {
        SCOPED_TRACE(got == &x ? "portable" : "wide");
        ASSERT_TRUE(sustains(levels, got->sustained, got->burst)) << got->sustained << " over " << got->burst;
        for (int c = 0; c < channels; ++c) {
          ASSERT_EQ(got->lo[c], plain.lo[c]) << c;
          ASSERT_EQ(got->hi[c], plain.hi[c]) << c;
          ASSERT_EQ(got->nan[c], plain.nan[c]) << c;
          if (std::isfinite(plain.sum[c]))
            ASSERT_NEAR(got->sum[c], plain.sum[c], 1e-6 * count * 32768) << c;
          else
            ASSERT_EQ(got->sum[c], plain.sum[c]) << c;
        }
      }
    }
  // A steady sound beyond full scale is found sustained at its level.
  Bytes tone;
  for (int i = 0; i < 300 * channels; ++i) putSample(tone, format, i % 3 == 0 ? -1.25 : 1.25);
  for (const ScanKernels* k : {&portable, &wide}) {
    FloatLevels x;
    x.burst = 6;
    k->floatLevels(tone.data(), 300, x);
    EXPECT_EQ(x.sustained, 1.25f * 32768);
  }
}

TEST(ScanKernels, WideKernelsMatchThePortableOnes) {
  std::mt19937 rng(20261208);
  std::vector<PcmFormat> formats;
  for (const char* label : {"16bit, Stereo, 44.1kHz", "16bit, Mono, 44.1kHz", "8bit, Stereo, 44.1kHz",
                            "8bit, Mono, 44.1kHz"})
    formats.push_back(ParseFormatLabel(label));
  for (const PcmFormat& f : widerFormats()) formats.push_back(f);
  for (const PcmFormat& format : formats) {
    const std::string label = nameOf(format);
    const std::optional<ScanKernels> wide = WideScanKernels(format);
    if (!wide) GTEST_SKIP() << "this processor has no wider kernels than the portable ones";
    const ScanKernels portable = PortableScanKernels(format);
    const int f = format.frameBytes();
    for (int round = 0; round < 40; ++round) {
      SCOPED_TRACE(::testing::Message() << label << " round " << round);
      SilenceRule r;
      r.threshold = format.bitsPerSample == 8 ? 1 + static_cast<int>(rng() % 60) : 1 + static_cast<int>(rng() % 3000);
      r.runLength = 1 + static_cast<int32_t>(rng() % 3000);
      r.maxBurst = rng() % 2 ? static_cast<int32_t>(rng() % 30) : 0;
      r.shortSound = 441;
      RunState a, b;
      const ZeroPoints z{static_cast<int32_t>(rng() % 21) - 10, static_cast<int32_t>(rng() % 21) - 10};
      for (int block = 0; block < 12; ++block) {
        Bytes x = randomFramesOf(rng, format, static_cast<std::size_t>(r.runLength) * f, r.threshold);
        Bytes y = x;
        portable.correct(x.data(), r.runLength, z);
        wide->correct(y.data(), r.runLength, z);
        ASSERT_EQ(x, y);
        a.lastQuiet = b.lastQuiet = 0;
        for (int32_t from = 0; from < r.runLength;) {
          const int32_t to = std::min(r.runLength, from + 1 + static_cast<int32_t>(rng() % 900));
          int32_t cutA = -1, cutB = -1;
          // A part alone, so that a read beyond it is caught.
          const Bytes part(x.begin() + from * f, x.begin() + to * f);
          const int32_t soundA = portable.scan(part.data(), from, to, r, a, cutA);
          const int32_t soundB = wide->scan(y.data() + from * f, from, to, r, b, cutB);
          ASSERT_EQ(soundA, soundB);
          ASSERT_EQ(cutA, cutB);
          ASSERT_TRUE(a == b);
          if (soundA >= 0) break;
          from = to;
        }
        a.blockStart = b.blockStart += r.runLength;
      }
      portable.end(a);
      wide->end(b);
      ASSERT_TRUE(a == b);
      ASSERT_EQ(a.longest, b.longest);
    }
    // Peaks of every length from every alignment.
    const Bytes d = randomFramesOf(rng, format, 4096, 3000);
    for (std::size_t at = 0; at < 70; ++at)
      for (std::size_t n = 0; at + n <= d.size(); n += 1 + rng() % 97)
        ASSERT_EQ(portable.peak(d.data() + at, n), wide->peak(d.data() + at, n)) << at << "+" << n;
    // Levels of frames of every count from every alignment, both against a
    // plain reading; the lowest integer sample is one louder than the highest.
    if (format.isFloat()) {
      floatLevelsMatchAPlainReading(rng, format, portable, *wide);
      continue;
    }
    ASSERT_TRUE(portable.levels && wide->levels);
    const int bytes = format.bytesPerSample(), channels = format.channels;
    const int32_t lowest = static_cast<int32_t>(-(int64_t{1} << (format.bitsPerSample - 1)));
    const int32_t highest = -(lowest + 1);
    auto valueAt = [&](const Bytes& from, std::size_t o) {
      return bytes == 1 ? from[o] - 128 : static_cast<int32_t>(sampleOf(from, o, format));
    };
    auto setSample = [&](Bytes& to, std::size_t o, int32_t v) {
      if (bytes == 1) v += 128;
      for (int k = 0; k < bytes; ++k) to[o + k] = static_cast<uint8_t>(v >> (8 * k));
    };
    Bytes e = randomFramesOf(rng, format, 12288, 3000);
    setSample(e, static_cast<std::size_t>(7 * f), lowest);
    setSample(e, static_cast<std::size_t>(11 * f + bytes * (channels - 1)), highest);
    for (int32_t at = 0; at < 40; ++at)
      for (int32_t count = 1; static_cast<std::size_t>((at + count) * f) <= e.size();
           count += 1 + static_cast<int32_t>(rng() % 131)) {
        FrameLevels plain{{highest, highest}, {lowest, lowest}, {0, 0}}, x, y;
        x.burst = y.burst = 1 + static_cast<int32_t>(rng() % 12);
        std::vector<int64_t> levels;
        for (int32_t i = at; i < at + count; ++i) {
          int64_t loud = 0;
          for (int c = 0; c < channels; ++c) {
            const int32_t v = valueAt(e, static_cast<std::size_t>(i * f + bytes * c));
            plain.lo[c] = std::min(plain.lo[c], v);
            plain.hi[c] = std::max(plain.hi[c], v);
            plain.sum[c] += v;
            loud = std::max(loud, std::abs(int64_t{v}));
          }
          levels.push_back(loud);
        }
        portable.levels(e.data() + at * f, count, x);
        wide->levels(e.data() + at * f, count, y);
        ASSERT_EQ(x.sustained, y.sustained) << at << "+" << count;
        for (const FrameLevels* got : {&x, &y}) {
          SCOPED_TRACE(::testing::Message() << (got == &x ? "portable " : "wide ") << at << "+" << count);
          ASSERT_TRUE(sustains(levels, got->sustained, got->burst)) << got->sustained << " over " << got->burst;
          for (int c = 0; c < channels; ++c) {
            ASSERT_EQ(got->lo[c], plain.lo[c]);
            ASSERT_EQ(got->hi[c], plain.hi[c]);
            ASSERT_EQ(got->sum[c], plain.sum[c]);
          }
        }
      }
    // Windows in a row in one call, each as a call of its own gives it; of
    // 8 and 16 bits also as the window lists keep them, an odd window out
    // or not, with and without a sustained level.
    const bool narrow = format.bitsPerSample <= 16;
    for (const ScanKernels* k : {&portable, &*wide}) {
      ASSERT_TRUE(k->windowLevels);
      ASSERT_EQ(k->narrowWindowLevels != nullptr, narrow);
      for (const int32_t frames : {1, 3, 7, 80, 110, 441}) {
        const auto windows = static_cast<int32_t>(e.size() / static_cast<std::size_t>(f) / frames - 1) - frames % 2;
        const int32_t burst = 1 + static_cast<int32_t>(rng() % 40);
        std::vector<FrameLevels> many(static_cast<std::size_t>(windows));
        k->windowLevels(e.data() + f, frames, windows, burst, many.data());
        const auto entries = static_cast<std::size_t>(windows * channels);
        std::vector<int16_t> bounds(2 * entries);
        std::vector<float> sums(entries);
        std::vector<uint16_t> kept(static_cast<std::size_t>(windows));
        const bool sustained = frames != 7;
        NarrowLevels out;
        out.bounds = bounds.data();
        out.sums = sums.data();
        out.sustained = sustained ? kept.data() : nullptr;
        if (narrow) k->narrowWindowLevels(e.data() + f, frames, windows, sustained ? burst : 0, out);
        int32_t least[2] = {32767, 32767}, most[2] = {-32768, -32768};
        for (int32_t w = 0; w < windows; ++w) {
          SCOPED_TRACE(::testing::Message() << (k == &portable ? "portable " : "wide ") << frames << " #" << w);
          FrameLevels one;
          one.burst = burst;
          k->levels(e.data() + f + static_cast<std::ptrdiff_t>(w) * frames * f, frames, one);
          const FrameLevels& got = many[static_cast<std::size_t>(w)];
          ASSERT_EQ(got.sustained, one.sustained);
          if (narrow && sustained) {
            ASSERT_EQ(kept[static_cast<std::size_t>(w)], one.sustained);
          }
          for (int c = 0; c < channels; ++c) {
            ASSERT_EQ(got.lo[c], one.lo[c]);
            ASSERT_EQ(got.hi[c], one.hi[c]);
            ASSERT_EQ(got.sum[c], one.sum[c]);
            if (!narrow) continue;
            const auto i = static_cast<std::size_t>(w * channels + c);
            ASSERT_EQ(bounds[2 * i], one.lo[c]);
            ASSERT_EQ(bounds[2 * i + 1], one.hi[c]);
            ASSERT_EQ(sums[i], static_cast<float>(one.sum[c]));
            least[c] = std::min(least[c], one.lo[c]);
            most[c] = std::max(most[c], one.hi[c]);
          }
        }
        if (narrow)
          for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(out.lo[c], least[c]) << c;
            EXPECT_EQ(out.hi[c], most[c]) << c;
          }
      }
    }
    // A steady sound is found sustained at its level, and the most frames a
    // call takes, all at the lowest or the highest sample, sum without
    // overflow (a 32-bit one's level held to INT32_MAX).
    const int32_t level = bytes == 1 ? 100 : 1000 << (8 * (bytes - 2));
    Bytes tone(static_cast<std::size_t>(300 * f)), floor(static_cast<std::size_t>(65536 * f));
    for (std::size_t o = 0; o < tone.size(); o += static_cast<std::size_t>(bytes))
      setSample(tone, o, o % (3 * static_cast<std::size_t>(bytes)) == 0 ? -level : level);
    for (const ScanKernels* k : {&portable, &*wide}) {
      FrameLevels x;
      x.burst = 6;
      k->levels(tone.data(), 300, x);
      EXPECT_EQ(x.sustained, level);
      for (const int32_t edge : {lowest, highest}) {
        for (std::size_t o = 0; o < floor.size(); o += static_cast<std::size_t>(bytes)) setSample(floor, o, edge);
        k->levels(floor.data(), 65536, x);
        EXPECT_EQ(x.sum[channels - 1], int64_t{edge} * 65536);
        EXPECT_EQ(x.sustained, static_cast<int32_t>(std::min<int64_t>(INT32_MAX, std::abs(int64_t{edge}))));
      }
    }
  }
}

// Correction against the clamped difference, for every sample value and zero
// points at the edges of both sample sizes.
TEST(ScanKernels, CorrectionIsTheClampedDifference) {
  const int32_t zeros[] = {-32768, -300, -255, -1, 0, 1, 255, 256, 32767};
  for (const int bits : {8, 16}) {
    const PcmFormat format = ParseFormatLabel(bits == 8 ? "8bit, Stereo, 44.1kHz" : "16bit, Stereo, 44.1kHz");
    std::vector<ScanKernels> sets{PortableScanKernels(format)};
    if (const auto wide = WideScanKernels(format)) sets.push_back(*wide);
    const int values = bits == 8 ? 256 : 65536;
    Bytes data;
    for (int v = 0; v < values; ++v) {
      data.push_back(static_cast<uint8_t>(v));
      if (bits == 16) data.push_back(static_cast<uint8_t>(v >> 8));
    }
    const int32_t frames = static_cast<int32_t>(data.size()) / (bits / 4);
    for (const int32_t left : zeros) {
      for (const int32_t right : {zeros[0], 0, left, 300}) {
        for (const ScanKernels& k : sets) {
          Bytes x = data;
          k.correct(x.data(), frames, ZeroPoints{left, right});
          for (int v = 0; v < values; ++v) {
            const int32_t z = v % 2 ? right : left;
            const int32_t got = bits == 8 ? x[v] : static_cast<int16_t>(x[2 * v] | x[2 * v + 1] << 8);
            const int32_t want = bits == 8 ? std::clamp(v - z, 0, 255)
                                           : std::clamp(static_cast<int16_t>(v) - z, -32768, 32767);
            ASSERT_EQ(got, want) << bits << "-bit sample " << v << " zero " << left << "," << right;
          }
        }
      }
    }
  }
}


// The kernels this processor runs: the portable ones, and the wide ones where
// it has them.
std::vector<ScanKernels> kernelSets(const PcmFormat& f) {
  std::vector<ScanKernels> sets{PortableScanKernels(f)};
  if (const auto wide = WideScanKernels(f)) sets.push_back(*wide);
  return sets;
}

// Every answer of a scan over whole blocks, read in random parts (each part
// alone, so that a read beyond it is caught): the sound frame and cut, and
// the state after each part and at the end.
struct Trace {
  std::vector<std::pair<int32_t, int32_t>> cuts;
  std::vector<RunState> states;
};

Trace scanOf(const ScanKernels& k, const Bytes& data, int frameBytes, const SilenceRule& r, uint32_t seed) {
  std::mt19937 rng(seed);
  Trace t;
  RunState st;
  const int64_t blocks = static_cast<int64_t>(data.size()) / frameBytes / r.runLength;
  for (int64_t block = 0; block < blocks; ++block) {
    st.blockStart = block * r.runLength;
    st.lastQuiet = 0;
    for (int32_t from = 0; from < r.runLength;) {
      const int32_t to = std::min(r.runLength, from + 1 + static_cast<int32_t>(rng() % 900));
      const auto at = data.begin() + (st.blockStart + from) * frameBytes;
      const Bytes part(at, at + (to - from) * frameBytes);
      int32_t cutAt = -1;
      const int32_t sound = k.scan(part.data(), from, to, r, st, cutAt);
      t.states.push_back(st);
      if (sound >= 0) {
        t.cuts.emplace_back(sound + static_cast<int32_t>(block * r.runLength), cutAt);
        break;
      }
      from = to;
    }
  }
  k.end(st);
  t.states.push_back(st);
  return t;
}

// Quiet stretches with clicks, loud ones, and samples at the threshold, of
// 16-bit units.
std::vector<int16_t> signal16(std::mt19937& rng, std::size_t samples, int32_t t) {
  std::vector<int16_t> s;
  const int32_t edge = std::clamp(t, 1, 32768);
  auto within = [&](int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); };
  while (s.size() < samples) {
    const unsigned kind = rng() % 4;
    const unsigned length = kind == 0 ? 1 + rng() % 3000 : 1 + rng() % 150;
    for (unsigned i = 0; i < length; ++i) {
      const int32_t sign = rng() % 2 ? 1 : -1;
      if (kind == 0 || (kind == 1 && rng() % 30 != 0))
        s.push_back(within(sign * static_cast<int32_t>(rng() % static_cast<unsigned>(edge))));
      else if (kind == 2)
        s.push_back(within(sign * (edge - 1 + static_cast<int32_t>(rng() % 2))));
      else
        s.push_back(static_cast<int16_t>(static_cast<int32_t>(rng() % 65536) - 32768));
    }
  }
  s.resize(samples);
  return s;
}

// The silence test of a wider format is the 16-bit one on the same signal:
// the same sound frames, cuts and states, for thresholds from none at all to
// everything and with and without click tolerance.
TEST(ScanKernels, WiderSamplesAreSilentWhereSixteenBitOnesAre) {
  std::mt19937 rng(20261209);
  int cuts = 0;
  for (const PcmFormat& f : widerFormats()) {
    const PcmFormat f16{f.channels, f.sampleRate, 16, SampleKind::Integer};
    const ScanKernels reference = PortableScanKernels(f16);
    for (const int32_t t : {0, 1, 2, 255, 3000, 32767, 32768, 32769, 65535, 65536}) {
      for (const int32_t k : {0, 6}) {
        SCOPED_TRACE(::testing::Message() << nameOf(f) << " T=" << t << " K=" << k);
        const SilenceRule r{t, 40 + static_cast<int32_t>(rng() % 2500), k, 441};
        const std::vector<int16_t> s = signal16(rng, static_cast<std::size_t>(r.runLength) * 10 * f.channels, t);
        Bytes d16(s.size() * 2);
        std::memcpy(d16.data(), s.data(), d16.size());
        const Bytes d = scaled(rng, s, f);
        const uint32_t parts = rng();
        const Trace want = scanOf(reference, d16, f16.frameBytes(), r, parts);
        cuts += static_cast<int>(want.cuts.size());
        for (const ScanKernels& kernels : kernelSets(f)) {
          const Trace got = scanOf(kernels, d, f.frameBytes(), r, parts);
          ASSERT_EQ(got.cuts, want.cuts);
          ASSERT_EQ(got.states.size(), want.states.size());
          for (std::size_t i = 0; i < got.states.size(); ++i) ASSERT_TRUE(got.states[i] == want.states[i]) << i;
        }
      }
    }
  }
  EXPECT_GT(cuts, 100);  // the signals do make cuts
}

// What only floats have: a NaN and an infinity are never quiet, -0.0 is, and a
// stereo frame is silent only when both its samples are.
TEST(ScanKernels, FloatFramesWithNaNsAndInfinitiesAreSound) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Row {
    double left, right;
    int32_t t;
    bool silent;
  } rows[] = {
      {nan, 0, 65536, false}, {0, nan, 65536, false}, {-nan, -nan, 65536, false}, {inf, 0, 65536, false},
      {0, -inf, 65536, false}, {-0.0, -0.0, 1, true}, {0, 0, 0, false},         {1.999, -1.999, 65536, true},
      {2.0, 0, 65536, false},
  };
  for (const uint16_t bits : {32, 64}) {
    for (const Row& row : rows) {
      for (const uint16_t channels : {1, 2}) {
        const PcmFormat f{channels, 48000, bits, SampleKind::Float};
        if (channels == 1 && row.right != 0) continue;
        // Every frame alike, so that the groups, the spans and the frames
        // one by one all see it: a silent block is one run.
        const int32_t frames = 301;
        Bytes d;
        for (int32_t i = 0; i < frames; ++i) {
          putSample(d, f, row.left);
          if (channels == 2) putSample(d, f, row.right);
        }
        for (const ScanKernels& k : kernelSets(f)) {
          RunState st;
          int32_t cutAt = 0;
          EXPECT_EQ(k.scan(d.data(), 0, frames, SilenceRule{row.t, frames, 0, 441}, st, cutAt), -1);
          k.end(st);
          EXPECT_EQ(st.longest, row.silent ? frames : 0)
              << nameOf(f) << " " << row.left << "," << row.right << " T=" << row.t;
        }
      }
    }
  }
}

// Correction of the wider formats: an integer loses z * 2^(bits - 16),
// clamped to its own width; a float z / 32768, unclipped.
TEST(ScanKernels, WiderCorrectionIsTheClampedDifference) {
  std::mt19937 rng(7);
  const int32_t zeros[] = {-32768, -1, 0, 1, 32767};
  for (const PcmFormat& f : widerFormats()) {
    std::vector<double> values;
    if (f.isFloat()) {
      values = {0.0, -0.0, 1.0, -1.0, 0.999, -0.999, 1.5, -3.0, 1.0 / 65536, std::ldexp(1.0, -40)};
      for (int i = 0; i < 70; ++i) values.push_back((static_cast<double>(rng() % 65536) - 32768) / 16384);
    } else {
      const double top = std::ldexp(1.0, f.bitsPerSample - 1), unit = std::ldexp(1.0, f.bitsPerSample - 16);
      values = {-top, -top + 1, -top + unit - 1, -top + unit, -top + unit + 1, -1, 0, 1,
                top - unit - 1, top - unit, top - unit + 1, top - 1};
      for (int i = 0; i < 70; ++i)
        values.push_back(std::floor(std::ldexp(static_cast<double>(rng()) - 2147483648.0, f.bitsPerSample - 32)));
    }
    Bytes data;
    for (const double v : values) putSample(data, f, v);
    const auto frames = static_cast<int32_t>(values.size() / f.channels);
    for (const int32_t left : zeros) {
      for (const int32_t right : {zeros[0], left, zeros[4]}) {
        for (const ScanKernels& k : kernelSets(f)) {
          Bytes x = data;
          k.correct(x.data(), frames, ZeroPoints{left, right});
          for (std::size_t i = 0; i < static_cast<std::size_t>(frames) * f.channels; ++i) {
            const int32_t z = f.channels == 2 && i % 2 ? right : left;
            double want;
            if (f.isFloat()) {
              // The difference in the sample's own precision.
              want = values[i] - z / 32768.0;
              if (f.bitsPerSample == 32)
                want = static_cast<float>(static_cast<float>(values[i]) - static_cast<float>(z) / 32768);
            } else {
              const double top = std::ldexp(1.0, f.bitsPerSample - 1);
              want = std::clamp(values[i] - z * std::ldexp(1.0, f.bitsPerSample - 16), -top, top - 1);
            }
            const double got = sampleOf(x, i * f.bytesPerSample(), f);
            ASSERT_EQ(got, want) << nameOf(f) << " sample " << values[i] << " zero " << left << "," << right;
            if (want == 0) {
              ASSERT_EQ(std::signbit(got), std::signbit(want));
            }
          }
        }
      }
    }
  }
}

// Peaks in each format's own units, the largest sample anywhere in a buffer of
// small ones, whether it falls in a vector or among the last samples.
TEST(ScanKernels, PeaksOfTheWiderFormatsAtTheirLimits) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Row {
    uint16_t bits;
    SampleKind kind;
    double sample;
    int32_t peak;
    double fullScale;
  } rows[] = {
      {8, SampleKind::Integer, -128, 128, 128},
      {16, SampleKind::Integer, -32768, 32768, 32768},
      {24, SampleKind::Integer, -8388608, 8388608, 8388608},
      {24, SampleKind::Integer, 8388607, 8388607, 8388608},
      {24, SampleKind::Integer, -300, 300, 8388608},
      {32, SampleKind::Integer, -2147483648.0, INT32_MAX, 2147483648.0},
      {32, SampleKind::Integer, 2147483647, INT32_MAX, 2147483648.0},
      {32, SampleKind::Integer, -2147483647, INT32_MAX, 2147483648.0},
      {32, SampleKind::Integer, -65537, 65537, 2147483648.0},
      {32, SampleKind::Float, 1.0, 8388608, 8388608},
      {32, SampleKind::Float, -1.0, 8388608, 8388608},
      {32, SampleKind::Float, 1.5, 12582912, 8388608},
      {32, SampleKind::Float, -255.5, 2143289344, 8388608},
      {32, SampleKind::Float, 256.0, INT32_MAX, 8388608},
      {32, SampleKind::Float, -inf, INT32_MAX, 8388608},
      {32, SampleKind::Float, nan, 0, 8388608},
      {32, SampleKind::Float, 2.9 / 8388608, 2, 8388608},
      {64, SampleKind::Float, 1.0, 8388608, 8388608},
      {64, SampleKind::Float, -1.0 - std::ldexp(1.0, -30), 8388608, 8388608},
      {64, SampleKind::Float, 255.999999, 2147483639, 8388608},
      {64, SampleKind::Float, 1e300, INT32_MAX, 8388608},
      {64, SampleKind::Float, inf, INT32_MAX, 8388608},
      {64, SampleKind::Float, -nan, 0, 8388608},
  };
  for (const Row& row : rows) {
    for (const uint16_t channels : {1, 2}) {
      const PcmFormat f{channels, 48000, row.bits, row.kind};
      EXPECT_EQ(PeakFullScale(f), row.fullScale) << nameOf(f);
      // Small samples: a peak of 1 in every format (1 / 2^23 for floats).
      const double small = f.isFloat() ? 1.0 / 8388608 : 1;
      for (const std::size_t length : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 64, 100}) {
        for (std::size_t at = 0; at < length; ++at) {
          Bytes d;
          for (std::size_t i = 0; i < length; ++i) putSample(d, f, i == at ? row.sample : (i % 2 ? -small : small));
          if (row.bits == 8)
            for (uint8_t& b : d) b = static_cast<uint8_t>(b + 128);
          for (const ScanKernels& k : kernelSets(f)) {
            ASSERT_EQ(k.peak(d.data(), d.size()), std::max(row.peak, length > 1 ? 1 : 0))
                << nameOf(f) << " " << row.sample << " at " << at << " of " << length;
            // Bytes short of a whole sample are not read.
            if (at == length - 1 && length > 1 && row.peak > 1) {
              ASSERT_EQ(k.peak(d.data(), d.size() - 1), 1) << nameOf(f) << " " << row.sample;
            }
          }
        }
      }
    }
  }
}

// The rule one frame at a time, as the kernels' loop reads without its
// shortcuts (spans, groups, runs of a group).
template <class S, int Channels>
int32_t plainScan(const uint8_t* frames, int32_t from, int32_t to, const SilenceRule& rule, RunState& st,
                  int32_t& cutAt) {
  constexpr int F = Channels * S::kBytes;
  const typename S::Quiet quiet = S::quiet(rule.threshold);
  const int32_t n = rule.runLength, k = rule.maxBurst;
  int32_t silent = st.silent, burst = st.burst, c = st.lastQuiet;
  bool pending = st.pending;
  for (int32_t i = from; i < to; ++i) {
    if (isSilent<S, Channels>(frames + (i - from) * F, quiet)) {
      silent += burst + 1;
      burst = 0;
      quietGoesOn(rule, st, silent);
      if (silent > n) {
        pending = true;
        c = i;
      }
    } else if (silent > 0 && burst < k) {
      if (burst++ == 0) st.burstStart = st.blockStart + i;
    } else {
      const int32_t sound = burst > 0 ? static_cast<int32_t>(st.burstStart - st.blockStart) : i;
      if (pending) {
        runEnded(st, silent, sound);
        st.cutRun = silent;
        st.cutRunEnd = st.blockStart + sound;
        st.silent = 0;
        st.pending = false;
        st.burst = 0;
        st.brokenRun = 0;
        const int32_t last = burst > 0 ? sound - 1 : c;
        cutAt = last - kLeadIn > 0 ? last - kLeadIn : 0;
        return i;
      }
      soundEndsRun(rule, st, silent, sound, 1);
      silent = 0;
      burst = 0;
    }
  }
  st.silent = silent;
  st.pending = pending;
  st.burst = burst;
  st.lastQuiet = c;
  return -1;
}

template <class S, int Channels>
ScanKernels plainKernels() {
  return {&plainScan<S, Channels>, &endScan, &correctFrames<S, Channels>, &S::peak};
}

// A group's sound counts its frames at once, which the frame-by-frame count
// stops at the end of a short sound; past it the count means nothing.
RunState meaningful(RunState st) {
  if (st.brokenRun == 0) st.soundSince = 0;
  return st;
}

// Music-like 16-bit samples (low-passed noise under a changing loudness,
// crossing zero every few frames) between quiet stretches with clicks.
std::vector<int16_t> music16(std::mt19937& rng, std::size_t frames, int32_t t, int channels, bool sameChannels) {
  std::vector<int16_t> s;
  int32_t x[2] = {0, 0};
  while (s.size() < frames * channels) {
    const bool loud = rng() % 3 != 0;
    const unsigned length = loud ? 200 + rng() % 6000 : 1 + rng() % 4000;
    const int32_t level = 1 + static_cast<int32_t>(rng() % 16);
    for (unsigned i = 0; i < length; ++i) {
      for (int ch = 0; ch < channels; ++ch) {
        int32_t v;
        if (ch == 1 && sameChannels) {
          v = s.back();
        } else if (loud) {
          x[ch] = (x[ch] * 3 + static_cast<int32_t>(rng() % 65536) - 32768) / 4;
          v = x[ch] * level / 16;
        } else {
          v = rng() % 50 == 0 ? static_cast<int32_t>(rng() % 20000) : static_cast<int32_t>(rng() % std::max(1, t));
          if (rng() % 2) v = -v;
        }
        s.push_back(static_cast<int16_t>(std::clamp(v, -32768, 32767)));
      }
    }
  }
  s.resize(frames * channels);
  return s;
}

// The kernels' shortcuts change nothing: the same cuts and states as the
// rule taken frame by frame, on music, on music with both channels alike (a
// mono recording in two channels: quiet frames wherever it crosses zero),
// and on the random stretches, with and without click tolerance.
TEST(ScanKernels, ShortcutsGiveWhatTheFramesOneByOneGive) {
  std::mt19937 rng(20261210);
  struct Row {
    PcmFormat format;
    ScanKernels plain;
  };
  const Row rows[] = {
      {{2, 44100, 16, SampleKind::Integer}, plainKernels<Signed16, 2>()},
      {{1, 44100, 16, SampleKind::Integer}, plainKernels<Signed16, 1>()},
      {{2, 44100, 8, SampleKind::Integer}, plainKernels<Unsigned8, 2>()},
      {{1, 44100, 8, SampleKind::Integer}, plainKernels<Unsigned8, 1>()},
      {{2, 96000, 24, SampleKind::Integer}, plainKernels<Signed24, 2>()},
      {{1, 96000, 24, SampleKind::Integer}, plainKernels<Signed24, 1>()},
      {{2, 48000, 32, SampleKind::Integer}, plainKernels<Signed32, 2>()},
      {{2, 48000, 32, SampleKind::Float}, plainKernels<Float32, 2>()},
      {{2, 48000, 64, SampleKind::Float}, plainKernels<Float64, 2>()},
  };
  int cuts = 0;
  for (const Row& row : rows) {
    const PcmFormat& f = row.format;
    for (const int signal : {0, 1, 2}) {
      if (signal == 1 && f.channels == 1) continue;
      for (const int32_t k : {0, 1, 6}) {
        const int32_t t = f.bitsPerSample == 8 ? 1 + static_cast<int32_t>(rng() % 40)
                                               : 1 + static_cast<int32_t>(rng() % 3000);
        SCOPED_TRACE(::testing::Message() << nameOf(f) << " signal " << signal << " T=" << t << " K=" << k);
        const SilenceRule r{t, 40 + static_cast<int32_t>(rng() % 4000), k, f.sampleRate / 100};
        const std::size_t frames = static_cast<std::size_t>(r.runLength) * 12;
        std::vector<int16_t> s = signal == 2 ? signal16(rng, frames * f.channels, t)
                                             : music16(rng, frames, t, f.channels, signal == 1);
        Bytes d;
        if (f.bitsPerSample == 8) {
          for (const int16_t v : s) d.push_back(static_cast<uint8_t>(std::clamp(v >> 8, -128, 127) + 128));
        } else if (f.bitsPerSample == 16) {
          d.resize(s.size() * 2);
          std::memcpy(d.data(), s.data(), d.size());
        } else {
          d = scaled(rng, s, f);
        }
        const uint32_t parts = rng();
        Trace want = scanOf(row.plain, d, f.frameBytes(), r, parts);
        cuts += static_cast<int>(want.cuts.size());
        for (const ScanKernels& kernels : kernelSets(f)) {
          const Trace got = scanOf(kernels, d, f.frameBytes(), r, parts);
          ASSERT_EQ(got.cuts, want.cuts);
          ASSERT_EQ(got.states.size(), want.states.size());
          for (std::size_t i = 0; i < got.states.size(); ++i)
            ASSERT_TRUE(meaningful(got.states[i]) == meaningful(want.states[i])) << "after part " << i;
        }
      }
    }
  }
  EXPECT_GT(cuts, 50);  // the signals do make cuts
}

}  // namespace
}  // namespace mv
