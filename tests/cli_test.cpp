// morvane-cli as a script runs it: options, exit statuses, messages, and the
// files it writes, read back field by field.

#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "cli/cut_report.h"
#include "cli/exports.h"
#include "cli/options.h"
#include "tests/commands.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/format.h"

namespace mv {
namespace {

using test::Bytes;

using test::Outcome;
using test::Quote;
using test::ReadText;

class Cli : public ::testing::Test {
 protected:
  Outcome run(const std::vector<std::string>& args, const std::string& redirect = "") {
    return test::RunCli(args, dir.path(), redirect);
  }
  // Started without waiting, the signals at their defaults;
  // setUp runs in the child just before the program.
  pid_t start(const std::vector<std::string>& args, const std::function<void()>& setUp = {}) {
    std::vector<std::string> all = {test::CliPath()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (!std::freopen((dir / ".out").c_str(), "w", stdout) || !std::freopen((dir / ".err").c_str(), "w", stderr))
        ::_exit(127);
      for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ}) ::signal(sig, SIG_DFL);
      if (setUp) setUp();
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }
  Outcome finish(pid_t pid) {
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return {test::StatusOf(raw), ReadText(dir / ".out"), ReadText(dir / ".err")};
  }
  std::string wav(const std::string& name, int ch, int rate, int bits, const Bytes& data) {
    test::WriteBytes(dir / name, test::MakeWav(ch, rate, bits, data));
    return dir / name;
  }
  Bytes songs() {
    const Bytes loud = test::Repeat16(4000, 300, 1), quiet = test::Repeat16(1, 250, 1);
    return test::Concat({loud, quiet, loud});
  }
  test::TempDir dir;
};

TEST_F(Cli, VersionAndHelp) {
  Outcome o = run({"--version"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "Morvane ver 0.8\n");
  EXPECT_EQ(run({"--help"}).status, 0);
  // The help fits the terminal (here $COLUMNS, as stdout is a file) and
  // lists the labels --format takes.
  for (const char* command : {"cut", "split", "join", "measure", "record"}) {
    SCOPED_TRACE(command);
    o = finish(start({command, "--help"}, [] { ::setenv("COLUMNS", "40", 1); }));
    EXPECT_EQ(o.status, 0);
    for (std::size_t at = 0, end; at < o.out.size(); at = end + 1) {
      end = std::min(o.out.find('\n', at), o.out.size());
      EXPECT_LT(end - at, 40u) << o.out.substr(at, end - at);
    }
    for (std::string_view label : kCutLabels) EXPECT_NE(o.out.find(label), std::string::npos) << label;
  }
}

// Wrong usage: status 2, the reason on stderr in the language of the other
// messages, naming what is wrong, nothing on stdout, nothing written. Record
// rows are answered before the recorder starts.
TEST_F(Cli, WrongUsageIsStatusTwoWithTheReason) {
  const std::string d = dir.path(), src = wav("a.wav", 2, 44100, 16, Bytes(8, 1));
  const std::string j = dir / "j.wav", tape = wav("tape.wav", 1, 22050, 16, songs());
  const std::string empty(msg::kUsageEmpty), onlyWithCut(msg::kUsageOnlyWithCut);
  struct Row {
    std::vector<std::string> args;
    std::string words;
  };
  const std::vector<Row> rows = {
      {{}, std::string(msg::kUsageNoCommand)},
      {{"frobnicate"}, format(msg::kUsageUnknownCommand, "frobnicate")},
      {{"--frob"}, format(msg::kUsageUnknownOption, "--frob")},
      {{"cut", src, "--out", d, "--frob", "5"}, format(msg::kUsageUnknownOption, "--frob")},
      {{"record", "--out", d, "--frob"}, format(msg::kUsageUnknownOption, "--frob")},
      {{"info", src, "extra"}, format(msg::kUsageExtraArguments, "extra")},
      {{"cut", src, "--out"}, format(msg::kUsageMissingValue, "--out")},
      {{"cut", src}, format(msg::kUsageRequired, "--out")},
      // A misspelling is named, not what it left missing; after "--" no word is an option.
      {{"cut", src, "--ouput", d}, format(msg::kUsageUnknownOption, "--ouput")},
      {{"--bogus", "cut"}, format(msg::kUsageUnknownOption, "--bogus")},
      {{"cut", src, "--out", d, "--", "--dry-run"}, format(msg::kUsageExtraArguments, "--dry-run")},
      {{"cut", src, "--out", d, "--yes=maybe"}, format(msg::kUsageBadValue, "--yes", "maybe")},
      {{"cut", src, "--out=" + d, "--out=" + d}, format(msg::kUsageGivenTwice, "--out")},
      {{"cut", src, "--out", d, "--threshold", "abc"}, "--threshold: " + format(msg::kUsageNotNumber, "\"abc\"")},
      {{"cut", src, "--out", d, "--threshold", "65537"}, "--threshold: " + cli::OutOfRangeText("65537", "0..65536")},
      {{"cut", src, "--out", d, "--threshold", "0x10"}, "not a number"},
      {{"cut", src, "--out", d, "--threshold", "1e2"}, "not a number"},
      {{"cut", src, "--out", d, "--threshold", ""}, empty},
      {{"cut", src, "--out", d, "--threshold", "-1"}, "out of range"},
      {{"cut", src, "--out", d, "--threshold", "99999999999999999999999"}, "out of range"},
      {{"cut", src, "--out", d, "--run", "441001"}, "out of range"},
      {{"cut", src, "--out", d, "--run", "0x100"}, "not a number"},
      {{"cut", src, "--out", d, "--zero", "1"}, "ZL,ZR"},
      {{"cut", src, "--out", d, "--zero", "a,1"}, "not a number"},
      {{"cut", src, "--out", d, "--zero", "0,0x10"}, "not a number"},
      // Out of range once converted at the source's rate.
      {{"cut", tape, "--out", d, "--run", "20.1s"}, "out of range"},
      {{"cut", tape, "--out", d, "--threshold", "1dB"}, "out of range"},
      {{"cut", tape, "--out", d, "--ignore-clicks", "abc"}, "not a number"},
      {{"split", src, "--out", d, "--length", "216:00:00"}, "out of range"},
      {{"split", src, "--out", d, "--length", "1:60:00"}, "out of range"},
      {{"split", src, "--out", d, "--length", "0:0x1:00"}, "not a number"},
      {{"split", src, "--out", d, "--length", "0::10"}, "not a number"},
      {{"split", src, "--out", d, "--length", "1:2:3:4"}, "H:M:S"},
      {{"split", src, "--out", d, "--format", "16bit, Mono, 7kHz"},
       format(msg::kUsageUnknownFormat, "\"16bit, Mono, 7kHz\"")},
      {{"record", "--out", d, "--length", "0:00:1O"}, "not a number"},
      {{"record", "--out", d, "--length", "0:99:00"}, "out of range"},
      {{"record", "--length", "0:00:01"}, "--out"},
      {{"record", "--out", d, "--cut", "--threshold", "abc"}, "not a number"},
      {{"record", "--out", d, "--cut", "--run", "441001"}, "out of range"},
      {{"record", "--out", d, "--cut", "--ignore-clicks", "5 frames"}, "not a number"},
      {{"record", "--out", d, "--cut", "--min-song", "-1"}, "out of range"},
      {{"record", "--out", d, "--threshold", "50"}, onlyWithCut},
      {{"record", "--out", d, "--min-song", "3"}, onlyWithCut},
      {{"record", "--out", d, "--input", ""}, empty},
      {{"record", "--out", d, "--cut", "--cut-out", ""}, empty},
      // Empty names and labels.
      {{"cut", src, "--out", ""}, empty},
      {{"split", src, "--out", ""}, empty},
      {{"join", "--out", "", src}, empty},
      {{"record", "--out", ""}, empty},
      {{"cut", "", "--out", d}, empty},
      {{"split", "", "--out", d}, empty},
      {{"join", "--out", j, src, ""}, empty},
      {{"cut", src, "--out", d, "--format", ""}, empty},
      {{"split", src, "--out", d, "--format", ""}, empty},
      {{"join", "--out", j, "--format", "", src}, empty},
      {{"measure", src, "--format", ""}, empty},
      {{"record", "--out", d, "--format", ""}, empty},
      // Two things on the standard output, or both exports in one file.
      {{"cut", src, "--out", d, "--dry-run", "--labels", "-", "--json"}, "標準出力"},
      {{"cut", src, "--out", d, "--labels", "-", "--cue", "-"}, "標準出力"},
      {{"cut", src, "--out", d, "--labels", j, "--cue", d + "/./j.wav"}, "同じﾌｧｲﾙ"},
  };
  for (const Row& row : rows) {
    std::string shown;
    for (const auto& a : row.args) shown += " [" + a + "]";
    SCOPED_TRACE(shown);
    const Outcome o = run(row.args);
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find(row.words), std::string::npos) << o.err;
    for (std::size_t at = 0, end; at < o.err.size(); at = end + 1) {
      end = std::min(o.err.find('\n', at), o.err.size());
      const std::string line = o.err.substr(at, end - at);
      EXPECT_TRUE(std::any_of(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; }))
          << "not in Japanese: " << line;
    }
    EXPECT_EQ(o.out, "");
  }
  EXPECT_FALSE(test::Exists(dir / "mv000001.wav"));
  EXPECT_FALSE(test::Exists(j));
}

