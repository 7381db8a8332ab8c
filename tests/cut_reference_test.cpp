// The cut at silences against a plain frame-by-frame reading of its rules, on
// random tapes of every sample format, threshold and run length, so that the
// block scanner's shortcuts can never change a single byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "cut/cut.h"
#include "cut/level_scan.h"
#include "cut/level_windows.h"
#include "cut/scan_kernels.h"
#include "tests/support.h"
#include "wave/format.h"

namespace mv {
namespace {

using test::Bytes;

int sampleOf(const Bytes& d, std::size_t at, int bits) {
  return bits == 8 ? d[at] - 128 : static_cast<int16_t>(d[at] | d[at + 1] << 8);
}

void correctAt(Bytes& d, std::size_t at, int bits, int z) {
  if (bits == 8) {
    d[at] = static_cast<uint8_t>(std::clamp(d[at] - z, 0, 255));
  } else {
    const int v = std::clamp(sampleOf(d, at, 16) - z, -32768, 32767);
    d[at] = static_cast<uint8_t>(v);
    d[at + 1] = static_cast<uint8_t>(v >> 8);
  }
}

// The songs the rules make of data, one frame at a time, and the longest run
// of frames they test silent (frames, first frame).
// Clicks: in a quiet run, up to k sound frames followed by a quiet one count
// toward the run; more are sound, and a cut lies 513 frames before the first.
std::vector<Bytes> reference(Bytes d, int channels, int bits, int t, int n, int k, int zl, int zr,
                             std::pair<int64_t, int64_t>& longest) {
  longest = {0, 0};
  int burst = 0, burstStart = 0;
  const int b = bits / 8, f = channels * b;
  const int blocks = static_cast<int>(d.size()) / (f * n);
  std::vector<Bytes> songs(1);
  int j = 0;
  bool pending = false;
  auto append = [&](std::size_t from, std::size_t to) {
    songs.back().insert(songs.back().end(), d.begin() + from, d.begin() + to);
  };
  auto correctFrame = [&](std::size_t at) {
    correctAt(d, at, bits, zl);
    if (channels == 2) correctAt(d, at + b, bits, zr);
  };
  for (int u = 0; u < blocks; ++u) {
    const std::size_t base = static_cast<std::size_t>(u) * f * n;
    int c = 0;
    bool cut = false;
    for (int i = 0; i < n && !cut; ++i) {
      const std::size_t at = base + static_cast<std::size_t>(i) * f;
      correctFrame(at);
      const int s1 = sampleOf(d, at, bits);
      const int s2 = channels == 2 ? sampleOf(d, at + b, bits) : 0;
      if (std::abs(s1) < t && std::abs(s2) < t) {
        j += burst + 1;
        burst = 0;
        if (j > longest.first) longest = {j, int64_t{u} * n + i - j + 1};
        if (j > n) {
          pending = true;
          c = i;
        }
      } else if (j > 0 && burst < k) {
        if (burst++ == 0) burstStart = u * n + i;
      } else if (pending) {
        if (burst > 0) c = burstStart - u * n - 1;
        burst = 0;
        c = c - 512 > 0 ? c - 512 : 0;
        for (int rest = i + 1; rest < n; ++rest) correctFrame(base + static_cast<std::size_t>(rest) * f);
        append(base, base + static_cast<std::size_t>(c) * f);
        songs.emplace_back();
        append(base + static_cast<std::size_t>(c) * f, base + static_cast<std::size_t>(n) * f);
        j = 0;
        pending = false;
        cut = true;
      } else {
        j = 0;
        burst = 0;
      }
    }
    if (!cut) append(base, base + static_cast<std::size_t>(n) * f);
  }
  const std::size_t tail = static_cast<std::size_t>(blocks) * f * n;
  for (std::size_t at = tail; at + f <= d.size(); at += f) correctFrame(at);
  append(tail, d.size());
  return songs;
}

// A song shorter than min joins the one before it; the first, the one after.
std::vector<Bytes> mergeShort(const std::vector<Bytes>& songs, std::size_t min) {
  std::vector<Bytes> out;
  Bytes first;
  bool carrying = false;
  for (const Bytes& song : songs) {
    if (carrying || (out.empty() && song.size() < min)) {
      first.insert(first.end(), song.begin(), song.end());
      carrying = first.size() < min;
      if (!carrying) out.push_back(first);
    } else if (song.size() < min) {
      out.back().insert(out.back().end(), song.begin(), song.end());
    } else {
      out.push_back(song);
    }
  }
  if (carrying) out.push_back(first);
  return out;
}

// Stretches of sound and near-silence, with samples around the threshold and
// silences around the run length.
// With clicks, many loud stretches are a few frames long.
Bytes randomTape(std::mt19937& rng, int channels, int bits, int t, int n, int frames, int clicks = 0) {
  const int f = channels * bits / 8;
  Bytes d;
  d.reserve(static_cast<std::size_t>(frames * f + 3));
  const int limit = bits == 8 ? 128 : 32768;
  while (static_cast<int>(d.size()) < frames * f) {
    const bool quiet = rng() % 2;
    int length = quiet && rng() % 2 ? std::max(1, n - 70 + static_cast<int>(rng() % 140))
                                    : 1 + static_cast<int>(rng() % 900);
    if (!quiet && clicks > 0 && rng() % 2) length = 1 + static_cast<int>(rng() % static_cast<unsigned>(clicks + 2));
    const int edge = std::clamp(t, 1, limit);
    for (int k = 0; k < length * channels; ++k) {
      int v;
      if (quiet)
        v = static_cast<int>(rng() % static_cast<unsigned>(edge)) * (rng() % 2 ? 1 : -1);
      else if (rng() % 8 == 0)
        v = (edge - 1 + static_cast<int>(rng() % 3)) * (rng() % 2 ? 1 : -1);  // right at the edge
      else
        v = static_cast<int>(rng() % static_cast<unsigned>(2 * limit)) - limit;
      v = std::clamp(v, -limit, limit - 1);
      if (bits == 8) {
        d.push_back(static_cast<uint8_t>(v + 128));
      } else {
        d.push_back(static_cast<uint8_t>(v));
        d.push_back(static_cast<uint8_t>(v >> 8));
      }
    }
  }
  d.resize(static_cast<std::size_t>(frames * f) + rng() % f);  // sometimes a partial frame
  return d;
}

// Sound that stays well above the threshold but for a sample at its edge now
// and then, clicks, and quiet stretches around the run length or short.
Bytes loudAndQuiet(std::mt19937& rng, int channels, int bits, int t, int n, int frames, int clicks) {
  const int f = channels * bits / 8;
  const int limit = bits == 8 ? 128 : 32768;
  Bytes d;
  auto put = [&](int v) {
    v = std::clamp(v, -limit, limit - 1);
    if (bits == 8) {
      d.push_back(static_cast<uint8_t>(v + 128));
    } else {
      d.push_back(static_cast<uint8_t>(v));
      d.push_back(static_cast<uint8_t>(v >> 8));
    }
  };
  auto sign = [&] { return rng() % 2 ? 1 : -1; };
  const int loud = std::min(limit - 1, t + 40);
  while (static_cast<int>(d.size()) < frames * f) {
    const unsigned kind = rng() % 10;
    const int length = kind == 0   ? std::max(1, n - 70 + static_cast<int>(rng() % 140))
                       : kind == 1 ? 1 + static_cast<int>(rng() % 300)
                       : kind == 2 ? 1 + static_cast<int>(rng() % static_cast<unsigned>(clicks + 2))
                                   : 1 + static_cast<int>(rng() % 1500);
    for (int i = 0; i < length * channels; ++i) {
      if (kind <= 1)
        put(static_cast<int>(rng() % static_cast<unsigned>(t)) * sign());
      else if (rng() % 2000 == 0)
        put((t - 1 + static_cast<int>(rng() % 3)) * sign());  // right at the edge
      else
        put((loud + static_cast<int>(rng() % static_cast<unsigned>(limit - loud))) * sign());
    }
  }
  d.resize(static_cast<std::size_t>(frames * f) + rng() % f);  // sometimes a partial frame
  return d;
}

// The same tape with 24- or 32-bit samples: each 16-bit one with random low
// bytes.
Bytes widened(std::mt19937& rng, const Bytes& d, int lowBytes = 1) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < d.size(); i += 2) {
    for (int k = 0; k < lowBytes; ++k) out.push_back(static_cast<uint8_t>(rng()));
    out.push_back(d[i]);
    out.push_back(d[i + 1]);
  }
  return out;
}

