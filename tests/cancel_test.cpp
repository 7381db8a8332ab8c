// A cancel at every point a run looks at it: every file left behind is
// valid and holds the start of what a whole run would have written.

#include <gtest/gtest.h>

#include <filesystem>

#include "cut/cut.h"
#include "join/join.h"
#include "tests/support.h"

namespace mv {
namespace {

using test::Bytes;
namespace fs = std::filesystem;

std::vector<Bytes> dataOf(const std::vector<std::string>& files) {
  std::vector<Bytes> out;
  for (const auto& f : files) {
    EXPECT_TRUE(test::IsFinishedWave(f)) << f;
    out.push_back(test::DataOf(test::ReadBytes(f)));
  }
  return out;
}

TEST(CancelEverywhere, CutsInBothModes) {
  test::TempDir dir;
  Bytes data;
  for (int i = 0; i < 4; ++i)
    data = test::Concat({data, test::Repeat16(static_cast<int16_t>(2000 + i), 700, 2), test::Repeat16(0, 400, 2)});
  test::WriteBytes(dir / "tape.raw", data);
  for (bool silence : {true, false}) {
    SCOPED_TRACE(silence);
    CutSettings s;
    s.source = dir / "tape.raw";
    s.mode = silence ? CutMode::AtSilences : CutMode::EqualLengths;
    s.runLength = 300;
    s.pieceLength = {0, 0, 1};
    // Pieces of one second: 5000 bytes, so that the tape makes four.
    s.format = ParseFormatLabel(silence ? "16bit, Stereo, 5kHz" : "8bit, Mono, 5kHz");
    s.deleteSource = true;
    s.saveFolder = dir / "whole";
    fs::create_directories(s.saveFolder);
    test::RecordingHost whole;
    ASSERT_EQ(RunCut(s, whole).end, CutEnd::Complete);
    const std::vector<Bytes> expected = dataOf(whole.files);
    test::WriteBytes(s.source, data);  // deleted by the whole run
    ASSERT_GT(whole.pumps, 3);
    for (int k = 1; k <= whole.pumps; ++k) {
      SCOPED_TRACE(k);
      s.saveFolder = dir / ("cut" + std::to_string(k) + (silence ? "s" : "p"));
      fs::create_directories(s.saveFolder);
      test::RecordingHost host;
      host.cancelAfterPumps = k;
      const CutEnd end = RunCut(s, host).end;
      const std::vector<Bytes> got = dataOf(host.files);
      ASSERT_LE(got.size(), expected.size());
      for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_LE(got[i].size(), expected[i].size());
        EXPECT_TRUE(std::equal(got[i].begin(), got[i].end(), expected[i].begin()));
      }
      if (end == CutEnd::Cancelled) {
        EXPECT_EQ(test::ReadBytes(s.source), data);  // never deleted
        EXPECT_EQ(host.count("inform:"), 0);
      } else {
        test::WriteBytes(s.source, data);
      }
    }
  }
}

// With a shortest song, a cancel may come while a long song's file waits
// for a short one: the host is told of every file left, in their order, and
// the files hold the start of the tape.
TEST(CancelEverywhere, CutMergingShortSongs) {
  test::TempDir dir;
  Bytes data;
  for (int i = 0; i < 6; ++i)
    data = test::Concat({data, test::Repeat16(static_cast<int16_t>(2000 + i), i % 2 ? 150 : 2000, 2),
                         test::Repeat16(0, 400, 2)});
  test::WriteBytes(dir / "tape.raw", data);
  CutSettings s;
  s.source = dir / "tape.raw";
  s.runLength = 300;
  s.format = ParseFormatLabel("16bit, Stereo, 5kHz");
  s.minSongSeconds = 0.3;
  s.saveFolder = test::EmptyFolder(dir / "whole");
  test::RecordingHost whole;
  ASSERT_EQ(RunCut(s, whole).end, CutEnd::Complete);
  ASSERT_GT(whole.pumps, 3);
  for (int k = 1; k <= whole.pumps; ++k) {
    SCOPED_TRACE(k);
    s.saveFolder = test::EmptyFolder(dir / ("cut" + std::to_string(k)));
    test::RecordingHost host;
    host.cancelAfterPumps = k;
    RunCut(s, host);
    std::vector<std::string> names;
    for (const auto& f : host.files) names.push_back(f.substr(f.rfind('/') + 1));
    EXPECT_EQ(names, test::FileNames(s.saveFolder));
    Bytes got;
    for (const Bytes& b : dataOf(host.files)) got = test::Concat({got, b});
    ASSERT_LE(got.size(), data.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
  }
}

TEST(CancelEverywhere, Joins) {
  test::TempDir dir;
  JoinSettings s;
  for (int i = 0; i < 4; ++i) {
    const std::string name = dir / ("s" + std::to_string(i) + ".raw");
    test::WriteBytes(name, Bytes(70000 + 1000 * static_cast<std::size_t>(i), static_cast<uint8_t>(i + 1)));
    s.sources.push_back(name);
  }
  s.deleteSources = true;
  for (int k = 1; k <= 8; ++k) {
    SCOPED_TRACE(k);
    s.output = dir / ("out" + std::to_string(k) + ".wav");
    test::RecordingHost host;
    host.cancelAfterPumps = k;
    const JoinEnd end = RunJoin(s, host).end;
    ASSERT_TRUE(test::IsFinishedWave(s.output));
    const Bytes got = test::DataOf(test::ReadBytes(s.output));
    // Cancel is seen after a source is copied in full: whole sources only.
    std::size_t whole = 0, copied = 0;
    while (copied < got.size()) copied += 70000 + 1000 * whole++;
    EXPECT_EQ(copied, got.size());
    EXPECT_EQ(whole, end == JoinEnd::Cancelled ? static_cast<std::size_t>((k + 1) / 2) : 4u);
    for (const auto& src : s.sources) EXPECT_EQ(test::Exists(src), end == JoinEnd::Cancelled);
    EXPECT_EQ(host.count("inform:"), end == JoinEnd::Cancelled ? 0 : 1);
  }
}

}  // namespace
}  // namespace mv