// Leading zeros and signs are decimal: read as octal, 0100 would be 64 (the
// quiet part at 80 would not be silent) and 0300 would be 192 (the quiet part
// of 250 frames would end a song).
TEST_F(Cli, NumbersWithLeadingZerosAreDecimal) {
  const Bytes loud = test::Repeat16(4000, 300, 1), quiet = test::Repeat16(80, 250, 1);
  const std::string src = wav("tape.wav", 1, 22050, 16, test::Concat({loud, quiet, loud}));
  struct Row {
    std::vector<std::string> zeros, plain;
    int pieces;
  };
  const std::vector<Row> rows = {
      {{"cut", "--threshold", "0100", "--run", "0200"}, {"cut", "--threshold", "100", "--run", "200"}, 2},
      {{"cut", "--threshold", "+100", "--run", " 0300"}, {"cut", "--threshold", "100", "--run", "300"}, 1},
      {{"cut", "--run", "010", "--zero", "-010,+010"}, {"cut", "--run", "10", "--zero", "-10,10"}, 2},
      {{"split", "--length", "000:00:008"}, {"split", "--length", "0:0:8"}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.zeros[2]);
    std::vector<Bytes> made[2];
    for (int k = 0; k < 2; ++k) {
      const std::string out = test::EmptyFolder(dir / ("out" + std::to_string(k)));
      std::vector<std::string> args = k == 0 ? row.zeros : row.plain;
      args.insert(args.begin() + 1, {src, "--out", out});
      const Outcome o = run(args);
      ASSERT_EQ(o.status, 0) << o.err;
      made[k] = test::PieceFiles(out);
    }
    EXPECT_EQ(made[0].size(), static_cast<std::size_t>(row.pieces));
    EXPECT_EQ(made[0], made[1]);
  }
}

// A locale that writes "0,5", as Qt sets it for a German user before the
// recording program reads its cut options and reports the cut: the system's,
// or one built from its locale sources into folder.
class GermanLocale {
 public:
  explicit GermanLocale(const std::string& folder) : before_(std::setlocale(LC_ALL, nullptr)) {
    if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return;
    const std::string made = folder + "/de_DE.UTF-8";
    if (std::system(("localedef -i de_DE -f UTF-8 " + test::Quote(made) + " >/dev/null 2>&1").c_str()) != 0) return;
    ::setenv("LOCPATH", folder.c_str(), 1);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
  }
  ~GermanLocale() {
    std::setlocale(LC_ALL, before_.c_str());
    ::unsetenv("LOCPATH");
  }
  bool active() const { return std::localeconv()->decimal_point == std::string(","); }

 private:
  std::string before_;
};