// The same tape with 32 or 64-bit float samples: each 16-bit one v as
// v / 32768, as it is or moved away from zero by less than a step, so that
// the samples at the threshold fall right on it and right below it. Loud
// samples are now and then beyond full scale or infinite, and NaNs come
// alone, or in runs long enough to fill a window of one channel.
Bytes floated(std::mt19937& rng, const Bytes& d, int channels, int t, int bits = 32) {
  Bytes out;
  const std::size_t samples = d.size() / 2;
  std::size_t nanFrom = samples, nanTo = samples;
  if (rng() % 2 == 0) {
    nanFrom = rng() % samples / channels * channels;
    nanTo = nanFrom + static_cast<std::size_t>(channels) * (200 + rng() % 600);
  }
  for (std::size_t i = 0; i < samples; ++i) {
    const auto v = static_cast<int16_t>(static_cast<uint16_t>(d[2 * i] | d[2 * i + 1] << 8));
    const unsigned pick = rng() % 3;
    const double away = pick == 0 ? 0.0 : pick == 1 ? 0.999 : static_cast<double>(rng() % 1000) / 1000;
    double x = (std::abs(v) + away) / 32768 * (v < 0 ? -1 : 1);
    if (std::abs(v) > t && rng() % 40 == 0) x *= rng() % 50 == 0 ? INFINITY : 4.0;
    if (rng() % 5000 == 0 || (i >= nanFrom && i < nanTo && i % channels == 0)) x = NAN;
    uint8_t b[8];
    const auto narrow = static_cast<float>(x);
    if (bits == 64)
      std::memcpy(b, &x, 8);
    else
      std::memcpy(b, &narrow, 4);
    out.insert(out.end(), b, b + bits / 8);
  }
  return out;
}

