// Formats offered for recording, length limits from free space, and the
// correction analysis.

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "record/analysis.h"
#include "record/capabilities.h"
#include "record/capacity.h"
#include "record/input_watch.h"
#include "tests/support.h"
#include "wave/file.h"
#include "wave/format.h"

namespace mv {
namespace {

using test::Bytes;

const std::vector<std::string> kTwentyLabels = {
      "16bit, Mono, 11kHz",   "16bit, Mono, 22kHz",   "16bit, Mono, 32kHz",
      "16bit, Mono, 44.1kHz", "16bit, Mono, 48kHz",   "16bit, Stereo, 11kHz",
      "16bit, Stereo, 22kHz", "16bit, Stereo, 32kHz", "16bit, Stereo, 44.1kHz",
      "16bit, Stereo, 48kHz", "8bit, Mono, 11kHz",    "8bit, Mono, 22kHz",
      "8bit, Mono, 32kHz",    "8bit, Mono, 44.1kHz",  "8bit, Mono, 48kHz",
      "8bit, Stereo, 11kHz",  "8bit, Stereo, 22kHz",  "8bit, Stereo, 32kHz",
      "8bit, Stereo, 44.1kHz", "8bit, Stereo, 48kHz"};

TEST(RecordingFormats, EveryFlagGivesTheSortedTwentyLabels) { EXPECT_EQ(RecordingLabels(0xFFF), kTwentyLabels); }

// What the input can capture decides the list: without 32-bit integers it
// is the classic one; with them 24-bit labels follow it, stereo then mono,
// by rate, for the rates at which the input takes them.
TEST(RecordingFormats, TwentyFourBitLabelsFollowWhereTheInputTakes32BitIntegers) {
  using Supports = std::function<bool(int, int, CaptureSample)>;
  struct Row {
    const char* name;
    Supports supports;
    std::vector<std::string> expected;
  };
  const auto concat = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::vector<std::string> stereo24 = {"24bit, Stereo, 44.1kHz", "24bit, Stereo, 48kHz",
                                             "24bit, Stereo, 88.2kHz", "24bit, Stereo, 96kHz"};
  const std::vector<std::string> mono24 = {"24bit, Mono, 44.1kHz", "24bit, Mono, 48kHz", "24bit, Mono, 88.2kHz",
                                           "24bit, Mono, 96kHz"};
  const std::vector<Row> rows = {
      {"no 32-bit integers", [](int, int, CaptureSample s) { return s != CaptureSample::Int32; }, kTwentyLabels},
      {"everything", [](int, int, CaptureSample) { return true; }, concat(concat(kTwentyLabels, stereo24), mono24)},
      {"32-bit stereo at 48 and 96 kHz, 16-bit mono at 22 kHz",
       [](int rate, int channels, CaptureSample s) {
         if (s == CaptureSample::Int32) return channels == 2 && (rate == 48000 || rate == 96000);
         return s == CaptureSample::Int16 && channels == 1 && rate == 22050;
       },
       {"16bit, Mono, 22kHz", "24bit, Stereo, 48kHz", "24bit, Stereo, 96kHz"}},
      {"32-bit mono only", [](int, int channels, CaptureSample s) { return s == CaptureSample::Int32 && channels == 1; },
       mono24},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(RecordingLabels(CapabilityFlags(row.supports)), row.expected);
  }
  // 8 and 16 bits asked at the three classic rates, 32-bit integers at four.
  std::vector<std::tuple<int, int, CaptureSample>> asked;
  CapabilityFlags([&](int rate, int channels, CaptureSample s) {
    asked.emplace_back(rate, channels, s);
    return false;
  });
  EXPECT_EQ(asked.size(), 3u * 2 * 2 + 4 * 2);
  for (const auto& [rate, channels, s] : asked) {
    const bool classic = rate == 11025 || rate == 22050 || rate == 44100;
    EXPECT_TRUE(s == CaptureSample::Int32 ? CapabilityFlagFor(rate, channels, 24) != 0 : classic) << rate;
  }
  // Each 24-bit label names its format, the listed ones theirs as before.
  for (const std::string& label : concat(stereo24, mono24)) {
    const PcmFormat f = RecordingFormat(label);
    EXPECT_EQ(f.bitsPerSample, 24) << label;
    EXPECT_EQ(f.kind, SampleKind::Integer) << label;
    EXPECT_EQ(FormatLabel(f), label);
  }
  for (const std::string& label : kTwentyLabels) EXPECT_EQ(RecordingFormat(label), ParseFormatLabel(label)) << label;
}

TEST(RecordingFormats, ThirtyTwoKilohertzNeedsBothNeighbours) {
  EXPECT_EQ(RecordingLabels(kCap22kStereo16 | kCap44kStereo16),
            (std::vector<std::string>{"16bit, Stereo, 22kHz", "16bit, Stereo, 32kHz",
                                      "16bit, Stereo, 44.1kHz", "16bit, Stereo, 48kHz"}));
  EXPECT_EQ(RecordingLabels(kCap22kMono8 | kCap44kStereo8),
            (std::vector<std::string>{"8bit, Mono, 22kHz", "8bit, Stereo, 44.1kHz",
                                      "8bit, Stereo, 48kHz"}));
  EXPECT_TRUE(RecordingLabels(0).empty());
}

TEST(RecordingFormats, FlagsFromDeviceFormats) {
  EXPECT_EQ(CapabilityFlagFor(11025, 1, 8), uint32_t{kCap11kMono8});
  EXPECT_EQ(CapabilityFlagFor(22050, 2, 16), uint32_t{kCap22kStereo16});
  EXPECT_EQ(CapabilityFlagFor(44100, 1, 16), uint32_t{kCap44kMono16});
  EXPECT_EQ(CapabilityFlagFor(48000, 2, 16), 0u);
  EXPECT_EQ(CapabilityFlagFor(44100, 3, 16), 0u);
  EXPECT_EQ(CapabilityFlagFor(48000, 2, 24), uint32_t{kCap48kStereo24});
  EXPECT_EQ(CapabilityFlagFor(88200, 1, 24), uint32_t{kCap88kMono24});
  EXPECT_EQ(CapabilityFlagFor(96000, 2, 24), uint32_t{kCap96kStereo24});
  EXPECT_EQ(CapabilityFlagFor(32000, 2, 24), 0u);
  EXPECT_EQ(CapabilityFlagFor(44100, 3, 24), 0u);
  EXPECT_EQ(CapabilityFlagFor(96000, 2, 16), 0u);
}

CapacityInput oneDrive(int64_t free, bool cut) {
  CapacityInput in;
  in.label = "16bit, Stereo, 44.1kHz";
  in.freeRecording = in.freeTemp = in.freeCut = free;
  in.cutAfterRecording = cut;
  return in;
}

TEST(Capacity, SharedDriveIsDividedAmongItsCopies) {
  EXPECT_EQ(CapacitySeconds(oneDrive(1000000000, true)), 1890);
  EXPECT_EQ(CapacitySeconds(oneDrive(1000000000, false)), 2834);

  CapacityInput in = oneDrive(1000000000, true);
  in.keyCut = 7;  // only recording and temp share
  in.freeCut = 400000000;
  EXPECT_EQ(CapacitySeconds(in), RoundHalfEven(400000000, 176400));
  in.freeCut = 900000000;
  EXPECT_EQ(CapacitySeconds(in), RoundHalfEven(500000000, 176400));
  // Cut and temp share; recording apart.
  in = oneDrive(1000000000, true);
  in.keyRecording = 9;
  EXPECT_EQ(CapacitySeconds(in), RoundHalfEven(500000000, 176400));
  // 24 bits take three bytes a sample: 1e9 / 3 bytes at 288000 a second.
  in = oneDrive(1000000000, true);
  in.label = "24bit, Stereo, 48kHz";
  EXPECT_EQ(CapacitySeconds(in), 1157);
  in.label = "24bit, Mono, 88.2kHz";
  EXPECT_EQ(CapacitySeconds(in), RoundHalfEven(333333333, 264600));
}

TEST(Capacity, UnreadableSpaceAndTheCap) {
  CapacityInput in = oneDrive(-1, true);
  EXPECT_EQ(CapacitySeconds(in), 0);
  // Whatever the space, no length the header cannot tell: 2147483603 bytes
  // of samples hold 12173.99 s at 176400 bytes a second, rounded down. A
  // 24-bit file's longer header (68 bytes) leaves less room for samples.
  const struct {
    const char* label;
    int64_t perSecond, header;
  } caps[] = {{"16bit, Stereo, 44.1kHz", 176400, 44},
              {"8bit, Mono, 11kHz", 11025, 44},
              {"16bit, Stereo, 48kHz", 192000, 44},
              {"24bit, Stereo, 96kHz", 576000, 68},
              {"24bit, Mono, 44.1kHz", 132300, 68}};
  for (const auto& cap : caps) {
    SCOPED_TRACE(cap.label);
    in = oneDrive(int64_t{1} << 40, false);
    in.label = cap.label;
    in.keyTemp = 1;
    const int64_t n = CapacitySeconds(in);
    EXPECT_EQ(LabelBytesPerSecond(cap.label), cap.perSecond);
    EXPECT_LE(cap.header + n * cap.perSecond, 2147483647);
    EXPECT_GT(cap.header + (n + 1) * cap.perSecond, 2147483647);
  }
  in.label = "16bit, Stereo, 44.1kHz";
  EXPECT_EQ(CapacitySeconds(in), 12173);
}

TEST(Capacity, RoundsHalvesToEven) {
  EXPECT_EQ(RoundHalfEven(5, 2), 2);
  EXPECT_EQ(RoundHalfEven(7, 2), 4);
  EXPECT_EQ(RoundHalfEven(-1, 2), 0);
  EXPECT_EQ(RoundHalfEven(-3, 2), -2);
  EXPECT_EQ(RoundHalfEven(10, 3), 3);
  EXPECT_EQ(RoundHalfEven(11, 3), 4);
}

TEST(LengthLimits, ThirtyOneMinutesThirtySeconds) {
  LengthFields f;
  ApplyLengthLimits(1890, f);
  EXPECT_EQ(f.hours.maximum, 0);
  EXPECT_FALSE(f.hours.enabled);
  EXPECT_EQ(f.minutes.maximum, 31);
  EXPECT_TRUE(f.minutes.enabled);
  EXPECT_EQ(f.seconds.maximum, 59);  // minutes below their maximum
  f.minutes.value = 31;
  f.seconds.value = 45;
  ApplyLengthLimits(1890, f);
  EXPECT_EQ(f.seconds.maximum, 30);
  EXPECT_EQ(f.seconds.value, 30);
  f.minutes.value = 40;
  ApplyLengthLimits(1890, f);
  EXPECT_EQ(f.minutes.value, 31);
}

TEST(LengthLimits, OneHourExactly) {
  LengthFields f;
  f.hours.value = 1;
  f.minutes.value = 20;
  ApplyLengthLimits(3600, f);
  EXPECT_EQ(f.hours.maximum, 1);
  EXPECT_TRUE(f.hours.enabled);
  EXPECT_EQ(f.minutes.maximum, 0);
  EXPECT_EQ(f.minutes.value, 0);
  EXPECT_TRUE(f.minutes.enabled);
  EXPECT_EQ(f.seconds.maximum, 0);
  f.hours.value = 0;
  ApplyLengthLimits(3600, f);
  EXPECT_EQ(f.minutes.maximum, 59);
  EXPECT_EQ(f.seconds.maximum, 59);
  // Nothing at all: only 0:00:00.
  ApplyLengthLimits(0, f);
  EXPECT_FALSE(f.hours.enabled);
  EXPECT_FALSE(f.minutes.enabled);
  EXPECT_EQ(f.seconds.maximum, 0);
}

CorrectionValues analyse(const Bytes& samples, int channels, int bits) {
  MemoryStream in(test::Concat({Bytes(44, 0xEE), samples}));
  return AnalyseInput(in, 44, channels, bits);
}

// An input's silence counts only while this process was there to take its
// sound: a stall of its own (stopped and resumed, its event loop blocked)
// is not held against the input, which gets its full time again; a tick a
// little late is no stall. Ticks every 100 ms, 5 s of silence allowed.
TEST(InputWatch, AStallOfTheProcessIsNotTheInputsSilence) {
  struct Stall {
    int64_t after, lateBy;  // the tick after which the next one comes late
  };
  struct Row {
    const char* name;
    std::vector<int64_t> data;  // when the input delivered
    std::vector<Stall> stalls;
    int64_t until;
    int64_t silentAt;             // the first tick that finds it silent; -1: none
  };
  const std::vector<Row> rows = {
      {"never a byte", {}, {}, 8000, 5100},
      {"delivering", {1000, 4000, 6000}, {}, 10000, -1},
      {"stopped 8 s, then delivering", {1000, 9300}, {{1100, 8000}}, 14000, -1},
      {"stopped 8 s, still nothing", {1000}, {{1100, 8000}}, 16000, 14300},
      {"a tick 700 ms late", {}, {{4500, 600}}, 8000, 5200},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InputWatch watch(5000, 1000);
    watch.start(0);
    int64_t silentAt = -1;
    std::size_t next = 0;
    for (int64_t now = 100; now <= row.until && silentAt < 0; now += 100) {
      for (const Stall& stall : row.stalls)
        if (now - 100 == stall.after) now += stall.lateBy;
      while (next < row.data.size() && row.data[next] <= now) watch.delivered(row.data[next++]);
      if (watch.silent(now)) silentAt = now;
    }
    EXPECT_EQ(silentAt, row.silentAt);
  }
}

TEST(Analysis, StereoSixteenBit) {
  // Left mean 2.9 -> 2; right mean -0.6 -> 0 (truncated, not rounded).
  Bytes b;
  for (auto [l, r] : {std::pair{10, -3}, {0, 0}, {-2, 1}, {4, -1}, {2, 0}, {4, -1}, {2, 0},
                      {4, -1}, {2, 0}, {3, -1}}) {
    test::Put16(b, static_cast<uint16_t>(l));
    test::Put16(b, static_cast<uint16_t>(r));
  }
  b.push_back(0x55);  // not a whole frame
  const CorrectionValues v = analyse(b, 2, 16);
  EXPECT_EQ(v.frames, 10);
  EXPECT_EQ(v.zero[0], 2);
  EXPECT_EQ(v.zero[1], 0);
  EXPECT_EQ(v.maximum[0], 10);
  EXPECT_EQ(v.minimum[0], -2);
  EXPECT_EQ(v.maximum[1], 1);
  EXPECT_EQ(v.minimum[1], -3);
  // Largest distance: left maximum 10 - 2.9 = 7.1; times 1.2.
  EXPECT_EQ(v.threshold(), 8);
  EXPECT_DOUBLE_EQ(v.spread, 7.1 * 1.2);
}

TEST(Analysis, EightBitAndMono) {
  CorrectionValues v = analyse(Bytes(100, 130), 1, 8);
  EXPECT_EQ(v.zero[0], 2);
  EXPECT_EQ(v.zero[1], 0);
  EXPECT_EQ(v.maximum[1], 0);
  EXPECT_EQ(v.minimum[1], 0);
  EXPECT_EQ(v.threshold(), 0);  // unchanging input
  v = analyse(Bytes(100, 128), 2, 8);
  EXPECT_EQ(v.zero[0], 0);
  // Spreads are capped for the sample size.
  Bytes wide(100, 128);
  wide[0] = 0;
  wide[1] = 255;
  EXPECT_EQ(analyse(wide, 1, 8).threshold(), 128);
}

TEST(Analysis, ExtremesStartValuesAndEmptyInput) {
  const CorrectionValues low = analyse(test::Repeat16(-32768, 50, 1), 1, 16);
  EXPECT_EQ(low.maximum[0], -32767);
  EXPECT_EQ(low.minimum[0], -32768);
  Bytes wide = test::Frames16({-32768, 32767, -32768, 32767}, 1);
  EXPECT_EQ(analyse(wide, 1, 16).threshold(), 32768);
  const CorrectionValues none = analyse(Bytes{1, 2, 3}, 2, 16);
  EXPECT_EQ(none.frames, 0);
  EXPECT_EQ(none.zero[0], 0);
  EXPECT_EQ(none.maximum[0], 0);
}

}  // namespace
}  // namespace mv