// Numbers are read and written with a point whatever the locale: strtod
// there reads "0.5" as 0, and printf writes 0,5.
TEST_F(Cli, NumbersHaveAPointInEveryLocale) {
  GermanLocale german(dir.path());
  if (!german.active()) GTEST_SKIP() << "no German locale and no localedef to make one";
  EXPECT_EQ(cli::ParseRun("0.5s").seconds, 0.5);
  EXPECT_EQ(cli::ParseThreshold("-42.5dB").dB, -42.5);
  EXPECT_EQ(cli::ParseClicks("1.5ms").ms, 1.5);
  EXPECT_EQ(cli::ParseMinSong("2.25"), 2.25);

  CutSettings s;
  s.format = ParseFormatLabel("16bit, Mono, 22kHz");
  s.threshold = 100;
  s.runLength = 200;
  s.minSongSeconds = 0.5;
  CutResult r;
  r.report.pieces = {{0, 800, 4000}, {800, 900, 4000}};
  r.report.longestQuiet = QuietRun{300, 250};
  r.mergedPieces = 1;
  ::testing::internal::CaptureStdout();
  cli::PrintJson(s, r, false);
  const std::string json = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(json.find("\"start_s\": 0.018141, \"length_s\": 0.020408"), std::string::npos) << json;
  EXPECT_NE(json.find("\"seconds\": 0.011338}"), std::string::npos) << json;
  EXPECT_EQ(cli::LabelText(r, s.format), "0.000000\t0.018141\tmv000001\n0.018141\t0.038549\tmv000002\n");
  ::testing::internal::CaptureStderr();
  cli::PrintSummary(s, r);
  const std::string summary = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(summary.find("0.01秒"), std::string::npos) << summary;
  EXPECT_NE(summary.find(format(format(msg::kBreaksMerged, "1"), "0.5秒")), std::string::npos) << summary;
}

