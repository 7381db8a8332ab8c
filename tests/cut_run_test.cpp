// The cut run around both modes: the checks before it starts, the overwrite
// question, sources, and what is left after the run.

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

#include "cut/cut.h"
#include "cut/units.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {
namespace {

using test::Bytes;

class CutRun : public ::testing::Test {
 protected:
  void SetUp() override {
    s.saveFolder = dir.path();
    s.source = dir / "tape.wav";
    s.runLength = 100;
  }
  std::string errorOf() {
    return test::ErrorOf([&] { RunCut(s, host); });
  }
  std::string piece(int n) const { return PieceName(dir.path(), n); }
  // Three songs of 200 loud frames parted by 150 quiet ones.
  Bytes threeSongs() const {
    const Bytes loud = test::Repeat16(3000, 200, 2), quiet = test::Repeat16(0, 150, 2);
    return test::Concat({loud, quiet, loud, quiet, loud});
  }

  test::TempDir dir;
  CutSettings s;
  test::RecordingHost host;
};

TEST_F(CutRun, EmptySourceDoesNothing) {
  s.source.clear();
  EXPECT_EQ(RunCut(s, host).end, CutEnd::NothingToDo);
  EXPECT_TRUE(host.events.empty());
  EXPECT_FALSE(test::Exists(piece(1)));
}

TEST_F(CutRun, OverwriteQuestionYesReplacesOnlyWhatItWrites) {
  for (int n = 1; n <= 9; ++n) test::WriteBytes(piece(n), {1, 2, 3});
  test::WriteBytes(s.source, test::MakeWav(2, 44100, 16, threeSongs()));
  EXPECT_EQ(RunCut(s, host).end, CutEnd::Complete);
  EXPECT_EQ(host.events.front(), "ask:" + std::string(msg::kOverwritePieces));
  for (int n = 1; n <= 3; ++n) EXPECT_TRUE(test::IsFinishedWave(piece(n)));
  for (int n = 4; n <= 9; ++n) EXPECT_EQ(test::ReadBytes(piece(n)), (Bytes{1, 2, 3}));
}

TEST_F(CutRun, OverwriteQuestionNoChangesNothing) {
  test::WriteBytes(dir / "mvabcdef.wav", {1});  // any name of the pattern counts
  test::WriteBytes(s.source, test::MakeWav(2, 44100, 16, threeSongs()));
  host.answer = false;
  EXPECT_EQ(RunCut(s, host).end, CutEnd::Declined);
  EXPECT_EQ(host.events.size(), 1u);  // the question only; never disabled
  EXPECT_FALSE(test::Exists(piece(1)));
}

TEST_F(CutRun, NamesOutsideThePatternAskNothing) {
  for (const char* name : {"mv00001.wav", "MV000001.wav", "mv000001.WAV", "mv0000001.wav"})
    test::WriteBytes(dir / name, {1});
  test::WriteBytes(s.source, test::MakeWav(2, 44100, 16, threeSongs()));
  RunCut(s, host);
  EXPECT_EQ(host.count("ask:"), 0);
}

TEST_F(CutRun, WaveSourceIsCutFromItsDataWithTheChosenFormat) {
  // The file says 8-bit mono; the run follows the label it is given.
  Bytes file = test::MakeWav(1, 8000, 8, threeSongs());
  test::WriteBytes(s.source, file);
  s.format = ParseFormatLabel("16bit, Stereo, 44.1kHz");
  RunCut(s, host);
  EXPECT_TRUE(test::Exists(piece(3)));
  const Bytes first = test::ReadBytes(piece(1));
  EXPECT_EQ(test::Get16(first, 22), 2);
  EXPECT_EQ(test::Get32(first, 24), 44100u);
}

TEST_F(CutRun, HeaderlessSourceIsAllData) {
  s.source = dir / "tape.RAW";
  const Bytes data = threeSongs();
  test::WriteBytes(s.source, data);
  s.mode = CutMode::EqualLengths;
  s.pieceLength = {0, 0, 10};
  RunCut(s, host);
  EXPECT_EQ(test::DataOf(test::ReadBytes(piece(1))), data);
}

TEST_F(CutRun, SourceAmongTheNumberedOutputsIsRefused) {
  test::WriteBytes(piece(2), test::MakeWav(2, 44100, 16, threeSongs()));
  s.source = dir.path() + "/./mv000002.wav";
  EXPECT_EQ(errorOf(), msg::kCutSourceIsOutput);
  EXPECT_TRUE(host.events.empty());
  // A hard link elsewhere is the same file.
  ASSERT_EQ(::link(piece(2).c_str(), (dir / "copy.wav").c_str()), 0);
  s.source = dir / "copy.wav";
  EXPECT_EQ(errorOf(), msg::kCutSourceIsOutput);
  EXPECT_TRUE(test::IsFinishedWave(piece(2)));
}

TEST_F(CutRun, CompleteRunDeletesTheSourceWhenAsked) {
  s.deleteSource = true;
  test::WriteBytes(s.source, test::MakeWav(2, 44100, 16, threeSongs()));
  const CutResult r = RunCut(s, host);
  EXPECT_TRUE(r.sourceDeleted);
  EXPECT_FALSE(test::Exists(s.source));
  // The message comes before the deletion, after the window is back.
  EXPECT_EQ(host.events.back(), "inform:" + std::string(msg::kCutDone));
  EXPECT_EQ(host.events[host.events.size() - 2], "end");
}

TEST_F(CutRun, UnreadableSourcesAndMissingFolders) {
  s.source = dir / "none.raw";
  EXPECT_EQ(errorOf(), format(msg::kCannotOpen, s.source));
  EXPECT_EQ(host.events, (std::vector<std::string>{"begin", "end"}));
  EXPECT_FALSE(test::Exists(piece(1)));

  s.source = dir / "bad.wav";
  test::WriteBytes(s.source, Bytes(100, 0));
  EXPECT_EQ(errorOf(), msg::kUnsupported);
  EXPECT_FALSE(test::Exists(piece(1)));

  s.source = dir / "tape.wav";
  test::WriteBytes(s.source, test::MakeWav(2, 44100, 16, threeSongs()));
  // A dry run fails where the run would.
  s.saveFolder = dir / "gone";
  for (const bool dry : {false, true}) {
    s.dryRun = dry;
    EXPECT_EQ(errorOf(), format(msg::kCannotCreate, dir / "gone/mv000001.wav")) << dry;
  }
  s.saveFolder = dir / "tape.wav";
  EXPECT_EQ(errorOf(), format(msg::kCannotCreate, dir / "tape.wav/mv000001.wav"));
  EXPECT_TRUE(test::IsFinishedWave(s.source));
}

}  // namespace
}  // namespace mv