// Steady stretches in the middle of long quiet runs, each channel at the
// threshold plus its zero point, toward its sign, less nothing (loud after
// the correction) or a step of the format or of a float (quiet after it,
// though a 32-bit integer's level rounds up to the sum). `source` is the tape
// before it was widened, of 8 or 16 bits.
void atTheEdge(std::mt19937& rng, Bytes& d, const Bytes& source, const CutSettings& s, ZeroPoints z) {
  const PcmFormat& f = s.format;
  const int channels = f.channels, b = f.bytesPerSample(), narrow = f.bitsPerSample == 8 ? 1 : 2;
  const auto frames = static_cast<int64_t>(source.size() / (narrow * channels));
  const int32_t window = f.sampleRate / 100;
  auto quiet = [&](int64_t i) {
    for (int c = 0; c < channels; ++c) {
      const std::size_t o = static_cast<std::size_t>((i * channels + c) * narrow);
      const int v = narrow == 1 ? source[o] - 128 : static_cast<int16_t>(source[o] | source[o + 1] << 8);
      if (std::abs(v) >= s.threshold) return false;
    }
    return true;
  };
  auto put = [&](int64_t i, int c, int32_t zero, bool less) {
    const int64_t level = s.threshold + std::abs(zero);
    const double sign = zero < 0 || (zero == 0 && rng() % 2) ? -1 : 1;
    uint8_t* p = d.data() + (i * channels + c) * b;
    if (f.isFloat() && f.bitsPerSample == 64) {
      double x = static_cast<double>(level) / 32768;
      if (less) x = std::nextafter(x, 0.0);
      x *= sign;
      std::memcpy(p, &x, 8);
      return;
    }
    if (f.isFloat()) {
      float x = static_cast<float>(level) / 32768;
      if (less) x = std::nextafter(x, 0.0f);
      x *= static_cast<float>(sign);
      std::memcpy(p, &x, 4);
      return;
    }
    const int64_t unit = f.bitsPerSample == 8 ? 1 : int64_t{1} << (f.bitsPerSample - 16);
    const int64_t full = int64_t{1} << (f.bitsPerSample - 1);
    const auto v = static_cast<int64_t>(sign) * std::min(full - 1, level * unit - (less ? 1 : 0)) +
                   (f.bitsPerSample == 8 ? 128 : 0);
    for (int k = 0; k < b; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
  };
  for (int64_t i = 0; i < frames;) {
    int64_t j = i;
    while (j < frames && quiet(j)) ++j;
    if (j - i > s.runLength && rng() % 3 != 0) {
      const int64_t length = window / 2 + static_cast<int64_t>(rng() % static_cast<unsigned>(3 * window));
      const bool less = rng() % 4 != 0;
      for (int64_t g = (i + j - length) / 2; g < (i + j + length) / 2; ++g)
        for (int c = 0; c < channels; ++c) put(g, c, c == 0 ? z.left : z.right, less);
    }
    i = std::max(j, i + 1);
  }
}

// A cut of folder/tape.raw into the same folder.
CutSettings tapeCut(const std::string& folder, int channels, int bits, int t, int n, int k) {
  std::filesystem::create_directory(folder);
  CutSettings s;
  s.source = folder + "/tape.raw";
  s.saveFolder = folder;
  s.threshold = t;
  s.runLength = n;
  s.ignoreClicks = k;
  s.format = ParseFormatLabel(std::string(bits == 8 ? "8bit, " : "16bit, ") + (channels == 2 ? "Stereo, " : "Mono, ") +
                              "44.1kHz");
  return s;
}

TEST(SilenceCutAgainstTheRules, RandomTapesOfEveryFormat) {
  std::mt19937 rng(20261208);
  const int thresholds8[] = {0, 1, 2, 40, 100, 127, 128, 129, 300};
  const int thresholds16[] = {0, 1, 100, 1000, 32767, 32768, 32769, 65536};
  test::TempDir dir;
  for (int round = 0; round < 160; ++round) {
    const int channels = 1 + round % 2;
    const int bits = (round / 2) % 2 ? 8 : 16;
    const int t = bits == 8 ? thresholds8[rng() % 9] : thresholds16[rng() % 8];
    const int n = 1 + static_cast<int>(rng() % 700);
    const bool correct = rng() % 3 == 0;
    const int zl = correct ? static_cast<int>(rng() % 61) - 30 : 0;
    const int zr = correct ? static_cast<int>(rng() % 61) - 30 : 0;
    // Every other round tolerates clicks and merges short songs.
    const bool clicks = round % 4 >= 2;
    const int k = clicks ? 1 + static_cast<int>(rng() % 20) : 0;
    const int minFrames = clicks && rng() % 2 ? 1 + static_cast<int>(rng() % 2000) : 0;
    // Some tapes run over several of the parts the cut reads at a time.
    const int part = kScanPartBytes / (channels * bits / 8);
    const int frames = round % 20 < 4 ? 2 * part + static_cast<int>(rng() % static_cast<unsigned>(part))
                                      : 500 + static_cast<int>(rng() % 8000);
    const Bytes data = randomTape(rng, channels, bits, t, n, frames, k);
    SCOPED_TRACE(::testing::Message() << "round " << round << ": " << channels << "ch " << bits << "bit T=" << t
                                      << " N=" << n << " z=" << zl << "," << zr << " K=" << k
                                      << " min=" << minFrames);

    const std::string folder = dir / std::to_string(round);
    CutSettings s = tapeCut(folder, channels, bits, t, n, k);
    if (correct) s.correction = Correction{int64_t{zl}, int64_t{zr}};
    s.minSongSeconds = minFrames / 44100.0;
    test::WriteBytes(s.source, data);
    test::RecordingHost host;
    const CutResult run = RunCut(s, host);
    ASSERT_EQ(run.end, CutEnd::Complete);

    std::pair<int64_t, int64_t> longest;
    std::vector<Bytes> expected = reference(data, channels, bits, t, n, k, zl, zr, longest);
    const std::size_t found = expected.size();
    if (minFrames > 0) expected = mergeShort(expected, static_cast<std::size_t>(minFrames) * channels * bits / 8);
    EXPECT_EQ(run.mergedPieces, static_cast<int32_t>(found - expected.size()));
    ASSERT_EQ(host.files.size(), expected.size());
    for (std::size_t song = 0; song < expected.size(); ++song)
      ASSERT_EQ(test::DataOf(test::ReadBytes(host.files[song])), expected[song]) << "song " << song + 1;

    // A dry run finds the same pieces, writes nothing, and measures them.
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    test::WriteBytes(s.source, data);
    s.dryRun = true;
    test::RecordingHost dryHost;
    const CutResult dry = RunCut(s, dryHost);
    ASSERT_EQ(dry.end, CutEnd::Complete);
    EXPECT_TRUE(dryHost.files.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // the source alone
    ASSERT_EQ(dry.report.pieces.size(), expected.size());
    int64_t at = 0;
    for (std::size_t song = 0; song < expected.size(); ++song) {
      const Piece& p = dry.report.pieces[song];
      EXPECT_EQ(p.firstByte, at);
      EXPECT_EQ(p.dataBytes, static_cast<int64_t>(expected[song].size()));
      int peak = 0;
      for (std::size_t i = 0; i + bits / 8 <= expected[song].size(); i += bits / 8)
        peak = std::max(peak, std::abs(sampleOf(expected[song], i, bits)));
      EXPECT_EQ(p.peak, peak) << "song " << song + 1;
      at += p.dataBytes;
    }
    EXPECT_EQ(dry.report.longestQuiet.has_value(), longest.first > 0);
    if (dry.report.longestQuiet) {
      EXPECT_EQ(dry.report.longestQuiet->frames, longest.first);
      EXPECT_EQ(dry.report.longestQuiet->firstFrame, longest.second);
    }
    EXPECT_EQ(run.report.pieces.size(), dry.report.pieces.size());
  }
}

// A block longer than the part the scan reads at a time: the cut may fall in
// the part before the sound that makes it, or before a click burst there.
TEST(SilenceCutAgainstTheRules, CutsNearTheEdgeOfAReadPart) {
  test::TempDir dir;
  int round = 0;
  for (const int channels : {2, 1}) {
    const int bits = channels == 2 ? 16 : 8;
    const int f = channels * bits / 8;
    const int part = kScanPartBytes / f;
    const int n = part + 700;
    for (const int k : {0, 40}) {
      for (const int d : {-41, -40, -39, -20, -2, 0, 1, 300, 511, 512, 513, 514, 600, 699}) {
        const int t = 50;
        const int limit = bits == 8 ? 128 : 32768;
        // Sound, quiet past the run length (with a click when K tolerates
        // it), and the sound that ends the run d frames into the third part
        // read, inside the second block.
        Bytes data;
        auto put = [&](int frames, int v) {
          for (int i = 0; i < frames * channels; ++i) {
            if (bits == 8) {
              data.push_back(static_cast<uint8_t>(v + 128));
            } else {
              data.push_back(static_cast<uint8_t>(v));
              data.push_back(static_cast<uint8_t>(v >> 8));
            }
          }
        };
        put(10, limit - 1);
        put(2 * part + d - 60 - 10, 3);
        put(20, k > 0 ? -limit : 3);  // a burst K tolerates, or more quiet
        put(40, -2);
        put(300, limit / 2);
        put(2 * n, 0);
        SCOPED_TRACE(::testing::Message() << channels << "ch K=" << k << " d=" << d);
        const CutSettings s = tapeCut(dir / std::to_string(round++), channels, bits, t, n, k);
        test::WriteBytes(s.source, data);
        test::RecordingHost host;
        ASSERT_EQ(RunCut(s, host).end, CutEnd::Complete);
        std::pair<int64_t, int64_t> longest;
        const std::vector<Bytes> expected = reference(data, channels, bits, t, n, k, 0, 0, longest);
        ASSERT_EQ(host.files.size(), expected.size());
        for (std::size_t song = 0; song < expected.size(); ++song)
          ASSERT_EQ(test::DataOf(test::ReadBytes(host.files[song])), expected[song]) << "song " << song + 1;
      }
    }
  }
}

// A dry run after a first pass tests again only the stretches between
// windows loud in every frame: its report is the whole scan's, field for
// field, whatever the threshold, run length, click tolerance and zero points.
TEST(SilenceCutAgainstTheRules, ScanFromTheLevelsReportsWhatTheWholeScanDoes) {
  struct Starts final : PieceSink {
    int started = 0, finished = 0;
    void start(int32_t) override { ++started; }
    void write(const uint8_t*, std::size_t) override {}
    void finish() override { ++finished; }
    void abandon() noexcept override {}
  };

  std::mt19937 rng(20261210);
  int64_t total = 0, reread = 0;
  const int thresholds8[] = {1, 2, 40, 100, 127};
  const int thresholds16[] = {1, 100, 1000, 20000, 32767};
  int fromLevels = 0;
  for (int round = 0; round < 180; ++round) {
    const int channels = 1 + round % 2;
    const int kind = (round / 2) % 6;  // 8, 16, 24, 32 bits, 32 and 64-bit float
    const int bits = kind == 0 ? 8 : kind == 1 ? 16 : kind == 2 ? 24 : kind == 5 ? 64 : 32;
    const bool isFloat = kind >= 4;
    const int t = bits == 8 ? thresholds8[rng() % 5] : thresholds16[rng() % 5];
    const int window = 160;  // 16 kHz
    const int n = 4 * window + static_cast<int>(rng() % 1200);
    const int k = round % 7 == 0 ? window - 1 : 1 + static_cast<int>(rng() % 20);
    const bool correct = rng() % 2 == 0;
    const int zl = correct ? static_cast<int>(rng() % 61) - 30 : 0;
    const int zr = correct ? static_cast<int>(rng() % 61) - 30 : 0;
    const int frames = 2000 + static_cast<int>(rng() % 30000);
    const Bytes source = loudAndQuiet(rng, channels, bits == 8 ? 8 : 16, t, n, frames, k);
    Bytes data = source;
    if (bits == 24) data = widened(rng, data);
    if (bits >= 32) data = isFloat ? floated(rng, data, channels, t, bits) : widened(rng, data, 2);
    SCOPED_TRACE(::testing::Message() << "round " << round << ": " << channels << "ch " << bits
                                      << (isFloat ? "bit float T=" : "bit T=") << t
                                      << " N=" << n << " K=" << k << " z=" << zl << "," << zr);
    CutSettings s;
    s.format.channels = static_cast<uint16_t>(channels);
    s.format.bitsPerSample = static_cast<uint16_t>(bits);
    s.format.sampleRate = 16000;
    if (isFloat) s.format.kind = SampleKind::Float;
    s.threshold = t;
    s.runLength = n;
    s.ignoreClicks = k;
    s.dryRun = true;
    const ZeroPoints z{zl, zr};
    atTheEdge(rng, data, source, s, z);

    // The first pass, in reads of any length; at times for a longer click,
    // as when the one chosen after it may be.
    const int longer = round % 3 == 1 ? static_cast<int>(rng() % 40) : 0;
    SCOPED_TRACE(::testing::Message() << "levels for a click of " << k + longer);
    LevelWindows levels(s.format, static_cast<int64_t>(data.size()), k + 1 + longer);
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t part = std::min(data.size() - at, std::size_t{1} + rng() % 5000);
      levels.add(data.data() + at, part);
      at += part;
    }
    MemoryStream whole(data);
    // Counts what the scan from the levels reads again.
    test::WatchedStream again(data);
    int64_t asked = 0;
    again.beforeRead = [&](int64_t, std::size_t bytes) { asked += static_cast<int64_t>(bytes); };
    const CutSource a{whole, 0, static_cast<int64_t>(data.size())}, b{again, 0, static_cast<int64_t>(data.size())};
    ASSERT_TRUE(CanScanFromLevels(s, levels, b));
    test::RecordingHost host;
    Starts sa, sb;
    ScanReport ra, rb;
    ASSERT_TRUE(CutAtSilences(s, z, a, host, sa, ra));
    ASSERT_TRUE(ScanFromLevels(s, z, levels, b, host, sb, rb));
    fromLevels += ra.pieces.size() > 1;
    // Near full scale no window is loud enough to pass over, nor with a
    // click tolerance near the window's length; without a cut the longest
    // run may be short enough to be anywhere.
    if (t < (bits == 8 ? 64 : 16384) && k < window / 4 && ra.pieces.size() > 1) {
      total += static_cast<int64_t>(data.size());
      reread += asked;
    }

    EXPECT_EQ(sb.started, sa.started);
    EXPECT_EQ(sb.finished, sa.finished);
    ASSERT_EQ(rb.pieces.size(), ra.pieces.size());
    for (std::size_t i = 0; i < ra.pieces.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << "piece " << i + 1);
      const Piece &x = ra.pieces[i], &y = rb.pieces[i];
      EXPECT_EQ(y.firstByte, x.firstByte);
      EXPECT_EQ(y.dataBytes, x.dataBytes);
      EXPECT_EQ(y.peak, x.peak);
      ASSERT_EQ(y.gap.has_value(), x.gap.has_value());
      if (x.gap) {
        EXPECT_EQ(y.gap->frames, x.gap->frames);
        EXPECT_EQ(y.gap->end, x.gap->end);
        EXPECT_EQ(y.gap->peak, x.gap->peak);
      }
    }
    EXPECT_EQ(rb.envelopeFrames, ra.envelopeFrames);
    EXPECT_EQ(rb.envelope, ra.envelope);
    EXPECT_EQ(rb.quietestBlockPeak, ra.quietestBlockPeak);
    EXPECT_EQ(rb.shortSoundBreak, ra.shortSoundBreak);
    ASSERT_EQ(rb.longestQuiet.has_value(), ra.longestQuiet.has_value());
    if (ra.longestQuiet) {
      EXPECT_EQ(rb.longestQuiet->frames, ra.longestQuiet->frames);
      EXPECT_EQ(rb.longestQuiet->firstFrame, ra.longestQuiet->firstFrame);
    }
  }
  // Most tapes were cut somewhere, and most of their frames were not read again.
  EXPECT_GT(fromLevels, 90);
  EXPECT_LT(reread, total / 2);
}