TEST_F(Cli, CutTakesTheFormatOfAWaveSourceAndListsItsFiles) {
  const std::string src = wav("tape.wav", 1, 22050, 16, songs());
  Outcome o = run({"cut", src, "--out", dir.path(), "--run", "200"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "mv000001.wav  844 bytes\nmv000002.wav  944 bytes\n");
  // The summary: songs, and the longest quiet run (250 frames from frame 300).
  EXPECT_EQ(o.err, std::string(msg::kCutDone) + "\n2曲に切り出しました。最長の無音: 0.01秒 (0:00:00.013から)\n");
  const Bytes first = test::ReadBytes(dir / "mv000001.wav");
  EXPECT_EQ(test::Get16(first, 22), 1);
  EXPECT_EQ(test::Get32(first, 24), 22050u);
  EXPECT_EQ(test::Get32(first, 40), 800u);
  EXPECT_TRUE(test::IsFinishedWave(dir / "mv000002.wav"));

  // A headerless source takes the default format; --format replaces it.
  test::WriteBytes(dir / "tape.raw", songs());
  o = run({"split", dir / "tape.raw", "--out", dir.path(), "--length", "0:00:01", "--yes",
           "--format", "8bit,  Stereo, 48kHz"});
  ASSERT_EQ(o.status, 0) << o.err;
  const Bytes piece = test::ReadBytes(dir / "mv000001.wav");
  EXPECT_EQ(test::Get16(piece, 22), 2);
  EXPECT_EQ(test::Get16(piece, 34), 8);
  EXPECT_EQ(test::Get32(piece, 24), 48000u);
  EXPECT_EQ(test::DataOf(piece), songs());
}

TEST_F(Cli, QuestionsAreAnsweredNoUnlessYes) {
  const std::string src = wav("tape.wav", 1, 22050, 16, songs());
  test::WriteBytes(dir / "mv000007.wav", {1, 2});
  Outcome o = run({"cut", src, "--out", dir.path()});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kOverwritePieces) + "\n" + format(msg::kDeclinedWithoutOption, "--yes") + "\n");
  EXPECT_FALSE(test::Exists(dir / "mv000001.wav"));
  o = run({"cut", src, "--out", dir.path(), "--yes"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(test::ReadBytes(dir / "mv000007.wav"), (Bytes{1, 2}));
}

// Refusals and errors: status 1, the one message on stderr, nothing on
// stdout, nothing written, no folder or label file made.
TEST_F(Cli, RefusalsAndErrorsWriteNothing) {
  const std::string src = wav("tape.wav", 2, 44100, 16, songs()), d = dir.path(), missing = dir / "missing";
  test::WriteBytes(dir / "bad.wav", Bytes(60, 0));
  test::WriteBytes(dir / "tag3.wav", test::MakeWav(2, 44100, 16, {}, 3));
  const std::string range = std::string(msg::kRangeError) + ".\n", bad = std::string(msg::kUnsupported) + "\n";
  const std::string noFolder = format(msg::kCannotCreate, missing + "/mv000001.wav") + ".\n";
  // Label and cue files never replace the source (however it is named), a
  // piece (there or to come), or audio; a cue sheet cannot quote every name.
  const Bytes src0 = test::ReadBytes(src), audio = test::MakeWav(1, 8000, 8, Bytes(10, 3));
  test::WriteBytes(dir / "song.bin", audio);
  // Bare samples carry no mark at all: only text is replaced.
  test::WriteBytes(dir / "bare.raw", songs());
  std::filesystem::create_symlink("tape.wav", dir / "link.txt");
  test::WriteBytes(dir / "q\"t.raw", songs());
  const std::string base = std::filesystem::path(d).filename();
  auto runFile = [](const std::string& name) { return format(msg::kExportIsRunFile, name) + "\n"; };
  struct Row {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Row> rows = {
      {{"split", src, "--out", d, "--length", "0:00:00"}, std::string(msg::kZeroPieceLength) + "\n"},
      {{"cut", src, "--out", d, "--run", "0"}, std::string(msg::kZeroRunLength) + "\n"},
      {{"cut", src, "--out", d, "--zero", "40000,0"}, range},
      {{"cut", src, "--out", d, "--zero", "0,-99999999999"}, range},
      // A missing save folder, in a real run and a dry one alike.
      {{"cut", src, "--out", missing, "--yes", "--labels", dir / "l.txt"}, noFolder},
      {{"cut", src, "--out", missing, "--dry-run", "--labels", dir / "l.txt"}, noFolder},
      {{"cut", dir / "bad.wav", "--out", d}, bad},
      {{"info", dir / "tag3.wav"}, bad},
      // The source intake comes first: a missing .wav is reported before the zero run.
      {{"cut", dir / "none.wav", "--out", d, "--run", "0"}, format(msg::kCannotOpen, dir / "none.wav") + ".\n"},
      {{"cut", src, "--out", d, "--yes", "--labels", src}, runFile(src)},
      {{"cut", src, "--out", d, "--dry-run", "--cue", src}, runFile(src)},
      {{"cut", src, "--out", d, "--labels", dir / "link.txt"}, runFile(dir / "link.txt")},
      {{"cut", src, "--out", d, "--dry-run", "--labels", d + "/../" + base + "/tape.wav"},
       runFile(d + "/../" + base + "/tape.wav")},
      {{"cut", src, "--out", d, "--yes", "--labels", d + "/mv000002.wav"}, runFile(d + "/mv000002.wav")},
      {{"cut", src, "--out", d, "--dry-run", "--cue", d + "/../" + base + "/mv000001.wav"},
       runFile(d + "/../" + base + "/mv000001.wav")},
      {{"cut", src, "--out", d, "--labels", dir / "song.bin"}, format(msg::kExportIsAudio, dir / "song.bin") + "\n"},
      {{"cut", src, "--out", d, "--dry-run", "--cue", dir / "song.bin"},
       format(msg::kExportIsAudio, dir / "song.bin") + "\n"},
      {{"cut", src, "--out", d, "--yes", "--cue", dir / "bare.raw"}, format(msg::kExportIsAudio, dir / "bare.raw") + "\n"},
      {{"cut", src, "--out", d, "--labels", missing + "/l.txt"}, format(msg::kCannotCreate, missing + "/l.txt") + ".\n"},
      {{"cut", dir / "q\"t.raw", "--out", d, "--dry-run", "--cue", dir / "l.txt"}, std::string(msg::kCueCannotName) + "\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0] + " " + row.args.back());
    const Outcome o = run(row.args);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, row.err);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(test::FileNames(d, "mv"), std::vector<std::string>{});
    EXPECT_FALSE(test::Exists(missing));
    EXPECT_FALSE(test::Exists(dir / "l.txt"));
    EXPECT_EQ(test::ReadBytes(src), src0);
    EXPECT_EQ(test::ReadBytes(dir / "song.bin"), audio);
    EXPECT_EQ(test::ReadBytes(dir / "bare.raw"), songs());
    // A row that wrongly wrote must not change what the next one meets.
    for (const std::string& name : test::FileNames(d, "mv")) std::filesystem::remove(dir / name);
    std::filesystem::remove_all(missing);
    std::filesystem::remove(dir / "l.txt");
  }
}

// A numbered name, or a join's output, that is a symbolic link is replaced by
// the new file: nothing is written where it points. One that points to the
// source is refused as the source itself would be.
TEST_F(Cli, OutputNamesThatAreLinksAreReplacedNotWrittenThrough) {
  const std::string src = wav("tape.wav", 1, 22050, 16, songs()), out = test::EmptyFolder(dir / "out");
  const Bytes src0 = test::ReadBytes(src), kept = test::Ascii("kept");
  test::WriteBytes(dir / "kept.wav", kept);
  std::filesystem::create_symlink("../kept.wav", out + "/mv000001.wav");
  std::filesystem::create_symlink("../none.wav", out + "/mv000002.wav");
  std::filesystem::create_symlink(dir / "kept.wav", dir / "j.wav");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"cut", src, "--out", out, "--run", "200", "--yes"},
        {"join", "--out", dir / "j.wav", "--yes", src}}) {
    SCOPED_TRACE(args[0]);
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 0) << o.err;
  }
  EXPECT_EQ(test::ReadBytes(dir / "kept.wav"), kept);
  EXPECT_FALSE(test::Exists(dir / "none.wav"));
  for (const std::string& name : {out + "/mv000001.wav", out + "/mv000002.wav", dir / "j.wav"}) {
    EXPECT_FALSE(std::filesystem::is_symlink(name)) << name;
    EXPECT_TRUE(test::IsFinishedWave(name)) << name;
  }
  // A hard link shares its file with a name elsewhere, which stays as it was.
  const Bytes other = test::MakeWav(1, 22050, 16, Bytes(64, 7));
  test::WriteBytes(dir / "other.wav", other);
  std::filesystem::remove(out + "/mv000002.wav");
  std::filesystem::create_hard_link(dir / "other.wav", out + "/mv000002.wav");
  ASSERT_EQ(run({"cut", src, "--out", out, "--run", "200", "--yes"}).status, 0);
  EXPECT_EQ(test::ReadBytes(dir / "other.wav"), other);
  EXPECT_TRUE(test::IsFinishedWave(out + "/mv000002.wav"));
  std::filesystem::remove(out + "/mv000001.wav");
  std::filesystem::create_symlink(src, out + "/mv000001.wav");
  const Outcome o = run({"cut", src, "--out", out, "--run", "200", "--yes"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kCutSourceIsOutput) + "\n");
  EXPECT_EQ(test::ReadBytes(src), src0);
}

