// Faults from outside: writes that fail part-way, folders and sources that
// change under a run, sources that are no files, odd sizes, files at the 2 GiB
// edge, and a cancel at every point. Every file left behind must be a valid
// WAVE file whose header matches its bytes, and the source must be unchanged.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "cut/cut.h"
#include "cut/wave_sink.h"
#include "join/join.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {
namespace {

using test::Bytes;
namespace fs = std::filesystem;

// Runs f in a child process whose files may not grow past limit bytes (and
// that ignores SIGXFSZ, so that the write fails instead); gives the message.
std::string UnderFileSizeLimit(rlim_t limit, const std::function<void()>& f) {
  int fds[2];
  if (::pipe(fds) != 0) return "(no pipe)";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit r{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &r);
    const std::string text = test::ErrorOf(f);
    (void)!::write(fds[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buf[256];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return text;
}

// Every WAVE file in the folder is finished; gives their data by name.
std::map<std::string, Bytes> LeftBehind(const std::string& folder) {
  std::map<std::string, Bytes> out;
  for (const std::string& name : test::FileNames(folder)) {
    if (!name.starts_with("mv") && name != "out.wav") continue;
    const std::string path = folder + "/" + name;
    EXPECT_TRUE(test::IsFinishedWave(path)) << name;
    out[name] = test::DataOf(test::ReadBytes(path));
  }
  return out;
}

bool IsPrefix(const Bytes& part, const Bytes& whole, std::size_t at = 0) {
  return at + part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin() + static_cast<long>(at));
}

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    host.answer = true;
    out = test::EmptyFolder(dir / "out");
    s.saveFolder = out;
    s.source = dir / "tape.raw";
    s.runLength = 1000;
  }
  // Songs of 3000 loud frames parted by 1500 quiet ones.
  Bytes tape(int songs) const {
    Bytes b;
    for (int i = 0; i < songs; ++i) {
      b = test::Concat({b, test::Repeat16(static_cast<int16_t>(3000 + i), 3000, 2)});
      if (i + 1 < songs) b = test::Concat({b, test::Repeat16(0, 1500, 2)});
    }
    return b;
  }
  // The source: songs of `first`, 600 and 3000 loud frames, the second one
  // shorter than the shortest song the cut is set to.
  Bytes shortSecondSong(int first) {
    const Bytes data = test::Concat({test::Repeat16(3000, first, 2), test::Repeat16(0, 1500, 2),
                                     test::Repeat16(3001, 600, 2), test::Repeat16(0, 1100, 2),
                                     test::Repeat16(3002, 3000, 2)});
    test::WriteBytes(s.source, data);
    s.format = ParseFormatLabel("16bit, Stereo, 5kHz");
    s.minSongSeconds = 0.5;  // 10000 bytes
    return data;
  }
  test::TempDir dir;
  std::string out;
  CutSettings s;
  test::RecordingHost host;
};

TEST_F(Faults, WriteFailingPartWayLeavesValidFiles) {
  const Bytes data = tape(3);
  test::WriteBytes(s.source, data);
  for (bool silence : {true, false}) {
    SCOPED_TRACE(silence);
    s.mode = silence ? CutMode::AtSilences : CutMode::EqualLengths;
    s.pieceLength = {0, 0, 1};
    s.format = ParseFormatLabel("16bit, Stereo, 5kHz");  // 20000-byte pieces
    test::EmptyFolder(out);
    EXPECT_EQ(UnderFileSizeLimit(10000, [&] { RunCut(s, host); }), msg::kWriteError);
    const auto left = LeftBehind(out);
    ASSERT_FALSE(left.empty());
    std::size_t at = 0;
    for (const auto& [name, bytes] : left) {
      EXPECT_TRUE(IsPrefix(bytes, data, at)) << name;
      at += bytes.size();
    }
  }
  EXPECT_EQ(test::ReadBytes(s.source), data);

  JoinSettings j;
  j.sources = {s.source, s.source};
  j.output = out + "/out.wav";
  EXPECT_EQ(UnderFileSizeLimit(70000, [&] { RunJoin(j, host); }), msg::kWriteError);
  const Bytes joined = LeftBehind(out)["out.wav"];
  EXPECT_EQ(joined.size(), 70000u - 44);  // all that could be written
  EXPECT_TRUE(IsPrefix(joined, test::Concat({data, data})));
}