// Each window's bounds, sums and sustained level against the samples read
// one by one, for every coding and both channel counts, whatever lengths the
// data comes in.
TEST(SilenceCutAgainstTheRules, WindowLevelsAreThoseOfTheirSamples) {
  std::mt19937 rng(20261211);
  constexpr int32_t kBurst = 3;
  for (int round = 0; round < 48; ++round) {
    const int channels = 1 + round % 2;
    const int kind = (round / 2) % 6;  // 8, 16, 24, 32 bits, 32 and 64-bit float
    const int bits = kind == 0 ? 8 : kind == 1 ? 16 : kind == 2 ? 24 : kind == 5 ? 64 : 32;
    const bool floating = kind >= 4;
    PcmFormat f;
    f.channels = static_cast<uint16_t>(channels);
    f.bitsPerSample = static_cast<uint16_t>(bits);
    f.sampleRate = round % 3 == 0 ? 11025 : 8000;
    if (floating) f.kind = SampleKind::Float;
    SCOPED_TRACE(::testing::Message() << "round " << round << ": " << channels << "ch " << bits << " bits"
                                      << (floating ? " float" : ""));
    const int bytes = bits / 8, window = f.sampleRate / 100;
    const int frames = 1 + static_cast<int>(rng() % 20000);
    // Full scale and quiet stretches; a window's length in samples of the
    // extremes now and then. The second window is a steady sound of 3/4 of
    // full scale, which is its sustained level.
    Bytes data(static_cast<std::size_t>(frames) * channels * bytes);
    std::vector<double> value(static_cast<std::size_t>(frames) * channels), exact(value.size());
    const auto steadyFrom = static_cast<std::size_t>(window * channels), steadyTo = 2 * steadyFrom;
    for (std::size_t i = 0; i < value.size(); ++i) {
      const bool quiet = (i / (3 * window)) % 2 == 0, steady = i >= steadyFrom && i < steadyTo;
      uint8_t* p = data.data() + i * bytes;
      const uint32_t r = rng();
      const int32_t extreme = rng() % 50 == 0 ? (r % 2 ? INT32_MAX : INT32_MIN) : 0;
      if (floating) {
        const double x = steady    ? (i % 3 ? 0.75 : -0.75)
                         : extreme ? (extreme > 0 ? 1.0 : -1.0)
                                   : static_cast<int32_t>(r) / (quiet ? 2.2e13 : 2.2e9);
        if (bits == 32) {
          const auto y = static_cast<float>(x);
          std::memcpy(p, &y, 4);
          value[i] = y * 32768.0f;
          exact[i] = y * 32768.0;
        } else {
          std::memcpy(p, &x, 8);
          value[i] = static_cast<float>(x * 32768.0);
          exact[i] = x * 32768.0;
        }
        continue;
      }
      // 8-bit samples are stored 128 above their value.
      const int32_t high = bits == 8 ? static_cast<int32_t>(0xE0000000u) : 0x60000000;
      const int32_t low = bits == 8 ? 0x20000000 : -0x60000000;
      const int32_t v = steady    ? (i % 3 ? high : low)
                        : extreme ? extreme
                        : quiet   ? static_cast<int32_t>(r) >> 24
                                  : static_cast<int32_t>(r);
      const auto w = static_cast<uint32_t>(v) >> (32 - bits);  // the top bits
      for (int b = 0; b < bytes; ++b) p[b] = static_cast<uint8_t>(w >> (8 * b));
      const int32_t s = static_cast<int32_t>(w << (32 - bits)) >> (32 - bits);
      value[i] = bits == 8    ? static_cast<double>(static_cast<int32_t>(w) - 128)
                 : bits == 16 ? s
                 : bits == 24 ? s / 256.0
                              : static_cast<float>(s) / 65536.0f;  // a float's digits, as kept
      exact[i] = bits == 32 ? s / 65536.0 : value[i];
    }
    LevelWindows levels(f, static_cast<int64_t>(data.size()), kBurst);
    std::vector<std::size_t> parted;  // where each part begins, in bytes
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t part = std::min(data.size() - at, std::size_t{1} + rng() % 3000);
      parted.push_back(at);
      levels.add(data.data() + at, part);
      at += part;
    }
    const auto count = static_cast<std::size_t>((frames + window - 1) / window);
    ASSERT_EQ(levels.windowCount(), count);
    ASSERT_EQ(levels.sums().size(), count * static_cast<std::size_t>(channels));
    std::vector<double> sustained;
    levels.withSustained([&](const auto& list) { sustained.assign(list.begin(), list.end()); });
    ASSERT_EQ(sustained.size(), count);
    for (std::size_t w = 0; w < count; ++w) {
      const std::size_t last = std::min<std::size_t>((w + 1) * window, static_cast<std::size_t>(frames));
      // A level kBurst frames in a row reach, not more: the cut would hear
      // a sound that is not there.
      auto loudness = [&](std::size_t frame) {
        double m = 0;
        for (int c = 0; c < channels; ++c)
          m = std::max(m, std::abs(value[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)]));
        return m;
      };
      bool reached = sustained[w] == 0;
      for (std::size_t i = w * window; !reached && i + kBurst <= last; ++i) {
        reached = true;
        for (std::size_t k = i; k < i + kBurst; ++k) reached = reached && loudness(k) >= sustained[w];
      }
      EXPECT_TRUE(reached) << "window " << w << " sustained " << sustained[w];
      // A steady sound read in one part is found at its level.
      const std::size_t frameBytes = static_cast<std::size_t>(channels * bytes);
      const auto in = std::upper_bound(parted.begin(), parted.end(), w * window * frameBytes);
      const bool onePart = in == parted.end() || *in >= last * frameBytes;
      if (w == 1 && last == 2 * static_cast<std::size_t>(window) && onePart) {
        EXPECT_EQ(sustained[w], bits == 8 ? 96 : 24576);
      }
    }
    for (std::size_t w = 0; w < count; ++w)
      for (int c = 0; c < channels; ++c) {
        double lo = INFINITY, hi = -INFINITY, sum = 0, least = INFINITY, most = -INFINITY;
        const std::size_t last = std::min<std::size_t>((w + 1) * window, static_cast<std::size_t>(frames));
        for (std::size_t i = w * window; i < last; ++i) {
          const std::size_t at = i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c);
          const double x = value[at];
          lo = std::min(lo, x);
          hi = std::max(hi, x);
          sum += x;
          least = std::min(least, exact[at]);
          most = std::max(most, exact[at]);
        }
        SCOPED_TRACE(::testing::Message() << "window " << w << " channel " << c);
        ASSERT_EQ(levels.lo(w, c), lo);
        ASSERT_EQ(levels.hi(w, c), hi);
        // Beside bounds rounded to a float's digits, wide samples' exact range.
        if (bits >= 32) {
          ASSERT_EQ(levels.windowRanges().size(), count);
          ASSERT_EQ(levels.windowRanges()[w].lo[c], least);
          ASSERT_EQ(levels.windowRanges()[w].hi[c], most);
        }
        // Whole sums of 8 and 16 bits stay within a float's digits.
        const double got = levels.sums()[w * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
        if (bits <= 16)
          ASSERT_EQ(got, sum);
        else
          ASSERT_NEAR(got, sum, 1e-6 * window * 32768);
      }
  }
}

}  // namespace
}  // namespace mv
