// The settings a cut chooses from its source: tapes made here with known
// hiss, DC offset, gaps and pauses, at every sample width, cut with the
// chosen threshold, run length and zero points, and cut into a given number
// of songs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "cut/counts.h"
#include "cut/cut.h"
#include "cut/explain.h"
#include "tests/commands.h"
#include "tests/support.h"
#include "wave/errors.h"

namespace mv {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A tape: a short quiet lead-in, then songs of tones with a short pause in
// each, parted by gaps of the given lengths; hiss and a DC offset (16-bit
// units) over all of it, a click in the second gap, and a thump of 30 ms in
// the lead-in and a longer pause in the third song when asked.
struct Tape {
  PcmFormat format;
  double hissDb;  // RMS of the hiss, dBFS
  int32_t dcLeft, dcRight;
  std::vector<double> gaps = {1.5, 3.0, 2.0, 2.5};
  double songSeconds = 4.0;
  double pauseSeconds = 0.25;
  double leadIn = 0.4;
  int clickFrames = 1;          // of the click in the second gap, 1 s in
  double leadInThump = -1;      // seconds, or none
  double lonePause = 0;         // seconds of the third song's pause, or its usual one
  std::vector<double> pauses = {};  // of the songs in turn, instead of the above
  bool dither = false;              // at 8 bits, of one step either way, as sox adds
  double infinities = 0;            // seconds of them ending 0.1 s before the second gap does
  double songOffset = 0;            // of the songs over the gaps, as a lopsided wave has

  // Where each gap lies, in frames: [first, end).
  std::vector<std::pair<int64_t, int64_t>> gapFrames() const {
    std::vector<std::pair<int64_t, int64_t>> out;
    double t = leadIn;
    for (double g : gaps) {
      t += songSeconds;
      out.emplace_back(std::llround(t * format.sampleRate), std::llround((t + g) * format.sampleRate));
      t += g;
    }
    return out;
  }

  // The samples, in 16-bit units, interleaved.
  std::vector<double> samples() const {
    const int rate = format.sampleRate;
    std::vector<double> clean;
    auto quiet = [&](double seconds) { clean.resize(clean.size() + 2 * static_cast<std::size_t>(seconds * rate), 0.0); };
    auto song = [&](double pause) {
      const auto n = static_cast<int64_t>(songSeconds * rate);
      const auto pauseFrom = static_cast<int64_t>((songSeconds - pause) / 2 * rate);
      const auto pauseTo = pauseFrom + static_cast<int64_t>(pause * rate);
      for (int64_t f = 0; f < n; ++f) {
        const double t = static_cast<double>(f) / rate;
        const double v = f >= pauseFrom && f < pauseTo
                             ? 0.0
                             : songOffset + 6000 * (1 + 0.5 * std::sin(2 * kPi * 1.3 * t)) *
                                                (std::sin(2 * kPi * 220 * t) + 0.5 * std::sin(2 * kPi * 331 * t));
        clean.push_back(v);
        clean.push_back(v * 0.8);
      }
    };
    quiet(leadIn);
    auto pause = [&](std::size_t i) {
      if (!pauses.empty()) return pauses[i % pauses.size()];
      return i == 2 && lonePause > 0 ? lonePause : pauseSeconds;
    };
    for (std::size_t i = 0; i < gaps.size(); ++i) {
      song(pause(i));
      quiet(gaps[i]);
    }
    song(pause(gaps.size()));
    quiet(0.5);
    // Gaussian hiss from a fixed sequence, then the offset.
    uint64_t state = 0x2545F4914F6CDD1DULL;
    auto uniform = [&] {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    };
    const double sigma = 32768 * std::pow(10, hissDb / 20);
    for (std::size_t i = 0; i < clean.size(); ++i) {
      clean[i] += sigma * std::sqrt(-2 * std::log(uniform())) * std::cos(2 * kPi * uniform());
      clean[i] += (i % 2 == 0 || format.channels == 1) ? dcLeft : dcRight;
      if (dither) clean[i] += (uniform() - uniform()) * 256;
    }
    auto addClick = [&](std::size_t at, int frames) {
      for (int k = 0; k < frames; ++k, ++at) {
        clean[2 * at] += 12000;
        clean[2 * at + 1] -= 12000;
      }
    };
    addClick(static_cast<std::size_t>(gapFrames()[1].first + rate), clickFrames);
    if (leadInThump >= 0) addClick(static_cast<std::size_t>(leadInThump * rate), rate * 3 / 100);
    const auto damaged = static_cast<int64_t>(infinities * rate);
    for (int64_t f = gapFrames()[1].second - rate / 10 - damaged; damaged > 0 && f < gapFrames()[1].second - rate / 10; ++f) {
      clean[2 * static_cast<std::size_t>(f)] = INFINITY;
      clean[2 * static_cast<std::size_t>(f) + 1] = -INFINITY;
    }
    return clean;
  }