// The write fails as a short song is moved into the file before it: both
// files stay, valid, and the host is told of both, in order; no audio is lost
// between them.
TEST_F(Faults, WriteFailingAsAShortSongJoinsTheOneBefore) {
  const Bytes data = shortSecondSong(3000);
  const std::string told = dir / "told";
  // The first song's file is under 20000 bytes, the two together are not.
  EXPECT_EQ(UnderFileSizeLimit(20000,
                               [&] {
                                 try {
                                   RunCut(s, host);
                                 } catch (...) {
                                   std::string names;
                                   for (const auto& f : host.files) names += f.substr(f.rfind('/') + 1) + "\n";
                                   test::WriteBytes(told, Bytes(names.begin(), names.end()));
                                   throw;
                                 }
                               }),
            msg::kWriteError);
  const auto left = LeftBehind(out);
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(test::ReadText(told), "mv000001.wav\nmv000002.wav\n");
  // The short song's sound stays in its own file alone.
  const Bytes& first = left.at("mv000001.wav");
  const Bytes& second = left.at("mv000002.wav");
  EXPECT_TRUE(IsPrefix(first, data));
  EXPECT_TRUE(IsPrefix(second, data, first.size()));
}

// WAVE pieces written on the sink's worker against the same calls to a
// writer on the cut's own thread: a write that fails part-way through a long
// piece, a piece whose name a folder holds, a stop half way. The same error,
// raised among the same piece's calls and soon after the failure (no later
// than a queue's bytes on), the same files told of in the same order on the
// cut's thread, the same bytes on disk.
TEST_F(Faults, PiecesWrittenOnAWorkerEndAsOnTheCutsThread) {
  struct Case {
    const char* name;
    rlim_t limit;
    int folderAt, stopIn;
  };
  const Case cases[] = {{"whole", RLIM_INFINITY, 0, 0},
                        {"write_fails", 3 << 20, 0, 0},
                        {"folder_at_2", RLIM_INFINITY, 2, 0},
                        {"stopped_in_2", RLIM_INFINITY, 0, 2}};
  const std::size_t pieces[] = {200000, 8 << 20, 300000};
  constexpr std::size_t kQueue = 1 << 20, kChunk = 65536;
  Bytes bytes(pieces[0] + pieces[1] + pieces[2]);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  const PcmFormat format = ParseFormatLabel("16bit, Stereo, 44kHz");
  const OutputHeader header(format, std::nullopt);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string outcome[2], error[2];
    std::size_t handed[2] = {0, 0};
    for (const bool onWorker : {false, true}) {
      const std::string folder = test::EmptyFolder(dir / (std::string(c.name) + (onWorker ? "_sink" : "_writer")));
      if (c.folderAt > 0) fs::create_directory(PieceName(folder, c.folderAt, ".wav"));
      // In the child: the piece whose call raised, the bytes handed over in
      // it, and the files told of, in order.
      const std::string log = folder + ".log";
      error[onWorker] = UnderFileSizeLimit(c.limit, [&] {
        const std::thread::id cutThread = std::this_thread::get_id();
        std::string told;
        int piece = 0;
        std::size_t inPiece = 0;
        auto closed = [&](const std::string& path, int64_t size) {
          if (std::this_thread::get_id() != cutThread) told += "(not on the cut's thread) ";
          told += fs::path(path).filename().string() + " " + std::to_string(size) + "\n";
        };
        std::function<void(int)> start;
        std::function<void(const uint8_t*, std::size_t)> write;
        std::function<void()> finish, stop;
        std::unique_ptr<PieceSink> sink;
        WaveWriter writer(closed, {});
        if (onWorker) {
          sink = std::make_unique<WaveSink>(PieceOutputs(folder, {}, ".wav"), header, closed, OutputRules{}, kQueue);
          start = [&](int n) { sink->start(n); };
          write = [&](const uint8_t* p, std::size_t n) { sink->write(p, n); };
          finish = [&] { sink->finish(); };
          stop = [&] { sink->abandon(); };
        } else {
          start = [&](int n) { writer.create(PieceName(folder, n, ".wav"), header); };
          write = [&](const uint8_t* p, std::size_t n) { writer.append(p, n); };
          finish = [&] { writer.finish(); };
          stop = [&] { writer.abandon(); };
        }
        try {
          std::size_t at = 0;
          for (piece = 1; piece <= 3; ++piece) {
            const std::size_t end = at + pieces[piece - 1];
            inPiece = 0;
            start(piece);
            const std::size_t until = piece == c.stopIn ? at + (end - at) / 2 : end;
            for (; at < until; at += std::min(kChunk, until - at), inPiece += kChunk)
              write(bytes.data() + at, std::min(kChunk, until - at));
            if (piece == c.stopIn) {
              stop();
              break;
            }
            at = end;
            finish();
          }
          if (sink) sink->close();
        } catch (...) {
          sink.reset();
          writer.abandon();
          const std::string where = std::to_string(piece) + " " + std::to_string(inPiece) + "\n";
          test::WriteBytes(log, Bytes(where.begin(), where.end()));
          test::WriteBytes(log + ".told", Bytes(told.begin(), told.end()));
          throw;
        }
        sink.reset();
        test::WriteBytes(log, Bytes{'-', ' ', '0', '\n'});
        test::WriteBytes(log + ".told", Bytes(told.begin(), told.end()));
      });
      if (const auto at = error[onWorker].find(folder); at != std::string::npos)
        error[onWorker].replace(at, folder.size(), "DIR");
      std::string where = test::ReadText(log);
      handed[onWorker] = std::stoul(where.substr(where.find(' ') + 1));
      outcome[onWorker] = where.substr(0, where.find(' ')) + " | " + test::ReadText(log + ".told");
      for (const std::string& name : test::FileNames(folder))
        if (fs::is_regular_file(folder + "/" + name))
          outcome[onWorker] += name + " " + std::to_string(std::hash<std::string>{}(
                                                   test::ReadText(folder + "/" + name))) + "\n";
    }
    EXPECT_EQ(error[1], error[0]);
    EXPECT_EQ(outcome[1], outcome[0]);
    EXPECT_LE(handed[1], handed[0] + kQueue + kChunk);
    if (c.limit != RLIM_INFINITY) {
      EXPECT_EQ(error[0], msg::kWriteError);
    }
    if (c.folderAt > 0) {
      EXPECT_NE(error[0].find("DIR/mv000002.wav"), std::string::npos) << error[0];
    }
  }
}