namespace mv {
namespace {

// Levels, lengths and clock times as people say them, at their edges.
TEST(CutUnits, DecibelsSecondsAndCueFrames) {
  const PcmFormat cd = ParseFormatLabel("16bit, Stereo, 44.1kHz"), tape8 = ParseFormatLabel("8bit, Mono, 11kHz");
  EXPECT_EQ(ThresholdFromDb(0, cd), 32768);
  EXPECT_EQ(ThresholdFromDb(0, tape8), 128);
  EXPECT_EQ(ThresholdFromDb(-50, cd), 103);  // 103.6, truncated
  EXPECT_EQ(ThresholdFromDb(-50, tape8), 0);
  EXPECT_EQ(ThresholdFromDb(-6.02, tape8), 64);  // 64.004
  EXPECT_EQ(ThresholdFromDb(-6.0206, tape8), 63);  // 63.9999, truncated
  EXPECT_EQ(ThresholdFromDb(-400, cd), 0);
  EXPECT_TRUE(std::isinf(ThresholdDb(0, cd)));
  EXPECT_NEAR(ThresholdDb(100, cd), -50.31, 0.01);
  EXPECT_NEAR(ThresholdDb(128, tape8), 0.0, 1e-9);
  EXPECT_EQ(FramesFromSeconds(10, cd), 441000);
  EXPECT_EQ(FramesFromSeconds(2.5, tape8), 27563);  // 27562.5 rounds up
  EXPECT_EQ(FramesFromSeconds(0, cd), 0);
  EXPECT_DOUBLE_EQ(FramesSeconds(132300, cd), 3.0);
  EXPECT_EQ(BytesCueFrames(176400 - 1, cd), 74);  // 1/75 s counted down
  EXPECT_EQ(BytesCueFrames(176400, cd), 75);
  EXPECT_EQ(ClockText(3723.4569), "1:02:03.456");  // counted down
  EXPECT_EQ(ClockText(0.3), "0:00:00.300");        // 299.99999... ms in a double
  EXPECT_EQ(ClockText(216 * 3600.0), "216:00:00.000");
}

// A watcher sees the report grow to what the run returns, dry or not.
TEST_F(CutRun, WatcherSeesThePiecesAsTheyAreFound) {
  struct Watcher : ScanWatcher {
    void grown(const ScanReport& soFar, int64_t done, int64_t total) override {
      EXPECT_GT(done, last);
      EXPECT_EQ(total, 900 * 4);  // three songs of 200 frames, two gaps of 150
      last = done;
      starts.clear();
      for (const Piece& p : soFar.pieces) starts.push_back(p.firstByte);
    }
    int64_t last = 0;
    std::vector<int64_t> starts;
  };
  test::WriteBytes(s.source, test::MakeWav(2, 44100, 16, threeSongs()));
  s.format = ParseFormatLabel("16bit, Stereo, 44.1kHz");
  for (const bool dry : {true, false}) {
    s.dryRun = dry;
    Watcher watcher;
    const CutResult r = RunCut(s, host, OpenFile, &watcher);
    ASSERT_EQ(r.end, CutEnd::Complete);
    EXPECT_EQ(watcher.last, r.dataSize);
    ASSERT_EQ(watcher.starts.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(watcher.starts[i], r.report.pieces[i].firstByte);
  }
}

}  // namespace
}  // namespace mv
