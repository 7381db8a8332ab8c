// Albums from the command line: a tape of three songs cut with a track list
// into named, tagged WAVE and FLAC files, read back by ffprobe, metaflac and
// flac; the refusals that must leave the save folder empty; and the cue
// sheet a cut writes, read back as the next cut's track list.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "tests/commands.h"
#include "tests/files.h"
#include "tests/support.h"
#include "wave/paths.h"

namespace mv {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Outcome;
using test::Quote;

// Three songs of 1.5 s between quiet gaps of 1 s, 16-bit stereo 44.1 kHz;
// each song's samples differ, so that a piece out of place shows.
Bytes tape() {
  Bytes b;
  for (int song = 0; song < 3; ++song) {
    if (song > 0)
      for (int i = 0; i < 44100 * 2; ++i) test::Put16(b, 3);
    for (int i = 0; i < 66150; ++i)
      for (int c = 0; c < 2; ++c)
        test::Put16(b, static_cast<uint16_t>(((i * (7 + song) + c * 5) % 6000 + 1500) * (i % 2 ? 1 : -1)));
  }
  return b;
}

class Album : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveTool("sox") || !test::HaveTool("metaflac") || !test::HaveTool("flac") || !test::HaveTool("ffprobe"))
      GTEST_SKIP() << "sox, flac, metaflac and ffprobe read the files back";
    test::WriteBytes(source, test::MakeWav(2, 44100, 16, tape()));
    writeText(list, "A1. Morning / Ann\nA2. 雨の森 (0:02)\nB1. Night/Day (0:30)\n");
    fs::create_directory(out);
  }
  // The gaps are 1 s: the cut takes half a second of quiet for a break.
  Outcome run(std::vector<std::string> args) {
    args.insert(args.end(), {"--run", "0.5s"});
    return test::RunCli(args, dir.path());
  }
  std::string shell(const std::string& cmd) {
    const std::string file = dir / "shell.out";
    EXPECT_EQ(std::system((cmd + " >" + Quote(file)).c_str()), 0) << cmd;
    return test::ReadText(file);
  }
  void writeText(const std::string& path, const std::string& text) { test::WriteBytes(path, Bytes(text.begin(), text.end())); }
  std::set<std::string> files(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
  }
  // The samples as sox decodes them, whatever the file's kind.
  std::string samples(const std::string& file) { return shell("sox " + Quote(file) + " -t raw - | md5sum"); }

  test::TempDir dir;
  std::string source = dir / "tape.wav", list = dir / "list.txt", out = dir / "out";
};

TEST_F(Album, NamedTaggedPiecesHoldTheNumberedPiecesSamples) {
  const std::string plain = dir / "plain";
  fs::create_directory(plain);
  ASSERT_EQ(run({"cut", source, "--out", plain}).status, 0);
  const std::string names[] = {"01 Morning", "02 雨の森", "03 Night_Day"};
  for (const std::string to : {"wav", "flac"}) {
    SCOPED_TRACE(to);
    for (const auto& e : fs::directory_iterator(out)) fs::remove(e.path());
    const Outcome r = run({"cut", source, "--out", out, "--tracks", list, "--album", "Side A", "--year", "1979",
                           "--disc", "1/2", "--to", to, "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The third piece is 1.5 s long, listed as 30 s: a warning, and the run goes on.
    EXPECT_NE((r.out + r.err).find("Night/Day"), std::string::npos) << r.out << r.err;
    std::set<std::string> expected;
    for (const std::string& n : names) expected.insert(n + "." + to);
    ASSERT_EQ(files(out), expected);
    for (int n = 1; n <= 3; ++n) {
      const std::string piece = out + "/" + names[n - 1] + "." + to;
      EXPECT_EQ(samples(piece), samples(PieceName(plain, n))) << piece;
      if (to == "flac") {
        EXPECT_EQ(shell("flac -t -s " + Quote(piece) + " && echo ok"), "ok\n");
        const std::string tags = shell("metaflac --export-tags-to=- " + Quote(piece));
        EXPECT_NE(tags.find("TRACKNUMBER=" + std::to_string(n) + "\n"), std::string::npos) << tags;
        EXPECT_NE(tags.find("TRACKTOTAL=3\nDISCNUMBER=1\nDISCTOTAL=2\nDATE=1979\n"), std::string::npos) << tags;
        EXPECT_NE(tags.find("ALBUM=Side A\n"), std::string::npos) << tags;
        if (n == 1) {
          EXPECT_NE(tags.find("TITLE=Morning\nARTIST=Ann\n"), std::string::npos) << tags;
        }
      } else {
        const std::string tags = shell("ffprobe -v error -show_entries format_tags -of default=nw=1 " + Quote(piece));
        EXPECT_NE(tags.find("TAG:track=" + std::to_string(n) + "\n"), std::string::npos) << tags;
        if (n == 2) {
          EXPECT_NE(tags.find("TAG:title=雨の森\n"), std::string::npos) << tags;
        }
      }
    }
  }
}

TEST_F(Album, RefusalsWriteNothing) {
  writeText(dir / "two.txt", "One\nTwo\n");
  writeText(dir / "bad.txt", "One\n2:99\n");
  writeText(dir / "cover.png", "not an image\n");
  ASSERT_EQ(std::system(("sox " + Quote(source) + " -e floating-point " + Quote(dir / "float.wav")).c_str()), 0);
  struct Row {
    std::string name;
    std::vector<std::string> args;
    std::string said;  // in the message
  } rows[] = {
      {"count", {"cut", source, "--tracks", dir / "two.txt"}, "2 曲"},
      {"count in a dry run", {"cut", source, "--tracks", dir / "two.txt", "--dry-run"}, "3 曲"},
      {"unreadable line", {"cut", source, "--tracks", dir / "bad.txt"}, "2 行目"},
      {"cover", {"cut", source, "--tracks", list, "--cover", dir / "cover.png"}, "PNG"},
      {"float into FLAC", {"cut", dir / "float.wav", "--to", "flac"}, "FLAC"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> args = row.args;
    args.insert(args.end(), {"--out", out});
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find(row.said), std::string::npos) << r.out << r.err;
    EXPECT_TRUE(files(out).empty());
  }
  // A pattern with an unknown field is wrong usage.
  EXPECT_EQ(run({"cut", source, "--out", out, "--name", "{n} {titel}"}).status, 2);
}

TEST_F(Album, TheCueSheetOfACutIsTheNextCutsTrackList) {
  const std::string cue = dir / "side.cue";
  ASSERT_EQ(run({"cut", source, "--out", out, "--tracks", list, "--album", "Side A", "--album-artist", "Band",
                 "--cue", cue, "--dry-run"})
                .status,
            0);
  const std::string again = dir / "again";
  fs::create_directory(again);
  const Outcome r = run({"cut", source, "--out", again, "--tracks", cue, "--name", "{n}-{title}-{album}"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(files(again), (std::set<std::string>{"01-Morning-Side A.wav", "02-雨の森-Side A.wav",
                                                  "03-Night_Day-Side A.wav"}));
  const std::string tags =
      shell("ffprobe -v error -show_entries format_tags -of default=nw=1 " + Quote(again + "/01-Morning-Side A.wav"));
  EXPECT_NE(tags.find("TAG:artist=Ann\n"), std::string::npos) << tags;
}

}  // namespace
}  // namespace mv
