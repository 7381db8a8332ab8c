// The cut at given points.

#include <gtest/gtest.h>

#include <cmath>

#include "cut/cut.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {
namespace {

using test::Bytes;

class PointsCut : public ::testing::Test {
 protected:
  void SetUp() override {
    s.saveFolder = dir / "out";
    test::EmptyFolder(s.saveFolder);
    s.source = dir / "tape.raw";
    s.mode = CutMode::AtPoints;
    s.format = ParseFormatLabel("16bit, Stereo, 5kHz");
  }
  std::vector<Bytes> pieces(const std::string& folder, const std::string& extension = ".wav") const {
    std::vector<Bytes> all;
    for (int n = 1; test::Exists(PieceName(folder, n, extension)); ++n)
      all.push_back(test::DataOf(test::ReadBytes(PieceName(folder, n, extension))));
    return all;
  }
  static std::vector<GivenPoint> at(std::initializer_list<int64_t> frames) {
    std::vector<GivenPoint> points;
    int32_t line = 0;
    for (const int64_t f : frames) points.push_back({f, ++line});
    return points;
  }

  test::TempDir dir;
  CutSettings s;
  test::RecordingHost host;
};

// Music-like stereo: two tones, each channel its own, with quiet gaps.
Bytes Tape(int frames, const std::vector<std::pair<int, int>>& gaps, int level = 3000) {
  Bytes b;
  auto put = [&](double x) {
    const auto v = static_cast<uint16_t>(static_cast<int16_t>(x));
    b.push_back(static_cast<uint8_t>(v & 0xff));
    b.push_back(static_cast<uint8_t>(v >> 8));
  };
  for (int f = 0; f < frames; ++f) {
    bool quiet = false;
    for (const auto& [a, c] : gaps) quiet = quiet || (f >= a && f < c);
    const double x = quiet ? 0 : level;
    put(x * std::sin(f * 0.05) + 11);
    put(x * std::sin(f * 0.031 + 1) - 7);
  }
  return b;
}

// The pieces are the source's bytes between the points: those at 0 and at
// the end let go, one frame apart kept, a part of a frame at the end in the
// last piece.
TEST_F(PointsCut, PiecesAreTheRangesBetweenThePoints) {
  Bytes data = Tape(10000, {});
  data.insert(data.end(), {1, 2, 3});
  test::WriteBytes(s.source, data);
  s.points = at({0, 1, 2, 5000, 10000});
  const CutResult r = RunCut(s, host);
  ASSERT_EQ(r.end, CutEnd::Complete);
  const auto range = [&](std::size_t a, std::size_t b) { return Bytes(data.begin() + a * 4, data.begin() + b); };
  EXPECT_EQ(pieces(s.saveFolder),
            (std::vector<Bytes>{range(0, 4), range(1, 8), range(2, 20000), range(5000, data.size())}));
  ASSERT_EQ(r.report.pieces.size(), 4u);
  EXPECT_EQ(r.report.pieces[3].firstByte, 20000);
  EXPECT_EQ(r.report.pieces[3].dataBytes, 20003);
}

// Given the points of a cut at silences, the cut makes the same files, the
// correction included, as WAVE and as FLAC.
TEST_F(PointsCut, GivenTheCutAtSilencesOwnPointsItMakesItsFiles) {
  test::WriteBytes(s.source, Tape(60000, {{10000, 16000}, {30000, 30500}, {40000, 47000}}));
  CutSettings silences = s;
  silences.mode = CutMode::AtSilences;
  silences.runLength = 4000;
  silences.threshold = 30;
  silences.correction.emplace();
  silences.correction->left = int64_t{11};
  silences.correction->right = int64_t{-7};
  s.correction = silences.correction;
  for (const PieceFormat to : {PieceFormat::Wave, PieceFormat::Flac}) {
    const std::string ext = to == PieceFormat::Flac ? ".flac" : ".wav";
    SCOPED_TRACE(ext);
    silences.files.format = s.files.format = to;
    silences.saveFolder = test::EmptyFolder(dir / "silences");
    s.saveFolder = test::EmptyFolder(dir / "points");
    const CutResult found = RunCut(silences, host);
    ASSERT_EQ(found.report.pieces.size(), 3u);
    s.points.clear();
    for (const Piece& p : found.report.pieces) s.points.push_back({p.firstByte / 4, 0});
    const CutResult given = RunCut(s, host);
    ASSERT_EQ(given.report.pieces.size(), 3u);
    for (int n = 1; n <= 3; ++n) {
      EXPECT_EQ(test::ReadBytes(PieceName(s.saveFolder, n, ext)), test::ReadBytes(PieceName(silences.saveFolder, n, ext)));
      EXPECT_EQ(given.report.pieces[static_cast<std::size_t>(n - 1)].peak,
                found.report.pieces[static_cast<std::size_t>(n - 1)].peak);
    }
  }
}

// Points beyond the data or out of order are refused, naming their line,
// and nothing is written; so is the silence kept short, which needs a scan.
TEST_F(PointsCut, BadPointsAreRefusedBeforeAnyFile) {
  test::WriteBytes(s.source, Tape(1000, {}));
  struct Row {
    std::vector<GivenPoint> points;
    std::string error;
  } rows[] = {
      {at({10, 1001}), format(msg::kPointsBeyondData, "2")},
      {at({10, 500, 20}), format(msg::kPointsOutOfOrder, "3")},
      {at({10, 500, 500}), format(msg::kPointsOutOfOrder, "3")},
  };
  for (const Row& row : rows) {
    s.points = row.points;
    EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), row.error);
    s.files.format = PieceFormat::Flac;
    EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), row.error);
    s.files.format = PieceFormat::AsSource;
    EXPECT_TRUE(test::FileNames(s.saveFolder).empty());
  }
  s.points = at({10});
  s.keepSilenceSeconds = 1;
  EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), msg::kKeepSilencePoints);
  EXPECT_TRUE(test::FileNames(s.saveFolder).empty());
}

