// The cut at silences on files made here, read back frame by frame.

#include <gtest/gtest.h>

#include <optional>

#include "cut/cut.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {
namespace {

using test::Bytes;
using test::Concat;
using test::Repeat16;

constexpr int16_t kLoud = 5000;
constexpr int16_t kQuiet = 20;  // below the threshold of 100

class SilenceCut : public ::testing::Test {
 protected:
  void SetUp() override {
    s.saveFolder = dir.path();
    s.source = dir / "tape.raw";
    s.runLength = 1000;
    s.format = ParseFormatLabel("16bit, Stereo, 44.1kHz");
  }
  CutResult cut(const Bytes& data) {
    test::WriteBytes(s.source, data);
    return RunCut(s, host);
  }
  Bytes song(int n) const {
    const std::string name = PieceName(s.saveFolder, n);
    EXPECT_TRUE(test::IsFinishedWave(name)) << name;
    return test::DataOf(test::ReadBytes(name));
  }
  bool has(int n) const { return test::Exists(PieceName(s.saveFolder, n)); }
  std::string errorOf(const Bytes& data) {
    return test::ErrorOf([&] { cut(data); });
  }

  test::TempDir dir;
  CutSettings s;
  test::RecordingHost host;
};

Bytes frames(int16_t v, int n) { return Repeat16(v, n, 2); }

TEST_F(SilenceCut, DataShorterThanABlockGoesWholeIntoTheFirstSong) {
  const Bytes data = Concat({frames(kLoud, 10), frames(kQuiet, 500), frames(kLoud, 10)});
  EXPECT_EQ(cut(data).end, CutEnd::Complete);
  EXPECT_EQ(song(1), data);
  EXPECT_FALSE(has(2));
  EXPECT_EQ(host.count("progress:"), 0);
  EXPECT_EQ(host.only("status:"), std::vector<std::string>{std::string(msg::kMakingFirstSong)});
  EXPECT_EQ(host.only("inform:"), std::vector<std::string>{std::string(msg::kCutDone)});
}

// More than N quiet frames, every channel below the threshold, in the
// blocks that are tested end a song at the block that holds the sound; the
// songs' lengths in frames.
TEST_F(SilenceCut, WhichQuietStretchesEndASong) {
  struct Row {
    std::string what;
    Bytes data;
    std::vector<int> songs;
    int32_t threshold = 100;
    int channels = 2;
  };
  Bytes rightLoud = Concat({frames(kLoud, 1000), frames(kQuiet, 2000), frames(kLoud, 1000)});
  for (int f = 1000; f < 3000; ++f) test::Set16(rightLoud, static_cast<std::size_t>(f) * 4 + 2, kLoud);
  const Row rows[] = {
      {"exactly N", Concat({frames(kLoud, 1000), frames(kQuiet, 1000), frames(kLoud, 2000)}), {4000}},
      {"N + 1", Concat({frames(kLoud, 1000), frames(kQuiet, 1001), frames(kLoud, 1999)}), {2000, 2000}},
      // The rest of a block with a cut is not scanned.
      {"right after a cut",
       Concat({frames(kLoud, 1000), frames(kQuiet, 1001), frames(kLoud, 1), frames(kQuiet, 1998), frames(kLoud, 1000)}),
       {2000, 3000}},
      {"sound back only in the tail", Concat({frames(kLoud, 1000), frames(kQuiet, 2000), frames(kLoud, 500)}), {3500}},
      {"|100| is not below 100", Concat({frames(kLoud, 1000), frames(100, 2000), frames(kLoud, 1000)}), {4000}},
      {"below 101", Concat({frames(kLoud, 1000), frames(100, 2000), frames(kLoud, 1000)}), {3000, 1000}, 101},
      {"threshold 0", Concat({frames(kLoud, 1000), frames(0, 2000), frames(kLoud, 1000)}), {4000}, 0},
      {"mono", Concat({Repeat16(kLoud, 1000, 1), Repeat16(kQuiet, 1001, 1), Repeat16(kLoud, 999, 1)}), {2000, 1000},
       100, 1},
      {"right channel loud", rightLoud, {4000}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    s.saveFolder = test::EmptyFolder(dir / row.what);
    s.threshold = row.threshold;
    s.format = ParseFormatLabel(row.channels == 1 ? "16bit, Mono, 44.1kHz" : "16bit, Stereo, 44.1kHz");
    host = {};
    cut(row.data);
    std::vector<std::string> statuses = {std::string(msg::kMakingFirstSong)};
    std::size_t at = 0;
    for (std::size_t n = 0; n < row.songs.size(); ++n) {
      const std::size_t bytes = static_cast<std::size_t>(row.songs[n] * row.channels * 2);
      EXPECT_EQ(song(static_cast<int>(n + 1)), Bytes(row.data.begin() + at, row.data.begin() + at + bytes));
      at += bytes;
      if (n > 0) statuses.push_back(std::to_string(n + 1) + std::string(msg::kSongDetected));
    }
    EXPECT_EQ(at, row.data.size());
    EXPECT_FALSE(has(static_cast<int>(row.songs.size() + 1)));
    EXPECT_EQ(host.only("status:"), statuses);
  }
}

TEST_F(SilenceCut, NewSongStartsAt513FramesBeforeTheSoundWithinItsBlock) {
  s.runLength = 2000;
  struct Case {
    int soundAt;  // frame of block 3 where the sound returns
    int cutAt;    // frame of block 3 where song 2 begins
  } cases[] = {{100, 0}, {513, 0}, {514, 1}, {1000, 487}, {1999, 1486}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.soundAt);
    const Bytes data = Concat({frames(kLoud, 2000), frames(kQuiet, 2000 + c.soundAt),
                               frames(kLoud, 2000 - c.soundAt), frames(kLoud, 300)});
    cut(data);
    const std::size_t at = static_cast<std::size_t>(4000 + c.cutAt) * 4;
    EXPECT_EQ(song(1), Bytes(data.begin(), data.begin() + at));
    EXPECT_EQ(song(2), Bytes(data.begin() + at, data.end()));
    EXPECT_FALSE(has(3));
  }
}

// Without click tolerance, a sound of 10 ms at most is told of only where it
// kept a cut from being made: the quiet runs on either side are long enough
// together, the one after it is not long enough alone, and sound follows.
TEST_F(SilenceCut, ShortSoundThatKeptACutFromBeingMade) {
  struct Row {
    std::string what;
    Bytes data;
    std::size_t songs;
    std::optional<int64_t> told;
  };
  const Row rows[] = {
      {"a click between two short quiet runs",
       Concat({frames(kLoud, 1000), frames(kQuiet, 600), frames(kLoud, 3), frames(kQuiet, 600), frames(kLoud, 1500)}),
       1, 1600},
      {"the end of the music, a frame after a quiet one",
       Concat({frames(kLoud, 1000), frames(kQuiet, 1), frames(kLoud, 300), frames(kQuiet, 1500), frames(kLoud, 1500)}),
       2, std::nullopt},
      {"no sound after the quiet",
       Concat({frames(kLoud, 1497), frames(kQuiet, 500), frames(kLoud, 3), frames(kQuiet, 1000)}), 1, std::nullopt},
      {"a sound longer than 10 ms",
       Concat({frames(kLoud, 1000), frames(kQuiet, 600), frames(kLoud, 442), frames(kQuiet, 600), frames(kLoud, 1500)}),
       1, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const CutResult r = cut(row.data);
    EXPECT_EQ(r.report.pieces.size(), row.songs);
    EXPECT_EQ(r.report.shortSoundBreak, row.told);
  }
}

TEST_F(SilenceCut, CorrectionOfEightBitSamplesClampsToTheByteRange) {
  s.format = ParseFormatLabel("8bit, Stereo, 44.1kHz");
  s.correction = Correction{"3", "-3"};
  cut(Bytes{1, 254, 255, 255, 128, 128});
  EXPECT_EQ(song(1), (Bytes{0, 255, 252, 255, 125, 131}));
}

TEST_F(SilenceCut, CorrectionOfSixteenBitSamplesClamps) {
  s.correction = Correction{int64_t{5}, int64_t{-2}};
  cut(test::Frames16({-32768, 32767, 0}, 2));
  EXPECT_EQ(song(1), test::Frames16({-32768, -32766, 32762, 32767, -5, 2}, 1));
}

TEST_F(SilenceCut, CorrectedSamplesAreWhatTheTestSeesAndTheSongsGet) {
  // An offset of 150 makes the quiet part loud unless corrected.
  const Bytes data = Concat({frames(kLoud, 1000), frames(150, 1001), frames(kLoud, 999)});
  cut(data);
  EXPECT_FALSE(has(2));
  s.correction = Correction{"150", "150"};
  cut(data);
  ASSERT_TRUE(has(2));
  // Block 3 is corrected whole, after the sound frame as well.
  EXPECT_EQ(song(2), Concat({frames(0, 1), frames(kLoud - 150, 999)}));
  const Bytes first = song(1);
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 4), frames(kLoud - 150, 1));
}

