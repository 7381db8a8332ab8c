// The join list's intake and the join run.

#include <gtest/gtest.h>

#include "join/join.h"
#include "tests/support.h"
#include "wave/errors.h"

namespace mv {
namespace {

using test::Bytes;

struct ListStandIn : JoinIntake {
  int position = kDefaultFormatPosition;
  std::vector<std::string> entries;
  std::vector<std::string> asked;
  bool answer = true;
  int formatPosition() const override { return position; }
  void setFormatPosition(int p) override { position = p; }
  void append(const std::string& name) override { entries.push_back(name); }
  bool ask(const Message& q) override {
    asked.emplace_back(q.text);
    return answer;
  }
};

class Join : public ::testing::Test {
 protected:
  std::string wav(const std::string& name, int ch, int rate, int bits, const Bytes& data = {}) {
    test::WriteBytes(dir / name, test::MakeWav(ch, rate, bits, data));
    return dir / name;
  }
  static std::string errorOf(const std::function<void()>& f) { return test::ErrorOf(f); }
  test::TempDir dir;
  ListStandIn list;
  test::RecordingHost host;
};

TEST_F(Join, BatchWithADifferentThirdFileBringsTheQuestion) {
  const std::vector<std::string> batch = {wav("a.wav", 2, 44100, 16), wav("b.wav", 2, 44100, 16),
                                          wav("c.wav", 1, 22050, 8)};
  EXPECT_EQ(AddJoinFiles(batch, list), IntakeEnd::AllAdded);
  EXPECT_EQ(list.asked, std::vector<std::string>{std::string(msg::kDifferentFormat)});
  EXPECT_EQ(list.entries, batch);
  EXPECT_EQ(list.position, 21);

  ListStandIn no;
  no.answer = false;
  EXPECT_EQ(AddJoinFiles(batch, no), IntakeEnd::Declined);
  EXPECT_EQ(no.entries, (std::vector<std::string>{batch[0], batch[1]}));
  EXPECT_EQ(no.position, 1);
}

TEST_F(Join, FirstNameSetsTheFormatAndTheSecondIsCompared) {
  list.position = 1;
  list.entries = {"earlier.wav"};
  EXPECT_EQ(AddJoinFiles({wav("m.wav", 1, 22050, 8)}, list), IntakeEnd::AllAdded);
  EXPECT_EQ(list.position, 21);
  EXPECT_TRUE(list.asked.empty());
  // Two files of different formats: the second is asked about.
  AddJoinFiles({wav("x.wav", 2, 44100, 16), wav("y.wav", 2, 48000, 16)}, list);
  EXPECT_EQ(list.asked.size(), 1u);
  EXPECT_EQ(list.position, 0);
  // A headerless first name leaves the selector to the second.
  list.asked.clear();
  list.position = 5;
  test::WriteBytes(dir / "a.raw", Bytes(8, 1));
  AddJoinFiles({dir / "a.raw", wav("z.wav", 2, 44100, 16)}, list);
  EXPECT_EQ(list.asked.size(), 1u);
}

TEST_F(Join, RefusedFileStopsTheBatchThere) {
  const std::vector<std::string> batch = {wav("1.wav", 2, 44100, 16), wav("2.wav", 2, 44100, 16),
                                          wav("3.wav", 2, 8000, 16), wav("4.wav", 2, 44100, 16),
                                          wav("5.wav", 2, 44100, 16)};
  EXPECT_EQ(errorOf([&] { AddJoinFiles(batch, list); }), msg::kUnsupported);
  EXPECT_EQ(list.entries, (std::vector<std::string>{batch[0], batch[1]}));
  EXPECT_EQ(errorOf([&] { AddJoinFiles({dir / "missing.wav"}, list); }),
            "ファイル " + dir / "missing.wav" + " は開けません");
  // Other names are bare samples, read only to see that they exist and are
  // not encoded audio; a name may stand twice.
  EXPECT_EQ(errorOf([&] { AddJoinFiles({dir / "missing.raw"}, list); }),
            "ファイル " + dir / "missing.raw" + " は開けません");
  test::WriteBytes(dir / "x.txt", Bytes(8, 1));
  AddJoinFiles({dir / "x.txt", batch[0], batch[0]}, list);
  EXPECT_EQ(list.entries.size(), 5u);
}

TEST_F(Join, ThreeFilesOneAfterTheOther) {
  const Bytes a(1000, 1), c(2000, 3);
  JoinSettings s;
  s.sources = {wav("a.wav", 2, 44100, 16, a), wav("b.Wav", 2, 44100, 16), wav("c.WAV", 1, 8000, 8, c)};
  s.output = dir / "out.wav";
  EXPECT_EQ(RunJoin(s, host).end, JoinEnd::Complete);
  const Bytes out = test::ReadBytes(s.output);
  ASSERT_EQ(out.size(), 3044u);
  EXPECT_EQ(test::Get32(out, 4), 3036u);
  EXPECT_EQ(test::Get32(out, 40), 3000u);
  EXPECT_EQ(test::DataOf(out), test::Concat({a, c}));
  EXPECT_EQ(test::Get16(out, 22), 2);  // the label's format, not the sources'
  EXPECT_EQ(host.only("progress:"), (std::vector<std::string>{"33", "66", "100"}));
  EXPECT_EQ(host.only("status:")[0], s.sources[0] + std::string(msg::kJoining));
  EXPECT_EQ(host.events.back(), "inform:" + std::string(msg::kJoinDone));
}

TEST_F(Join, HeaderlessSourcesAreCopiedWhole) {
  const Bytes raw(70000, 9);  // more than one block
  test::WriteBytes(dir / "r.raw", raw);
  test::WriteBytes(dir / "r", {1, 2});
  JoinSettings s;
  s.sources = {dir / "r.raw", dir / "r"};
  s.output = dir / "out.wav";
  s.format = ParseFormatLabel(kJoinLabels[6]);
  RunJoin(s, host);
  const Bytes out = test::ReadBytes(s.output);
  EXPECT_EQ(test::DataOf(out), test::Concat({raw, Bytes{1, 2}}));
  EXPECT_EQ(test::Get16(out, 22), 1);
  EXPECT_EQ(test::Get32(out, 24), 48000u);
}

TEST_F(Join, NothingToDoWithoutListOrName) {
  JoinSettings s;
  s.output = dir / "out.wav";
  EXPECT_EQ(RunJoin(s, host).end, JoinEnd::NothingToDo);
  s.sources = {wav("a.wav", 2, 44100, 16)};
  s.output.clear();
  EXPECT_EQ(RunJoin(s, host).end, JoinEnd::NothingToDo);
  EXPECT_TRUE(host.events.empty());
}

TEST_F(Join, OutputAmongTheSourcesIsRefusedBeforeItIsCreated) {
  JoinSettings s;
  s.sources = {wav("a.wav", 2, 44100, 16, Bytes(8, 1)), wav("b.wav", 2, 44100, 16)};
  const Bytes before = test::ReadBytes(s.sources[1]);
  for (std::string spelt : {dir / "b.wav", dir.path() + "//./b.wav"}) {
    s.output = spelt;
    EXPECT_EQ(errorOf([&] { RunJoin(s, host); }), msg::kJoinOutputIsSource);
  }
  EXPECT_EQ(test::ReadBytes(s.sources[1]), before);
  EXPECT_TRUE(host.events.empty());
  // A name that reaches no file is no source, whatever its spelling: every
  // source is opened before the output is made.
  s.sources.push_back(dir / "later.wav");
  s.output = dir / "later.wav";
  EXPECT_EQ(errorOf([&] { RunJoin(s, host); }), "ファイル " + dir / "later.wav" + " は開けません");
  EXPECT_FALSE(test::Exists(dir / "later.wav"));
}

// After a cancel they stay (see the cancel at every point).
TEST_F(Join, DeletesSourcesAfterAFinishedRun) {
  JoinSettings s;
  s.sources = {wav("a.wav", 2, 44100, 16, Bytes(8, 1)), wav("b.wav", 2, 44100, 16, Bytes(8, 2)),
               wav("c.wav", 2, 44100, 16, Bytes(8, 3))};
  s.output = dir / "out.wav";
  s.deleteSources = true;
  const JoinResult done = RunJoin(s, host);
  EXPECT_TRUE(done.sourcesDeleted);
  for (const auto& src : s.sources) EXPECT_FALSE(test::Exists(src));
  EXPECT_EQ(test::DataOf(test::ReadBytes(s.output)).size(), 24u);
}

TEST_F(Join, FailuresLeaveAValidOutputAndTheSources) {
  JoinSettings s;
  s.output = dir / "out.wav";
  s.deleteSources = true;
  // An unsupported second source, or one that is not there, is found before
  // the output is made.
  Bytes bad = test::MakeWav(2, 44100, 16, Bytes(4, 0));
  std::copy_n("LIST", 4, bad.begin() + 36);
  test::WriteBytes(dir / "bad.wav", bad);
  s.sources = {wav("a.wav", 2, 44100, 16, Bytes(8, 1)), dir / "bad.wav"};
  EXPECT_EQ(errorOf([&] { RunJoin(s, host); }), "サポートできない形式です。");
  s.sources[1] = dir / "none.raw";
  EXPECT_EQ(errorOf([&] { RunJoin(s, host); }), "ファイル " + dir / "none.raw" + " は開けません");
  EXPECT_FALSE(test::Exists(s.output));
  EXPECT_TRUE(test::Exists(s.sources[0]));
  EXPECT_EQ(host.events.back(), "end");

  // A source that ends before its declared data: whole blocks only.
  Bytes shortSrc = test::MakeWav(2, 44100, 16, Bytes(70000, 5));
  test::Set32(shortSrc, 40, 131072);
  test::WriteBytes(dir / "short.wav", shortSrc);
  s.sources = {dir / "short.wav"};
  EXPECT_EQ(errorOf([&] { RunJoin(s, host); }), msg::kReadError);
  EXPECT_EQ(test::DataOf(test::ReadBytes(s.output)).size(), 61440u);
  EXPECT_TRUE(test::IsFinishedWave(s.output));

  s.sources = {dir / "a.wav"};
  s.output = dir / "no/out.wav";
  EXPECT_EQ(errorOf([&] { RunJoin(s, host); }), format(msg::kCannotCreate, dir / "no/out.wav"));
}

}  // namespace
}  // namespace mv
