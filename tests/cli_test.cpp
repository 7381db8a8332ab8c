// morvane-cli as a script runs it: options, exit statuses, messages, and the
// files it writes, read back field by field.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support.h"
#include "wave/errors.h"

namespace mv {
namespace {

using test::Bytes;

struct Outcome {
  int status = -1;
  std::string out, err;
};

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class Cli : public ::testing::Test {
 protected:
  Outcome run(const std::vector<std::string>& args) {
    const char* cli = std::getenv("MORVANE_CLI");
    std::string cmd = quote(cli ? cli : "morvane-cli");
    for (const auto& a : args) cmd += " " + quote(a);
    cmd += " >" + quote(dir / ".out") + " 2>" + quote(dir / ".err") + " </dev/null";
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / ".out"), slurp(dir / ".err")};
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

TEST_F(Cli, VersionHelpAndUsageErrors) {
  Outcome o = run({"--version"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "Morvane ver 0.8\n");
  EXPECT_EQ(run({"--help"}).status, 0);
  EXPECT_EQ(run({"cut", "--help"}).status, 0);
  EXPECT_EQ(run({}).status, 2);
  EXPECT_EQ(run({"frobnicate"}).status, 2);
  EXPECT_EQ(run({"cut", "x.raw"}).status, 2);  // no --out
  EXPECT_EQ(run({"cut", "x.raw", "--out", dir.path(), "--threshold", "abc"}).status, 2);
  EXPECT_EQ(run({"cut", "x.raw", "--out", dir.path(), "--threshold", "65537"}).status, 2);
  EXPECT_EQ(run({"cut", "x.raw", "--out", dir.path(), "--run", "441001"}).status, 2);
  EXPECT_EQ(run({"cut", "x.raw", "--out", dir.path(), "--zero", "1"}).status, 2);
  EXPECT_EQ(run({"cut", "x.raw", "--out", dir.path(), "--zero", "a,1"}).status, 2);
  EXPECT_EQ(run({"split", "x.raw", "--out", dir.path(), "--length", "216:00:00"}).status, 2);
  EXPECT_EQ(run({"split", "x.raw", "--out", dir.path(), "--length", "1:60:00"}).status, 2);
  EXPECT_EQ(run({"split", "x.raw", "--out", dir.path(), "--format", "16bit, Mono, 96kHz"}).status, 2);
  EXPECT_FALSE(test::Exists(dir / "mv000001.wav"));
}

TEST_F(Cli, CutTakesTheFormatOfAWaveSourceAndListsItsFiles) {
  const std::string src = wav("tape.wav", 1, 22050, 16, songs());
  Outcome o = run({"cut", src, "--out", dir.path(), "--run", "200"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "mv000001.wav  844 bytes\nmv000002.wav  944 bytes\n");
  EXPECT_EQ(o.err, std::string(msg::kCutDone) + "\n");
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
  EXPECT_EQ(o.err, std::string(msg::kOverwritePieces) + "\n");
  EXPECT_FALSE(test::Exists(dir / "mv000001.wav"));
  o = run({"cut", src, "--out", dir.path(), "--yes"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(test::ReadBytes(dir / "mv000007.wav"), (Bytes{1, 2}));
}

TEST_F(Cli, RefusalsAndErrorsWriteNothing) {
  const std::string src = wav("tape.wav", 2, 44100, 16, songs());
  Outcome o = run({"split", src, "--out", dir.path(), "--length", "0:00:00"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kZeroPieceLength) + "\n");
  o = run({"cut", src, "--out", dir.path(), "--run", "0"});
  EXPECT_EQ(o.err, std::string(msg::kZeroRunLength) + "\n");
  o = run({"cut", src, "--out", dir.path(), "--zero", "40000,0"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kRangeError) + ".\n");
  o = run({"cut", src, "--out", dir.path(), "--zero", "0,-99999999999"});
  EXPECT_EQ(o.err, std::string(msg::kRangeError) + ".\n");
  EXPECT_FALSE(test::Exists(dir / "mv000001.wav"));
  o = run({"cut", src, "--out", dir / "missing"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, format(msg::kCannotCreate, dir / "missing/mv000001.wav") + ".\n");
  test::WriteBytes(dir / "bad.wav", Bytes(60, 0));
  o = run({"cut", dir / "bad.wav", "--out", dir.path()});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kUnsupported) + "\n");
  // The source intake comes first: a missing .wav is reported before D2.
  o = run({"cut", dir / "none.wav", "--out", dir.path(), "--run", "0"});
  EXPECT_EQ(o.err, format(msg::kCannotOpen, dir / "none.wav") + ".\n");
}

TEST_F(Cli, NegativeZeroPointsCorrectTheCut) {
  test::WriteBytes(dir / "t.raw", test::Repeat16(10, 4, 2));
  Outcome o = run({"cut", dir / "t.raw", "--out", dir.path(), "--zero", "-5,3"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(test::DataOf(test::ReadBytes(dir / "mv000001.wav")),
            test::Concat({test::Frames16({15}, 1), test::Frames16({7}, 1), test::Frames16({15}, 1),
                          test::Frames16({7}, 1), test::Frames16({15}, 1), test::Frames16({7}, 1),
                          test::Frames16({15}, 1), test::Frames16({7}, 1)}));
}

TEST_F(Cli, JoinAsksAboutADifferentFormatAndWritesNothingOnNo) {
  const std::string a = wav("a.wav", 2, 44100, 16, Bytes(400, 1));
  const std::string b = wav("b.wav", 1, 22050, 8, Bytes(100, 2));
  const std::string out = dir / "joined.wav";
  Outcome o = run({"join", "--out", out, a, b});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kDifferentFormat) + "\n");
  EXPECT_FALSE(test::Exists(out));

  o = run({"join", "--out", out, "--yes", a, b});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, out + "  544 bytes\n");
  const Bytes j = test::ReadBytes(out);
  EXPECT_EQ(test::Get16(j, 22), 1);  // the format last accepted
  EXPECT_EQ(test::Get32(j, 24), 22050u);
  EXPECT_EQ(test::DataOf(j), test::Concat({Bytes(400, 1), Bytes(100, 2)}));

  o = run({"join", "--out", out, "--format", "16bit, Stereo, 48kHz", a, dir / "x.raw"});
  EXPECT_EQ(o.status, 1);  // x.raw cannot be opened
  EXPECT_NE(o.err.find(format(msg::kCannotOpen, dir / "x.raw")), std::string::npos);
}

TEST_F(Cli, JoinIntakeRefusalWritesNothing) {
  const std::string a = wav("a.wav", 2, 44100, 16, Bytes(4, 1));
  const std::string bad = wav("b.wav", 2, 8000, 16, Bytes(4, 1));
  Outcome o = run({"join", "--out", dir / "j.wav", a, bad, a});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kUnsupported) + "\n");
  EXPECT_FALSE(test::Exists(dir / "j.wav"));
  o = run({"join", "--out", a, a});
  EXPECT_EQ(o.err, std::string(msg::kJoinOutputIsSource) + "\n");
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
  Outcome o = run({"info", m});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "position: 21\nlabel: 8bit, Mono, 22kHz\n");
  o = run({"measure", m});
  EXPECT_EQ(o.out, "zero-point: 4 0\nmaximum: 12 0\nminimum: 1 0\nthreshold: 9\n");
  // Read as 16-bit mono instead: two frames.
  o = run({"measure", m, "--format", "16bit, Mono, 22kHz"});
  EXPECT_EQ(o.out.substr(0, 12), "zero-point: ");
  const std::string e = wav("e.wav", 2, 44100, 16, Bytes{1, 2, 3});
  o = run({"measure", e});
  EXPECT_EQ(o.out, "zero-point: 0 0\nmaximum: 0 0\nminimum: 0 0\n");
  test::WriteBytes(dir / "tag3.wav", test::MakeWav(2, 44100, 16, {}, 3));
  o = run({"info", dir / "tag3.wav"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kUnsupported) + "\n");
}

TEST_F(Cli, SourceOfTwoGibibytesIsRefused) {
  test::WriteBytes(dir / "big.raw", {});
  ASSERT_EQ(::truncate((dir / "big.raw").c_str(), int64_t{1} << 31), 0);
  Outcome o = run({"split", dir / "big.raw", "--out", dir.path()});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, std::string(msg::kRangeError) + ".\n");
  EXPECT_FALSE(test::Exists(dir / "mv000001.wav"));
}

TEST_F(Cli, InterruptCancelsAtABlockAndLeavesValidFiles) {
  // One frame a block: a long run of tiny blocks, so the signal lands mid-run.
  test::WriteBytes(dir / "long.raw", test::Repeat16(3000, 2000000, 2));
  const char* cli = std::getenv("MORVANE_CLI");
  pid_t pid = ::fork();
  if (pid == 0) {
    ::freopen((dir / ".out").c_str(), "w", stdout);
    ::freopen((dir / ".err").c_str(), "w", stderr);
    ::execl(cli, cli, "cut", (dir / "long.raw").c_str(), "--out", dir.path().c_str(), "--run", "1",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::usleep(300 * 1000);
  ::kill(pid, SIGINT);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 130);
  EXPECT_EQ(slurp(dir / ".err"), "");
  EXPECT_TRUE(test::IsFinishedWave(dir / "mv000001.wav"));
  EXPECT_LT(test::ReadBytes(dir / "mv000001.wav").size(), 8000044u);
  EXPECT_EQ(slurp(dir / ".out").rfind("mv000001.wav  ", 0), 0u);
}

}  // namespace
}  // namespace mv