// Each point moves to the start of the quietest 50 ms (250 frames here)
// within reach: into a gap, staying where it is inside one, to the nearest
// quiet window when several are equal, never past its neighbours.
TEST_F(PointsCut, SnapMovesEachPointToTheQuietestPlaceNearIt) {
  // Gaps: 2000 frames at 20000; 1000 at 40000; a low level (no silence) at
  // 60000, far from both.
  Bytes data = Tape(80000, {{20000, 22000}, {40000, 41000}});
  for (std::size_t b = 60000 * 4; b < 61000 * 4; b += 2) {
    data[b] = 40;
    data[b + 1] = 0;
  }
  test::WriteBytes(s.source, data);
  s.snapSeconds = 1.6;  // 8000 frames
  struct Row {
    std::vector<int64_t> given, want;
  } rows[] = {
      {{17000}, {20000}},            // the gap's start, the nearest quiet window
      {{24500}, {21750}},            // its last 250 frames
      {{20700}, {20700}},            // inside it already
      // The first may not pass the second as given: the gap is the second's.
      {{17000, 18000}, {17000, 20000}},
      {{41200, 60300}, {40750, 60300}},
      {{45000}, {40750}},
  };
  for (const Row& row : rows) {
    s.points.clear();
    for (const int64_t f : row.given) s.points.push_back({f, 0});
    s.saveFolder = test::EmptyFolder(dir / "snap");
    const CutResult r = RunCut(s, host);
    ASSERT_EQ(r.report.pieces.size(), row.given.size() + 1);
    std::vector<int64_t> starts;
    for (std::size_t u = 1; u < r.report.pieces.size(); ++u) starts.push_back(r.report.pieces[u].firstByte / 4);
    EXPECT_EQ(starts, row.want) << row.given[0];
  }
}

}  // namespace
}  // namespace mv