TEST_F(Cli, NegativeZeroPointsCorrectTheCut) {
  test::WriteBytes(dir / "t.raw", test::Repeat16(10, 4, 2));
  Outcome o = run({"cut", dir / "t.raw", "--out", dir.path(), "--zero", "-5,3"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(test::DataOf(test::ReadBytes(dir / "mv000001.wav")), test::Frames16({15, 7, 15, 7, 15, 7, 15, 7}, 1));
}

// The format question is answered by --allow-mixed-formats only; --yes
// answers the overwrite question only.
TEST_F(Cli, JoinAsksAboutADifferentFormatAndWritesNothingOnNo) {
  const std::string a = wav("a.wav", 2, 44100, 16, Bytes(400, 1));
  const std::string b = wav("b.wav", 1, 22050, 8, Bytes(100, 2));
  const std::string out = dir / "joined.wav";
  for (const std::vector<std::string>& answer : {std::vector<std::string>{}, {"--yes"}}) {
    std::vector<std::string> args = {"join", "--out", out, a, b};
    args.insert(args.end(), answer.begin(), answer.end());
    Outcome o = run(args);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "形式の異なるWaveファイルですが、結合しますか?\n" +
                         format(msg::kDeclinedWithoutOption, "--allow-mixed-formats") + "\n");
    EXPECT_EQ(o.out, "");
    EXPECT_FALSE(test::Exists(out));
  }

  Outcome o = run({"join", "--out", out, "--allow-mixed-formats", a, b});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, out + "  544 bytes\n");
  const Bytes j = test::ReadBytes(out);
  EXPECT_EQ(test::Get16(j, 22), 1);  // the format last accepted
  EXPECT_EQ(test::Get32(j, 24), 22050u);
  EXPECT_EQ(test::DataOf(j), test::Concat({Bytes(400, 1), Bytes(100, 2)}));

  o = run({"join", "--out", out, "--yes", "--format", "16bit, Stereo, 48kHz", a, dir / "x.raw"});
  EXPECT_EQ(o.status, 1);  // x.raw cannot be opened
  EXPECT_NE(o.err.find(format(msg::kCannotOpen, dir / "x.raw")), std::string::npos);
}

// An existing output is asked about after the intake and after the refusal
// of an output among the sources.
TEST_F(Cli, JoinOverAnExistingFileAsksFirst) {
  const std::string a = wav("a.wav", 2, 44100, 16, Bytes(4, 1));
  const std::string bad = wav("b.wav", 2, 7000, 16, Bytes(4, 1));
  const Bytes a0 = test::ReadBytes(a), old = {7, 7, 7};
  const std::string out = dir / "j.wav";
  test::WriteBytes(out, old);
  const std::string declined =
      "ファイルがすでに存在しますが、上書きしますか?\n" + format(msg::kDeclinedWithoutOption, "--yes") + "\n";
  struct Row {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Row> rows = {
      {{"join", "--out", out, a}, declined},
      {{"join", "--out", out, "--allow-mixed-formats", a}, declined},
      {{"join", "--out", out, "--yes", a, bad}, "サポートできない形式です。\n"},
      {{"join", "--out", a, a}, "生成するﾌｧｲﾙが結合するﾌｧｲﾙの中にあります。\n"},
      {{"join", "--out", a, "--yes", a}, "生成するﾌｧｲﾙが結合するﾌｧｲﾙの中にあります。\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[2] + " " + row.args[3]);
    const Outcome o = run(row.args);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, row.err);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(test::ReadBytes(out), old);
    EXPECT_EQ(test::ReadBytes(a), a0);
  }
  const Outcome o = run({"join", "--out", out, "--yes", a});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "ファイルがすでに存在しますが、上書きしますか?\n結合は正常に終了しました。\n");
  EXPECT_EQ(test::ReadBytes(out), a0);
}

// Nothing but WAVE content goes into an output: one that is the standard
// output or error, however it is named, is wrong usage and stays untouched.
TEST_F(Cli, OutputThatIsAStandardStreamIsWrongUsage) {
  const std::string a = wav("a.wav", 2, 44100, 16, Bytes(4, 1));
  const Bytes old = {7, 7, 7};
  const std::string f = dir / "f.wav", rec = dir / "morvntmp.wav";
  struct Row {
    std::vector<std::string> args;
    std::string redirect, file;
  };
  const std::vector<Row> rows = {
      {{"join", "--out", f, "--yes", a}, ">>" + Quote(f), f},
      {{"join", "--out", "/dev/stdout", "--yes", a}, ">>" + Quote(f), f},
      {{"join", "--out", "/proc/self/fd/1", a}, ">>" + Quote(f), f},
      {{"join", "--out", "/dev/stderr", "--yes", a}, "2>>" + Quote(f), f},
      {{"join", "--out", f, "--yes", a}, "2>>" + Quote(f), f},
      {{"record", "--out", dir.path(), "--yes"}, ">>" + Quote(rec), rec},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[2] + " " + row.redirect);
    test::WriteBytes(row.file, old);
    const Outcome o = run(row.args, row.redirect);
    EXPECT_EQ(o.status, 2);
    // Only the usage message, when stderr is that file, follows the old bytes.
    const Bytes now = test::ReadBytes(row.file);
    ASSERT_GE(now.size(), old.size());
    EXPECT_EQ(Bytes(now.begin(), now.begin() + 3), old);
    const std::string rest(now.begin() + 3, now.end());
    const std::string stream(row.redirect[0] == '2' ? msg::kUsageStandardError : msg::kUsageStandardOutput);
    const std::string said = stream.substr(stream.find("%s") + 2);
    if (row.redirect[0] == '2') {
      EXPECT_NE(rest.find(said), std::string::npos) << rest;
    } else {
      EXPECT_EQ(rest, "");
      EXPECT_NE(o.err.find(said), std::string::npos) << o.err;
    }
  }
}