TEST_F(SilenceCut, BadZeroPointsStopBeforeAnythingIsWritten) {
  s.correction = Correction{"abc", "0"};
  EXPECT_EQ(errorOf(frames(0, 10)), "'abc' は整数ではありません");
  EXPECT_FALSE(has(1));
  s.correction = Correction{"0", "40000"};
  EXPECT_EQ(errorOf(frames(0, 10)), "範囲チェックエラー");
  s.correction = Correction{int64_t{0}, int64_t{-32769}};
  EXPECT_EQ(errorOf(frames(0, 10)), "範囲チェックエラー");
  EXPECT_FALSE(has(1));
  EXPECT_EQ(host.events.back(), "end");
  // Without correction the captions are not read at all.
  s.correction.reset();
  EXPECT_EQ(cut(frames(0, 10)).end, CutEnd::Complete);
}

TEST_F(SilenceCut, ProgressAndCancelAfterTheSecondBlock) {
  s.deleteSource = true;
  host.cancelAfterPumps = 3;  // the status pump, then one per block
  const Bytes data = Concat({frames(kLoud, 1000), frames(kQuiet, 1001), frames(kLoud, 2999)});
  EXPECT_EQ(cut(data).end, CutEnd::Cancelled);
  EXPECT_EQ(host.only("progress:"), (std::vector<std::string>{"20", "40"}));
  EXPECT_EQ(host.count("inform:"), 0);
  EXPECT_TRUE(test::Exists(s.source));
  // The song being written is finished as far as it got.
  EXPECT_EQ(song(1), Bytes(data.begin(), data.begin() + 2000 * 4));
  EXPECT_FALSE(has(2));
  EXPECT_EQ(host.files, std::vector<std::string>{dir / "mv000001.wav"});
}

