// The wide kernels against the portable ones: the same states, cuts,
// corrections and peaks on random blocks read in random parts.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "cut/scan_kernels.h"

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

TEST(ScanKernels, WideKernelsMatchThePortableOnes) {
  std::mt19937 rng(20261208);
  for (const char* label : {"16bit, Stereo, 44.1kHz", "16bit, Mono, 44.1kHz", "8bit, Stereo, 44.1kHz",
                            "8bit, Mono, 44.1kHz"}) {
    const PcmFormat format = ParseFormatLabel(label);
    const std::optional<ScanKernels> wide = WideScanKernels(format);
    if (!wide) GTEST_SKIP() << "this processor has no wider kernels than the portable ones";
    const ScanKernels portable = PortableScanKernels(format);
    const int f = format.channels * format.bitsPerSample / 8;
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
        Bytes x = randomFrames(rng, format.bitsPerSample, static_cast<std::size_t>(r.runLength) * f,
                               r.threshold);
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
    const Bytes d = randomFrames(rng, format.bitsPerSample, 4096, 3000);
    for (std::size_t at = 0; at < 70; ++at)
      for (std::size_t n = 0; at + n <= d.size(); n += 1 + rng() % 97)
        ASSERT_EQ(portable.peak(d.data() + at, n), wide->peak(d.data() + at, n)) << at << "+" << n;
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

}  // namespace
}  // namespace mv