TEST_F(Cli, JoinDeletesSourcesAfterAFinishedRun) {
  const std::string a = wav("a.wav", 2, 44100, 16, Bytes(4, 1));
  test::WriteBytes(dir / "b.RAW", Bytes(8, 2));
  Outcome o = run({"join", "--out", dir / "j.wav", "--delete-sources", a, dir / "b.RAW"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, std::string(msg::kJoinDone) + "\n");
  EXPECT_FALSE(test::Exists(a));
  EXPECT_FALSE(test::Exists(dir / "b.RAW"));
  EXPECT_EQ(test::DataOf(test::ReadBytes(dir / "j.wav")), test::Concat({Bytes(4, 1), Bytes(8, 2)}));
}

TEST_F(Cli, InfoAndMeasure) {
  const std::string m = wav("m.wav", 1, 22050, 8, Bytes{130, 131, 129, 140});
  const std::string e = wav("e.wav", 2, 44100, 16, Bytes{1, 2, 3});
  struct Row {
    std::vector<std::string> args;
    std::string out;
  };
  for (const Row& row : std::vector<Row>{
           {{"info", m}, "position: 21\nlabel: 8bit, Mono, 22kHz\n"},
           {{"measure", m}, "zero-point: 4 0\nmaximum: 12 0\nminimum: 1 0\nthreshold: 9\n"},
           {{"measure", e}, "zero-point: 0 0\nmaximum: 0 0\nminimum: 0 0\n"}}) {
    SCOPED_TRACE(row.args[0] + " " + row.args[1]);
    const Outcome o = run(row.args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, row.out);
  }
  // Read as 16-bit mono instead: two frames.
  EXPECT_EQ(run({"measure", m, "--format", "16bit, Mono, 22kHz"}).out.substr(0, 12), "zero-point: ");
}

// Ctrl-C, SIGTERM and SIGHUP are the cancel button: the run stops at a block,
// the piece being written is left a finished file, the source as it was.
TEST_F(Cli, CancellingSignalsStopAtABlockAndLeaveValidFiles) {
  // One frame a block: a long run of tiny blocks, signalled once it has
  // created its first piece, so that the signal lands mid-run.
  const Bytes source = test::Repeat16(3000, 4000000, 2);
  test::WriteBytes(dir / "long.raw", source);
  for (const auto& [signal, status] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove(dir / "mv000001.wav");
    const pid_t pid = start({"cut", dir / "long.raw", "--out", dir.path(), "--run", "1"});
    for (int i = 0; i < 2000 && !test::Exists(dir / "mv000001.wav"); ++i) ::usleep(5 * 1000);
    ::kill(pid, signal);
    const Outcome o = finish(pid);
    EXPECT_EQ(o.status, status);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out.rfind("mv000001.wav  ", 0), 0u) << o.out;
    EXPECT_TRUE(test::IsFinishedWave(dir / "mv000001.wav"));
    EXPECT_LT(test::ReadBytes(dir / "mv000001.wav").size(), source.size() + 44);
    EXPECT_FALSE(test::Exists(dir / "mv000002.wav"));
    EXPECT_EQ(test::ReadBytes(dir / "long.raw"), source);
  }
}

// A closed standard output does not stop the job: every piece is written.
TEST_F(Cli, ClosedStandardOutputDoesNotStopTheJob) {
  const std::string src = wav("tape.wav", 1, 11025, 16, test::Repeat16(500, 11025 * 3 + 10, 1));
  const pid_t pid = start({"split", src, "--out", dir.path(), "--length", "0:00:01"}, [] {
    int p[2];
    if (::pipe(p) != 0) ::_exit(126);
    ::close(p[0]);
    ::dup2(p[1], STDOUT_FILENO);
  });
  const Outcome o = finish(pid);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "切り出しは正常に終了しました。\n");
  for (const char* name : {"mv000001.wav", "mv000002.wav", "mv000003.wav", "mv000004.wav"})
    EXPECT_TRUE(test::IsFinishedWave(dir / name)) << name;
}

// A file-size limit ends the job through its write error; the output is a
// finished file of what fitted.
TEST_F(Cli, FileSizeLimitIsAWriteError) {
  const std::string a = wav("a.wav", 2, 44100, 16, Bytes(8000, 1));
  test::WriteBytes(dir / "b.raw", Bytes(8000, 2));
  const pid_t pid = start({"join", "--out", dir / "j.wav", a, dir / "b.raw"}, [] {
    const rlimit limit{10000, 10000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  const Outcome o = finish(pid);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "ストリームへの書き込みエラー.\n");
  EXPECT_EQ(o.out, dir / "j.wav" + "  10000 bytes\n");
  EXPECT_TRUE(test::IsFinishedWave(dir / "j.wav"));
  EXPECT_EQ(test::DataOf(test::ReadBytes(dir / "j.wav")),
            test::Concat({Bytes(8000, 1), Bytes(10000 - 44 - 8000, 2)}));
}

// The dry run lists what the cut writes; JSON, labels and cue sheets tell the
// same pieces; levels in dB, lengths in seconds mean what they say.
TEST_F(Cli, DryRunAndItsReportsMatchTheCut) {
  const std::string src = wav("tape.wav", 1, 22050, 16, songs());
  Outcome dry = run({"cut", src, "--out", dir.path(), "--run", "200", "--dry-run", "--labels", dir / "l.txt",
                     "--cue", dir / "c.cue"});
  ASSERT_EQ(dry.status, 0) << dry.err;
  EXPECT_TRUE(test::FileNames(dir.path(), "mv").empty());
  // 300 loud + 250 quiet frames: the cut lies 513 frames before the sound,
  // clamped to its block of 200: frame 400.
  EXPECT_EQ(dry.out,
            "mv000001.wav  0:00:00.000  0:00:00.018  0:00:00.018  800 bytes\n"
            "mv000002.wav  0:00:00.018  0:00:00.038  0:00:00.020  900 bytes\n");
  EXPECT_EQ(ReadText(dir / "l.txt"), "0.000000\t0.018141\tmv000001\n0.018141\t0.038549\tmv000002\n");
  EXPECT_EQ(ReadText(dir / "c.cue"), "FILE \"" + src + "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                   "  TRACK 02 AUDIO\n    INDEX 01 00:00:01\n");
  Outcome json = run({"cut", src, "--out", dir.path(), "--run", "200", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"written\": true"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("{\"file\": \"mv000002.wav\", \"first_byte\": 800, \"data_bytes\": 900"),
            std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"longest_quiet_run\": {\"first_frame\": 300, \"frames\": 250"), std::string::npos);
  EXPECT_EQ(test::FileNames(dir.path(), "mv").size(), 2u);
  EXPECT_EQ(test::ReadBytes(dir / "mv000001.wav").size(), 844u);
  // A split of an exact multiple writes a bare header last; the dry run lists it.
  const std::string even = wav("even.wav", 1, 22050, 16, Bytes(88200, 0));
  EXPECT_EQ(run({"split", even, "--out", dir.path(), "--dry-run", "--length", "1s"}).out,
            "mv000001.wav  0:00:00.000  0:00:01.000  0:00:01.000  44100 bytes\n"
            "mv000002.wav  0:00:01.000  0:00:02.000  0:00:01.000  44100 bytes\n"
            "mv000003.wav  0:00:02.000  0:00:02.000  0:00:00.000  0 bytes\n");

  // Units: the same cut spelt otherwise.
  const std::string plain = run({"cut", src, "--out", dir.path(), "--dry-run", "--run", "200", "--threshold", "103"}).out;
  const std::string split = run({"split", src, "--out", dir.path(), "--dry-run", "--length", "0:00:01"}).out;
  for (const auto& [args, out] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"cut", src, "--out", dir.path(), "--dry-run", "--run", "0.00907s", "--threshold", "-50dB"}, plain},
           {{"split", src, "--out", dir.path(), "--dry-run", "--length", "1s"}, split},
           {{"split", src, "--out", dir.path(), "--dry-run", "--length", "0:01"}, split}}) {
    SCOPED_TRACE(args.back());
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, out);
  }
}