  test::Bytes bytes() const {
    const std::vector<double> s = samples();
    test::Bytes out;
    for (std::size_t i = 0; i < s.size(); i += 2) {
      for (int c = 0; c < format.channels; ++c) {
        const double v = s[i + static_cast<std::size_t>(c)];
        if (format.isFloat()) {
          const float x = static_cast<float>(v / 32768);
          uint8_t b[4];
          std::memcpy(b, &x, 4);
          out.insert(out.end(), b, b + 4);
          continue;
        }
        const int bits = format.bitsPerSample;
        const double scale = std::ldexp(1.0, bits - 16);
        const double top = std::ldexp(1.0, bits - 1) - 1;
        auto q = static_cast<int64_t>(std::clamp(std::round(v * scale), -top - 1, top));
        if (bits == 8) q += 128;
        for (int k = 0; k < bits / 8; ++k) out.push_back(static_cast<uint8_t>(q >> (8 * k)));
      }
    }
    return out;
  }
};

PcmFormat formatOf(int bits, int channels, int rate, bool floats = false) {
  PcmFormat f;
  f.bitsPerSample = static_cast<uint16_t>(bits);
  f.channels = static_cast<uint16_t>(channels);
  f.sampleRate = rate;
  f.kind = floats ? SampleKind::Float : SampleKind::Integer;
  return f;
}

class Detect : public ::testing::Test {
 protected:
  CutResult cut(const Tape& tape, CutSettings::Auto ask) {
    s.saveFolder = dir.path();
    s.source = dir / "tape.raw";
    s.format = tape.format;
    s.dryRun = true;
    s.detect = ask;
    test::WriteBytes(s.source, tape.bytes());
    return RunCut(s, host);
  }
  // The frame where each piece after the first begins.
  std::vector<int64_t> cuts(const CutResult& r) const {
    std::vector<int64_t> out;
    for (std::size_t i = 1; i < r.report.pieces.size(); ++i)
      out.push_back(r.report.pieces[i].firstByte / s.format.frameBytes());
    return out;
  }

  // Every gap of the tape ends one song, and nothing else does.
  void expectOneCutInEachGap(const Tape& t, const CutResult& r) const {
    const auto gaps = t.gapFrames();
    const std::vector<int64_t> at = cuts(r);
    ASSERT_EQ(at.size(), gaps.size());
    for (std::size_t i = 0; i < gaps.size(); ++i) {
      EXPECT_GE(at[i], gaps[i].first) << i;
      EXPECT_LT(at[i], gaps[i].second) << i;
    }
  }

