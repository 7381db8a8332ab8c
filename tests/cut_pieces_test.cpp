// The cut into equal lengths.

#include <gtest/gtest.h>

#include "cut/cut.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {
namespace {

using test::Bytes;

class PieceCut : public ::testing::Test {
 protected:
  void SetUp() override {
    s.saveFolder = dir.path();
    s.source = dir / "tape.raw";
    s.mode = CutMode::EqualLengths;
    s.format = ParseFormatLabel("8bit, Mono, 5kHz");  // 5000 bytes a second
    s.pieceLength = {0, 0, 1};
  }
  std::string piece(int n) const { return PieceName(dir.path(), n); }
  Bytes dataOf(int n) const {
    EXPECT_TRUE(test::IsFinishedWave(piece(n)));
    return test::DataOf(test::ReadBytes(piece(n)));
  }
  static Bytes pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return b;
  }
  std::string errorOf() {
    return test::ErrorOf([&] { RunCut(s, host); });
  }

  test::TempDir dir;
  CutSettings s;
  test::RecordingHost host;
};

TEST_F(PieceCut, OneMinuteOfCdAudio) {
  s.format = ParseFormatLabel("16bit, Stereo, 44.1kHz");
  s.pieceLength = {0, 1, 0};
  const Bytes data = pattern(25000000);
  test::WriteBytes(s.source, data);
  EXPECT_EQ(RunCut(s, host).end, CutEnd::Complete);
  EXPECT_EQ(dataOf(1), Bytes(data.begin(), data.begin() + 10584000));
  EXPECT_EQ(dataOf(2), Bytes(data.begin() + 10584000, data.begin() + 21168000));
  EXPECT_EQ(dataOf(3), Bytes(data.begin() + 21168000, data.end()));
  EXPECT_FALSE(test::Exists(piece(4)));
  EXPECT_EQ(host.only("status:"),
            (std::vector<std::string>{std::string(msg::kMakingFirstSong), "1" + std::string(msg::kPieceMaking),
                                      "2" + std::string(msg::kPieceMaking)}));
  EXPECT_EQ(host.only("progress:"), (std::vector<std::string>{"50", "100"}));
}

// An exact multiple leaves a bare header last; a partial frame ends up in
// the last file; a source shorter than a piece is one file, without progress.
TEST_F(PieceCut, LastFileTakesTheRest) {
  struct Row {
    std::string label;
    std::size_t bytes;
    std::vector<std::size_t> pieces;
  } rows[] = {
      {"8bit, Mono, 5kHz", 10000, {5000, 5000, 0}},
      {"8bit, Mono, 5kHz", 1234, {1234}},
      {"16bit, Stereo, 5kHz", 20000 + 3, {20000, 3}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes);
    test::EmptyFolder(dir.path());
    host = {};
    s.format = ParseFormatLabel(row.label);
    const Bytes data = pattern(row.bytes);
    test::WriteBytes(s.source, data);
    ASSERT_EQ(RunCut(s, host).end, CutEnd::Complete);
    std::size_t at = 0;
    for (std::size_t n = 0; n < row.pieces.size(); at += row.pieces[n++])
      EXPECT_EQ(dataOf(static_cast<int>(n + 1)), Bytes(data.begin() + at, data.begin() + at + row.pieces[n]));
    EXPECT_FALSE(test::Exists(piece(static_cast<int>(row.pieces.size() + 1))));
    EXPECT_EQ(host.count("status:"), static_cast<int>(row.pieces.size()));
    EXPECT_EQ(host.count("progress:"), static_cast<int>(row.pieces.size()) - 1);
  }
}

TEST_F(PieceCut, TooLongAPieceOverflowsBeforeAnyFile) {
  s.format = ParseFormatLabel("16bit, Stereo, 48kHz");
  s.pieceLength = {3, 7, s.pieceLength.seconds};
  test::WriteBytes(s.source, pattern(100));
  EXPECT_EQ(errorOf(), msg::kOverflow);
  EXPECT_FALSE(test::Exists(piece(1)));
  EXPECT_EQ(host.events.back(), "end");
  // 3:06:24 is the longest that fits.
  s.pieceLength = {s.pieceLength.hours, 6, 24};
  EXPECT_EQ(RunCut(s, host).end, CutEnd::Complete);
}

TEST_F(PieceCut, CancelAfterSecondPieceLeavesOnlyCompleteFiles) {
  test::WriteBytes(s.source, pattern(5000 * 5));
  s.deleteSource = true;
  host.cancelAfterPumps = 5;  // status, then two per piece
  EXPECT_EQ(RunCut(s, host).end, CutEnd::Cancelled);
  EXPECT_EQ(dataOf(1).size(), 5000u);
  EXPECT_EQ(dataOf(2).size(), 5000u);
  EXPECT_FALSE(test::Exists(piece(3)));
  EXPECT_TRUE(test::Exists(s.source));
  EXPECT_EQ(host.count("inform:"), 0);
}

TEST_F(PieceCut, ZeroLengthIsRefused) {
  s.pieceLength.seconds = 0;
  test::WriteBytes(s.source, pattern(10));
  EXPECT_EQ(errorOf(), msg::kZeroPieceLength);
  EXPECT_TRUE(host.events.empty());
}

TEST_F(PieceCut, SourceShorterThanDeclaredStopsWithAFinishedPiece) {
  s.source = dir / "short.wav";
  Bytes file = test::MakeWav(1, 5000, 8, pattern(7000));
  test::Set32(file, 40, 10000);
  test::WriteBytes(s.source, file);
  EXPECT_EQ(errorOf(), msg::kReadError);
  EXPECT_EQ(dataOf(1).size(), 5000u);
  // Of the piece it ends in, none of the bytes read go out.
  EXPECT_TRUE(test::IsFinishedWave(piece(2)));
  EXPECT_TRUE(dataOf(2).empty());
}

}  // namespace
}  // namespace mv