// Label and cue files are outputs of the run: written whole before the source
// may go, so that one that cannot be written keeps the source; "-" is the
// standard output, in place of the file lines; the cue sheet quotes the name
// as it is.
TEST_F(Cli, ExportsAreWrittenBeforeTheSourceGoes) {
  const std::string src = wav("tape.wav", 1, 22050, 16, songs()), out = test::EmptyFolder(dir / "out");
  const Bytes src0 = test::ReadBytes(src);
  const std::string labels = "0.000000\t0.018141\tmv000001\n0.018141\t0.038549\tmv000002\n";
  for (const bool dry : {true, false}) {
    std::vector<std::string> args = {"cut", src, "--out", out, "--run", "200", "--yes", "--labels", "-"};
    if (dry) args.push_back("--dry-run");
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, labels);
    EXPECT_EQ(test::FileNames(out, "mv").size(), dry ? 0u : 2u);
  }
  // The lines on the standard output never go into the source or a piece.
  for (const std::string stream : {">>", "2>>"}) {
    for (const std::string& target : std::vector<std::string>{src, out + "/mv000002.wav"}) {
      SCOPED_TRACE(stream + target);
      const Bytes before = test::ReadBytes(target);
      const Outcome o = run({"cut", src, "--out", out, "--run", "200", "--yes"}, stream + Quote(target));
      EXPECT_EQ(o.status, 2);
      EXPECT_EQ(test::ReadBytes(target), before);
    }
  }
  // A name at the length limit still gets its temporary beside it.
  const std::string longest = dir / std::string(250, 'L');
  ASSERT_EQ(run({"cut", src, "--out", out, "--run", "200", "--yes", "--labels", longest}).status, 0);
  EXPECT_EQ(ReadText(longest), labels);
  std::filesystem::remove(longest);
  struct Row {
    std::vector<std::string> exports;
    std::string redirect;
  };
  for (const Row& row : std::vector<Row>{{{"--labels", "-"}, ">/dev/full"},
                                         {{"--cue", "/dev/full"}, ""},
                                         {{"--labels", dir / "l.txt", "--cue", "/dev/full"}, ""}}) {
    SCOPED_TRACE(row.exports.back());
    std::vector<std::string> args = {"cut", src, "--out", out, "--run", "200", "--yes", "--delete-source"};
    args.insert(args.end(), row.exports.begin(), row.exports.end());
    const Outcome o = run(args, row.redirect);
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find(msg::kWriteError), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find(msg::kCutDone), std::string::npos) << o.err;
    EXPECT_EQ(test::ReadBytes(src), src0);
  }
  // A name that is a link is replaced, not written through; an old file is
  // replaced whole; then the source may go.
  test::WriteBytes(dir / "kept.txt", test::Ascii("kept"));
  std::filesystem::remove(dir / "l.txt");
  std::filesystem::create_symlink("kept.txt", dir / "l.txt");
  test::WriteBytes(dir / "c.cue", Bytes(5000, 'x'));
  const Outcome o = run({"cut", src, "--out", out, "--run", "200", "--yes", "--delete-source", "--labels",
                         dir / "l.txt", "--cue", dir / "c.cue"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_FALSE(test::Exists(src));
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "l.txt"));
  EXPECT_EQ(ReadText(dir / "l.txt"), labels);
  EXPECT_EQ(ReadText(dir / "kept.txt"), "kept");
  EXPECT_EQ(ReadText(dir / "c.cue"), "FILE \"" + src + "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                     "  TRACK 02 AUDIO\n    INDEX 01 00:00:01\n");
  EXPECT_EQ(test::FileNames(dir.path(), "."), (std::vector<std::string>{".err", ".out"}));
  // No escapes on the FILE line.
  const std::string odd = dir / "a\\b \xc3\xa9'.raw";
  test::WriteBytes(odd, songs());
  ASSERT_EQ(run({"cut", odd, "--out", out, "--dry-run", "--cue", dir / "c.cue"}).status, 0);
  EXPECT_EQ(ReadText(dir / "c.cue").substr(0, odd.size() + 13), "FILE \"" + odd + "\" WAVE\n");
}

// The JSON reads as JSON whatever bytes the source's name holds, and the
// name comes back exactly from its hex.
TEST_F(Cli, JsonHoldsAnyNameAndGivesItBack) {
  const std::string name = dir / "a\xff\x01\"b\\\x7f\xc3\xa9\xed\xa0\x80\n.raw";
  test::WriteBytes(name, songs());
  const Outcome o = run({"cut", name, "--out", dir.path(), "--dry-run", "--json"});
  ASSERT_EQ(o.status, 0) << o.err;
  test::WriteBytes(dir / "j.json", test::Ascii(o.out));
  const std::string read =
      "python3 -c 'import json, sys; d = json.load(open(sys.argv[1], encoding=\"utf-8\")); "
      "sys.stdout.buffer.write(bytes.fromhex(d[\"source_hex\"]) + b\"|\" + d[\"source\"].encode())' " +
      Quote(dir / "j.json") + " >" + Quote(dir / "back");
  ASSERT_EQ(std::system(read.c_str()), 0) << o.out;
  EXPECT_EQ(ReadText(dir / "back"),
            name + "|" + dir.path() + "/a\xef\xbf\xbd\x01\"b\\\x7f\xc3\xa9\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\n.raw");
}