TEST_F(Faults, SaveFolderThatGoesAwayDuringACut) {
  const Bytes data = tape(3);
  test::WriteBytes(s.source, data);
  // Moved away as the second song is found: the first stays finished, the
  // second cannot be created.
  host.onPump = [&] {
    if (host.count("status:") == 2 && fs::exists(out)) fs::rename(out, dir / "moved");
  };
  EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), format(msg::kCannotCreate, out + "/mv000002.wav"));
  const auto left = LeftBehind(dir / "moved");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(IsPrefix(left.begin()->second, data));
  EXPECT_EQ(test::ReadBytes(s.source), data);
  EXPECT_EQ(host.events.back(), "end");
}

// The short song's own file cannot go once its sound is in the file before
// it: the run says so, and both files stay, whole and told of in order.
TEST_F(Faults, ShortSongFileThatCannotBeDeleted) {
  const Bytes data = shortSecondSong(4000);
  // No new name and no removal in the save folder once the second file is
  // there: an immutable folder, which even root cannot change.
  const int folder = ::open(out.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  auto setImmutable = [&](bool on) {
    int flags = 0;
    if (::ioctl(folder, FS_IOC_GETFLAGS, &flags) != 0) return false;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    return ::ioctl(folder, FS_IOC_SETFLAGS, &flags) == 0;
  };
  if (!setImmutable(true) || !setImmutable(false)) {
    ::close(folder);
    GTEST_SKIP() << "this file system or user cannot make a folder immutable";
  }
  host.onPump = [&] {
    if (fs::exists(out + "/mv000002.wav")) setImmutable(true);
  };
  const std::string error = test::ErrorOf([&] { RunCut(s, host); });
  setImmutable(false);
  ::close(folder);
  EXPECT_EQ(error, format(msg::kCannotDelete, out + "/mv000002.wav"));
  EXPECT_EQ(host.files, (std::vector<std::string>{out + "/mv000001.wav", out + "/mv000002.wav"}));
  const auto left = LeftBehind(out);
  ASSERT_EQ(left.size(), 2u);
  // Its sound is in its own file alone; the first ends as it was.
  const std::size_t firstSong = (4000 + 1000) * 4, secondSong = 2000 * 4;
  EXPECT_EQ(left.at("mv000001.wav"), Bytes(data.begin(), data.begin() + firstSong));
  EXPECT_EQ(left.at("mv000002.wav"), Bytes(data.begin() + firstSong, data.begin() + firstSong + secondSong));
  EXPECT_EQ(host.events.back(), "end");
}

TEST_F(Faults, SourceThatShrinksDuringACut) {
  // Longer than one read, so that it shrinks between two reads.
  const Bytes data = test::Repeat16(3000, 300000, 2);
  test::WriteBytes(s.source, data);
  host.onPump = [&] {
    if (host.pumps == 3) {
      ASSERT_EQ(::truncate(s.source.c_str(), 10000), 0);
    }
  };
  EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), msg::kReadError);
  const auto left = LeftBehind(out);
  ASSERT_EQ(left.size(), 1u);
  // It shrank while the first read part (256 KiB) was tested: the whole
  // blocks of that part are in the song; of the block under way, whose end
  // can no longer be read, nothing after what had gone out before.
  const Bytes& song = left.begin()->second;
  EXPECT_TRUE(IsPrefix(song, data));
  EXPECT_GE(song.size(), 65 * 4000u);
  EXPECT_LT(song.size(), 256u << 10);
}