  test::TempDir dir;
  CutSettings s;
  test::RecordingHost host;
};

// The units of the silence test: 8-bit its own, the others 16-bit.
double testUnits(const PcmFormat& f, double sixteenBit) {
  return f.bitsPerSample == 8 && !f.isFloat() ? sixteenBit / 256 : sixteenBit;
}

TEST_F(Detect, ChosenSettingsPartTheGapsAtEveryWidth) {
  const struct {
    const char* name;
    Tape tape;
  } rows[] = {
      {"16-bit stereo, DC", {formatOf(16, 2, 11025), -60, 300, -200}},
      {"16-bit mono, faint hiss", {formatOf(16, 1, 11025), -75, 0, 0}},
      {"8-bit stereo, loud hiss, DC", {formatOf(8, 2, 11025), -45, 768, 0}},
      {"24-bit stereo, DC", {formatOf(24, 2, 8000), -70, -150, 150}},
      {"32-bit mono, DC", {formatOf(32, 1, 8000), -50, 80, 80}},
      {"float stereo, DC on one side", {formatOf(32, 2, 8000, true), -65, 0, 100}},
      // A damaged float file: its infinities are sound, not the quietest
      // windows, and no offset; the songs' own offset is not the gaps'.
      {"float stereo, infinities late in a gap",
       {formatOf(32, 2, 8000, true), -65, 100, -50, {1.5, 3.0, 2.0, 2.5}, 4.0, 0.25, 0.4, 1, -1, 0, {}, false, 0.05, 2000}},
      // A click smeared over 3 frames parts no gap, even at a low rate.
      {"16-bit stereo, wide click", {formatOf(16, 2, 11025), -60, 0, 0, {1.5, 3.0, 2.0, 2.5}, 4.0, 0.25, 0.4, 3}},
      // A click smeared over 15 frames parts a gap of 2 s in two runs shorter
      // than N, unless a run may hold it: at 11 kHz under faint hiss it may.
      {"16-bit stereo at 11 kHz, click of 15 frames",
       {formatOf(16, 2, 11025), -70, 0, 0, {1.5, 2.0, 2.0, 2.5}, 4.0, 0.25, 0.4, 15}},
      // Pauses of 0.5 s and nothing shorter: N still falls between them and the gaps.
      {"16-bit stereo, longer pauses", {formatOf(16, 2, 11025), -65, 0, 0, {1.5, 3.0, 2.0, 2.5}, 4.0, 0.5}},
      // A thump just after the start, then a second of quiet: no piece of silence.
      {"16-bit stereo, thump before a long lead-in",
       {formatOf(16, 2, 11025), -65, 0, 0, {1.5, 3.0, 2.0, 2.5}, 4.0, 0.25, 1.0, 1, 0.02}},
      // A lone pause of 0.8 s, further above the others than the gaps are
      // above it, and shorter than the lead-in of 1 s: N passes both.
      {"16-bit stereo, one long pause", {formatOf(16, 2, 11025), -65, 0, 0, {1.5, 3.0, 2.0, 2.5}, 4.0, 0.25, 1.0, 1, -1, 0.8}},
      // Pauses of every length up to a second, as soft music at 8 bits has:
      // the widest ratio lies among them, and still N parts them from the gaps.
      {"8-bit stereo, pauses up to a second",
       {formatOf(8, 2, 11025), -60, 0, 0, {1.5, 3.0, 2.0, 2.5}, 4.0, 0.25, 0.4, 1, -1, 0, {0.32, 0.6, 0.75, 0.9, 1.0}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Tape& t = row.tape;
    const PcmFormat& f = t.format;
    const CutResult r = cut(t, {true, true, true, 0});
    ASSERT_EQ(r.end, CutEnd::Complete);
    ASSERT_TRUE(r.detected);
    // The zero points are the offset, to the width's step.
    EXPECT_NEAR(r.detected->zero.left, testUnits(f, t.dcLeft), 1);
    EXPECT_NEAR(r.detected->zero.right, testUnits(f, f.channels == 1 ? t.dcLeft : t.dcRight), 1);
    // The threshold lies above the hiss (runs of it longer than a click
    // are what it must not reach) and far below the songs.
    const double sigma = testUnits(f, 32768 * std::pow(10, t.hissDb / 20));
    EXPECT_GT(r.detected->threshold, 2.5 * sigma);
    // No higher than Gaussian hiss needs, or songs rising out of it are cut late.
    if (f.bitsPerSample > 8 || f.isFloat()) {
      EXPECT_LT(r.detected->threshold, 3.5 * sigma);
    }
    EXPECT_LT(r.detected->threshold, std::max(16 * sigma, 4.0));
    // The run length is longer than a pause and shorter than any gap.
    double longestPause = std::max(t.pauseSeconds, t.lonePause);
    for (double p : t.pauses) longestPause = std::max(longestPause, p);
    EXPECT_GT(r.detected->runLength, longestPause * f.sampleRate);
    EXPECT_LT(r.detected->runLength, 1.5 * f.sampleRate);
    // Every gap ends one song, and nothing else does.
    expectOneCutInEachGap(t, r);
    if (HasFatalFailure()) return;
    const auto gaps = t.gapFrames();
    // The gap that began each piece is told with its length.
    for (std::size_t i = 1; i < r.report.pieces.size(); ++i) {
      const auto& gap = r.report.pieces[i].gap;
      ASSERT_TRUE(gap);
      // Infinities end the second gap's run early.
      const int64_t damaged = i == 2 && t.infinities > 0 ? std::llround((t.infinities + 0.1) * f.sampleRate) : 0;
      EXPECT_GT(gap->frames, gaps[i - 1].second - gaps[i - 1].first - f.sampleRate / 10 - damaged) << i;
    }
    EXPECT_FALSE(r.report.pieces.front().gap);
  }
}

TEST_F(Detect, At8BitsTheThresholdIsTheLowestStepTheGapsAllow) {
  // Dither, faint hiss and an offset of part of a step: one gap sample in a
  // few hundred lies two steps from the zero point, so most windows of the
  // gaps hold one, but never as many in a row as a click. The runs that
  // tell N are counted at a step above, or they fall apart.
  Tape t{formatOf(8, 2, 11025), -59, 150, -80};
  t.dither = true;
  const CutResult r = cut(t, {true, true, true, 0});
  ASSERT_EQ(r.end, CutEnd::Complete);
  ASSERT_TRUE(r.detected);
  const Detection& d = *r.detected;
  ASSERT_GT(d.ignoreClicks, 0);
  const test::Bytes bytes = t.bytes();
  // The most frames in a row of a gap that reach `threshold` from the zero points.
  auto longestBurst = [&](int32_t threshold) {
    int64_t longest = 0;
    for (const auto& [first, end] : t.gapFrames()) {
      int64_t burst = 0;
      for (int64_t f = first; f < end; ++f) {
        const int left = bytes[static_cast<std::size_t>(2 * f)] - 128 - d.zero.left;
        const int right = bytes[static_cast<std::size_t>(2 * f + 1)] - 128 - d.zero.right;
        burst = std::max(std::abs(left), std::abs(right)) >= threshold ? burst + 1 : 0;
        longest = std::max(longest, burst);
      }
    }
    return longest;
  };
  EXPECT_LE(longestBurst(d.threshold), d.ignoreClicks);
  EXPECT_GT(longestBurst(d.threshold - 1), d.ignoreClicks) << d.threshold;
  expectOneCutInEachGap(t, r);
}

TEST_F(Detect, GivenValuesStayAndTheChosenOnesFollowTheOffset) {
  // Without the zero points chosen, the offset is part of every level: the
  // threshold must pass it.
  Tape t{formatOf(16, 2, 11025), -65, 900, 900};
  s.threshold = 100;
  s.runLength = 5000;
  CutResult r = cut(t, {true, false, false, 0});
  ASSERT_TRUE(r.detected);
  EXPECT_EQ(r.detected->runLength, 5000);
  EXPECT_EQ(r.detected->zero.left, 0);
  EXPECT_GT(r.detected->threshold, 900);
  EXPECT_FALSE(AsRun(s, r).correction);
  // Chosen, they come back near zero and the threshold with them.
  r = cut(t, {true, false, true, 0});
  EXPECT_NEAR(r.detected->zero.left, 900, 1);
  EXPECT_LT(r.detected->threshold, 200);
  ASSERT_TRUE(AsRun(s, r).correction);
}

TEST_F(Detect, SongsCutAtTheLongestQuietRuns) {
  // Gaps of 1.5, 3.0, 2.0 and 2.5 s; the 3-second one holds a click 1 s in.
  const Tape t{formatOf(16, 2, 11025), -60, 0, 0};
  const auto gaps = t.gapFrames();
  const struct {
    int songs;
    int32_t clicks;                    // frames of a sound a quiet run may hold
    std::vector<std::size_t> gapsCut;  // which gaps end songs
    int found;
  } rows[] = {
      {1, 5, {}, 0},
      {2, 5, {1}, 1},
      {3, 5, {1, 3}, 2},
      {4, 5, {1, 2, 3}, 3},
      {5, 5, {0, 1, 2, 3}, 4},
      // More than the tape holds: the pauses inside the songs are no breaks.
      {9, 5, {0, 1, 2, 3}, 4},
      // The click parts its gap in runs of 1 and 2 s when it is not ignored.
      {2, 0, {3}, 1},
      {9, 0, {0, 1, 1, 2, 3}, 5},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.songs) + " songs, clicks " + std::to_string(row.clicks));
    s.threshold = 400;  // above the hiss, far below the songs
    s.ignoreClicks = row.clicks;
    const CutResult r = cut(t, {false, false, false, row.songs});
    ASSERT_TRUE(r.detected);
    EXPECT_EQ(r.detected->breaksFound, row.found);
    const std::vector<int64_t> at = cuts(r);
    ASSERT_EQ(at.size(), row.gapsCut.size());
    for (std::size_t i = 0; i < at.size(); ++i) {
      EXPECT_GE(at[i], gaps[row.gapsCut[i]].first);
      EXPECT_LT(at[i], gaps[row.gapsCut[i]].second);
    }
    // Fewer breaks made than asked is said.
    const CutExplanation e = ExplainCut(s, r);
    const bool told = std::any_of(e.notes.begin(), e.notes.end(), [](const std::string& n) {
      return n.find("しか見つかりませんでした") != std::string::npos;
    });
    EXPECT_EQ(told, std::ssize(at) < row.songs - 1);
  }
}

// The quantiles of the windows' levels, from counts, against all the values
// ordered: whole ones with many ties, fractions several to a part, values
// past the last part, infinities; one table cleared between rounds.
TEST(DetectCounts, QuantilesAreThoseOfTheValuesOrdered) {
  std::mt19937 rng(20261210);
  Counts counts;
  std::vector<double> scratch;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    std::vector<double> values(1 + rng() % 3000);
    for (double& v : values) {
      switch (round % 4) {
        case 0:
          v = rng() % 50;
          break;
        case 1:
          v = (rng() % 4000) / 256.0;
          break;
        case 2:
          v = 65000 + (rng() % 2000000) / 7.0;
          break;
        default:
          v = rng() % 10 == 0 ? INFINITY : rng() % 70000;
      }
    }
    counts.clear();
    for (const double v : values) counts.add(v);
    std::vector<double> ordered = values;
    std::sort(ordered.begin(), ordered.end());
    for (const double q : {0.0, 0.005, 0.5, 0.999, 1.0}) {
      const double got = counts.quantile(q, [&](auto&& each) { for (const double v : values) each(v); }, scratch);
      EXPECT_EQ(got, ordered[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1))]) << q;
    }
    const std::size_t k = rng() % values.size();
    std::size_t below = 0;
    const uint32_t part = counts.partHolding(k, below);
    EXPECT_EQ(below, static_cast<std::size_t>(std::count_if(values.begin(), values.end(),
                                                            [&](double v) { return Counts::partOf(v) < part; })));
    EXPECT_EQ(Counts::partOf(ordered[k]), part);
  }
}