// The progress bar stays within the terminal, however narrow: a line that
// wraps leaves its first part behind at every update.
TEST_F(Cli, ProgressBarFitsTheTerminal) {
  const Bytes tape = songs();
  const std::string src = wav("tape.wav", 1, 22050, 16, test::Concat({tape, tape, tape, tape}));
  // A name's line break or escape sequence never reaches the terminal raw.
  wav("odd\n\x1b[31mred.wav", 1, 22050, 16, test::Concat({tape, tape, tape, tape}));
  const std::string cli = test::CliPath(), out = dir.path(), joined = dir / "j.wav";
  const std::vector<std::vector<std::string>> commands = {
      {cli, "cut", src, "--out", out, "--run", "200", "--dry-run"}, {cli, "join", "--yes", "--out", joined, "odd\n\x1b[31mred.wav", src}};
  for (const unsigned short columns : {40, 24, 12}) {
    for (const std::vector<std::string>& command : commands) {
    SCOPED_TRACE(command[1] + " at " + std::to_string(columns));
    const winsize size{24, columns, 0, 0};
    int terminal = -1;
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (pid < 0) GTEST_SKIP() << "no pseudo-terminal here";
    if (pid == 0) {
      // Names short enough to be shown whole.
      if (::chdir(out.c_str()) != 0) ::_exit(126);
      ::execv(cli.c_str(), argv.data());
      ::_exit(127);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
    ::close(terminal);
    EXPECT_EQ(finish(pid).status, 0);
    // The cells of each stretch that a return goes back over (not the
    // lines that stay, the piece lines and the summary): ASCII one, anything
    // else (here Japanese) two; the screen's last column stays free.
    int width = 0, widest = 0;
    for (std::size_t i = 0; i < shown.size();) {
      const auto c = static_cast<unsigned char>(shown[i++]);
      if (c == '\r' || c == '\n') {
        if (c == '\r' && (i == shown.size() || shown[i] != '\n')) widest = std::max(widest, width);
        width = 0;
      } else if (c == 0x1B) {
        while (i < shown.size() && !std::isalpha(static_cast<unsigned char>(shown[i]))) ++i;
        ++i;
      } else {
        width += c < 0x80 ? 1 : 2;
        while (i < shown.size() && (static_cast<unsigned char>(shown[i]) & 0xC0) == 0x80) ++i;
      }
    }
    EXPECT_LT(widest, columns) << shown;
    EXPECT_EQ(shown.find("\x1b[31m"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("odd\r\n"), std::string::npos) << shown;
    if (command[1] == "cut") {
      EXPECT_NE(shown.find("% " + std::string(msg::kMakingFirstSong).substr(0, 1)), std::string::npos) << shown;
    }
    }
  }
}

// A click in a gap keeps two songs together unless it is tolerated; a short
// song joins the one before it; with both at 0 the files are as without.
TEST_F(Cli, ClicksAndShortSongs) {
  const Bytes loud = test::Repeat16(4000, 900, 1), quiet = test::Repeat16(1, 240, 1);
  const Bytes click = test::Repeat16(9000, 3, 1), shortSong = test::Repeat16(4000, 400, 1);
  const std::string src = wav("tape.wav", 1, 22050, 16,
                              test::Concat({loud, quiet, click, quiet, loud, quiet, quiet, shortSong}));
  auto cut = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"cut", src, "--out", test::EmptyFolder(dir / "o"), "--run", "300"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 0) << o.err;
    return test::PieceFiles(dir / "o");
  };
  const std::vector<Bytes> plain = cut({});
  EXPECT_EQ(plain.size(), 2u);  // the click breaks the first gap
  // ... and the summary says where, and what would cut there.
  const Outcome told = run({"cut", src, "--out", dir.path(), "--run", "300", "--dry-run"});
  EXPECT_NE(told.err.find(format(msg::kShortSoundBroke, "0:00:00.051")), std::string::npos) << told.err;
  EXPECT_EQ(cut({"--ignore-clicks", "0", "--min-song", "0"}), plain);
  const std::vector<Bytes> tolerant = cut({"--ignore-clicks", "3"});
  ASSERT_EQ(tolerant.size(), 3u);
  EXPECT_EQ(cut({"--ignore-clicks", "0.14ms"}), tolerant);  // 3 frames at 22050 Hz
  EXPECT_EQ(cut({"--ignore-clicks", "2"}), plain);
  // The short last song (its 400 frames from its block on) joins the one before.
  const std::vector<Bytes> merged = cut({"--ignore-clicks", "3", "--min-song", "0.05"});
  ASSERT_EQ(merged.size(), 2u);
  EXPECT_EQ(merged[0], tolerant[0]);
  EXPECT_EQ(test::DataOf(merged[1]), test::Concat({test::DataOf(tolerant[1]), test::DataOf(tolerant[2])}));
  // Every piece merged into one: the summary tells the breaks it found, not
  // that there were none.
  const Outcome all = run({"cut", src, "--out", dir.path(), "--run", "300", "--dry-run", "--ignore-clicks", "3",
                           "--min-song", "1"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 1) << all.out;
  EXPECT_NE(all.err.find(format(msg::kBreaksMerged, "2", "1秒") + "\n"), std::string::npos) << all.err;
  const std::string noBreak(msg::kNoBreakFound.substr(0, msg::kNoBreakFound.find("。")));
  EXPECT_EQ(noBreak, msg::kNoBreakAfterQuiet.substr(0, noBreak.size()));
  EXPECT_EQ(all.err.find(noBreak), std::string::npos) << all.err;
}

}  // namespace
}  // namespace mv