TEST_F(Faults, SourcesThatAreNoFiles) {
  ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  fs::create_directory(dir / "folder.raw");
  for (const std::string& source : {dir / "pipe.wav", dir / "folder.raw", dir / "pipe.wav/x"}) {
    SCOPED_TRACE(source);
    s.source = source;
    EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), format(msg::kCannotOpen, source));
    EXPECT_TRUE(LeftBehind(out).empty());
    JoinSettings j;
    j.sources = {source};
    j.output = out + "/out.wav";
    EXPECT_EQ(test::ErrorOf([&] { RunJoin(j, host); }), "ファイル " + source + " は開けません");
    EXPECT_FALSE(test::Exists(out + "/out.wav"));  // sources are opened first
  }
  // Nor can the output be one.
  JoinSettings j;
  j.sources = {dir / "real.raw"};
  test::WriteBytes(j.sources[0], Bytes(8, 1));
  j.output = dir / "pipe.wav";
  EXPECT_EQ(test::ErrorOf([&] { RunJoin(j, host); }), format(msg::kCannotCreate, j.output));
}

TEST_F(Faults, OddSizeFields) {
  s.source = dir / "odd.wav";
  const Bytes data = tape(1);
  struct Case {
    std::size_t at;  // offset of the 32-bit field
    uint32_t value;
    std::string error;  // empty: cut as usual
    std::size_t dataBytes;
  } cases[] = {
      {4, 0, "", data.size()},                       // RIFF size is not looked at
      {4, 0xFFFFFFFF, "", data.size()},
      {40, 0, "", 0},                                // nothing declared, nothing cut
      {40, 0xFFFFFFFF, std::string(msg::kRangeError), 0},  // beyond 2 GiB
      {40, static_cast<uint32_t>(data.size() + 1000), std::string(msg::kReadError), 0},
      {16, 0, "", data.size()},                      // "data" is still on the word grid
      {16, 0xFFFFFFFF, std::string(msg::kUnsupported), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.at << "=" << c.value);
    Bytes file = test::MakeWav(2, 44100, 16, data);
    test::Set32(file, c.at, c.value);
    test::WriteBytes(s.source, file);
    test::EmptyFolder(out);
    EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), c.error.empty() ? "(no error)" : c.error);
    const auto left = LeftBehind(out);
    if (c.error.empty()) {
      ASSERT_EQ(left.size(), 1u);
      EXPECT_EQ(left.begin()->second.size(), c.dataBytes);
    } else if (c.error != msg::kReadError) {
      EXPECT_TRUE(left.empty());
    }
    EXPECT_EQ(test::ReadBytes(s.source), file);
  }
}

TEST_F(Faults, FilesAtTheTwoGibibyteEdge) {
  constexpr int64_t kTwoGiB = int64_t{1} << 31;
  // A WAVE file of 2 GiB - 1 whose header declares a little data is cut.
  s.source = dir / "big.wav";
  test::WriteBytes(s.source, test::MakeWav(2, 44100, 16, Bytes(4000, 0)));
  ASSERT_EQ(::truncate(s.source.c_str(), kTwoGiB - 1), 0);
  EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), "(no error)");
  EXPECT_EQ(LeftBehind(out)["mv000001.wav"].size(), 4000u);
  ASSERT_EQ(::truncate(s.source.c_str(), kTwoGiB), 0);
  test::EmptyFolder(out);
  EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), msg::kRangeError);
  EXPECT_TRUE(LeftBehind(out).empty());

  // Joined, 2 GiB - 1 of data would not fit behind a header: refused before
  // a byte of it is copied.
  test::WriteBytes(dir / "big.raw", {});
  ASSERT_EQ(::truncate((dir / "big.raw").c_str(), kTwoGiB - 1), 0);
  JoinSettings j;
  j.sources = {dir / "big.raw"};
  j.output = out + "/out.wav";
  EXPECT_EQ(test::ErrorOf([&] { RunJoin(j, host); }), msg::kOverflow);
  EXPECT_TRUE(LeftBehind(out)["out.wav"].empty());
  ASSERT_EQ(::truncate((dir / "big.raw").c_str(), kTwoGiB), 0);
  EXPECT_EQ(test::ErrorOf([&] { RunJoin(j, host); }), msg::kRangeError);
  s.source = dir / "big.raw";
  test::EmptyFolder(out);
  EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), msg::kRangeError);
  EXPECT_TRUE(LeftBehind(out).empty());

  // Cut, a raw 2 GiB - 1 is taken; here the disk "fills" after 5 MB.
  ASSERT_EQ(::truncate((dir / "big.raw").c_str(), kTwoGiB - 1), 0);
  EXPECT_EQ(UnderFileSizeLimit(5 << 20, [&] { RunCut(s, host); }), msg::kWriteError);
  EXPECT_EQ(LeftBehind(out)["mv000001.wav"], Bytes((5 << 20) - 44, 0));
}

}  // namespace
}  // namespace mv