TEST(DetectCli, AutoValuesAreToldAndTakeOver) {
  test::TempDir dir;
  const Tape t{formatOf(16, 2, 11025), -60, 200, 200};
  const test::Bytes data = t.bytes();
  test::WriteBytes(dir / "tape.wav", test::MakeWav(2, 11025, 16, data));
  auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"cut", dir / "tape.wav", "--out", dir.path(), "--dry-run"};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::RunCli(args, dir.path());
  };
  const test::Outcome json = run({"--json", "--threshold", "auto", "--run", "auto", "--zero", "auto"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"auto\": {\"threshold\": "), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"zero\": [200, 200]"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"gap\": null"), std::string::npos);
  EXPECT_NE(json.out.find("\"gap\": {\"frames\": "), std::string::npos);
  EXPECT_NE(json.err.find("(自動: しきい値 "), std::string::npos) << json.err;
  // The summary's values given back by hand cut the same way.
  const test::Outcome told = run({"--threshold", "auto", "--run", "auto", "--zero", "auto"});
  const test::Outcome plain = run({});
  EXPECT_EQ(plain.err.find("自動"), std::string::npos);
  const test::Outcome songs = run({"--songs", "0"});
  EXPECT_EQ(songs.status, 2);
  const test::Outcome bad = run({"--threshold", "automatic"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(told.out.find("mv000005.wav"), std::string::npos) << told.out;
  EXPECT_EQ(told.out.find("mv000006.wav"), std::string::npos) << told.out;
}

}  // namespace
}  // namespace mv