TEST_F(SilenceCut, ProgressIsTruncatedLikeTheQuotientTimesAHundred) {
  host.onPump = [] {};
  cut(frames(kLoud, 1000 * 3));
  EXPECT_EQ(host.only("progress:"), (std::vector<std::string>{"33", "66", "100"}));
}

TEST_F(SilenceCut, SourceEndingInsideTheDeclaredData) {
  // The file holds `lead` + 4300 frames and half a frame, and the sound comes
  // back in the last block it holds whole: that block is tested and cut, the
  // frames after it are not written, and the read error follows.
  struct Row {
    std::string what;
    int lead;      // loud frames before, a whole number of blocks
    int declared;  // frames the header declares
  };
  const Row rows[] = {
      {"ending inside a block", 0, 6000},
      {"ending inside the tail", 0, 4500},
      {"ending after several read parts", 200000, 206000},
  };
  s.source = dir / "short.wav";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const Bytes data = Concat({frames(kLoud, row.lead + 2000), frames(kQuiet, 1500), frames(kLoud, 800)});
    Bytes file = test::MakeWav(2, 44100, 16, Concat({data, Bytes{1, 2}}));
    test::Set32(file, 40, static_cast<uint32_t>(row.declared * 4));
    EXPECT_EQ(errorOf(file), msg::kReadError);
    const auto cutAt = data.begin() + (row.lead + 3000) * 4;
    EXPECT_EQ(song(1), Bytes(data.begin(), cutAt));
    EXPECT_EQ(song(2), Bytes(cutAt, cutAt + 1000 * 4));
    EXPECT_FALSE(has(3));
  }
}

TEST_F(SilenceCut, TrailingPartOfAFrameIsKept) {
  const Bytes data = Concat({frames(kLoud, 1500), Bytes{9, 8, 7}});
  cut(data);
  EXPECT_EQ(song(1), data);
}

TEST_F(SilenceCut, RunLengthZeroIsRefusedBeforeAnything) {
  s.runLength = 0;
  test::WriteBytes(dir / "mv000001.wav", {});
  EXPECT_EQ(errorOf(frames(0, 10)), msg::kZeroRunLength);
  EXPECT_TRUE(host.events.empty());
  EXPECT_TRUE(test::ReadBytes(dir / "mv000001.wav").empty());
}

TEST_F(SilenceCut, DryRunMeasuresPiecesAndQuietRunsWithoutWriting) {
  // Quiet runs that end where a group of frames starts, inside a block and
  // across blocks, each shorter than N: no cut, but the longest is told.
  s.dryRun = true;
  const Bytes data = Concat({frames(kLoud, 80), frames(kQuiet, 400), frames(3, 400), frames(-kLoud, 120),
                             frames(2500, 480), frames(kQuiet, 300), frames(2000, 220)});
  const CutResult r = cut(data);
  EXPECT_EQ(r.end, CutEnd::Complete);
  EXPECT_FALSE(has(1));
  EXPECT_EQ(host.count("inform:"), 0);
  ASSERT_EQ(r.report.pieces.size(), 1u);
  EXPECT_EQ(r.report.pieces[0].dataBytes, static_cast<int64_t>(data.size()));
  EXPECT_EQ(r.report.pieces[0].peak, kLoud);
  ASSERT_TRUE(r.report.longestQuiet);
  EXPECT_EQ(r.report.longestQuiet->firstFrame, 80);
  EXPECT_EQ(r.report.longestQuiet->frames, 800);
  // Of the two whole blocks, the second holds the quietest stretch.
  EXPECT_EQ(r.report.quietestBlockPeak, 2500);
  // Only the tested blocks count: the same quiet in the tail is not a run.
  const CutResult tail = cut(Concat({frames(kLoud, 1000), frames(kQuiet, 999)}));
  EXPECT_FALSE(tail.report.longestQuiet);
  // A real run reports what the dry run finds.
  s.dryRun = false;
  const CutResult real = cut(data);
  ASSERT_EQ(real.report.pieces.size(), 1u);
  EXPECT_EQ(real.report.longestQuiet->frames, 800);
  EXPECT_EQ(song(1), data);
}

}  // namespace
}  // namespace mv
