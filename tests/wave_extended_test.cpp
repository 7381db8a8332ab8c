// Sources outside the 24 listed formats, made by sox and ffmpeg from one
// 16-bit song: the format check's label, and that the cut, the split, the
// dry run and the join take them. Every piece is read back by sox and the
// pieces together are the source's samples; the cut falls where the 16-bit
// cut of the same song falls.

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/commands.h"
#include "tests/files.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/layout.h"
#include "wave/messages.h"

namespace mv {
namespace {

using namespace std::string_literals;
using test::Bytes;
using test::Outcome;
using test::Quote;

// Loud, quiet, loud: the loud samples vary so that a piece out of order shows.
constexpr int kFrames = 30000;
constexpr int kQuietFrom = 12000, kQuietTo = 18000;
Bytes song16(int channels) {
  Bytes b;
  for (int i = 0; i < kFrames; ++i) {
    const bool loud = i < kQuietFrom || i >= kQuietTo;
    for (int c = 0; c < channels; ++c) {
      const int v = loud ? ((i * 37 + c * 11) % 8000 + 1000) * (i % 2 ? 1 : -1) : 1;
      test::Put16(b, static_cast<uint16_t>(v));
    }
  }
  return b;
}

struct Source {
  std::string name;
  int channels, rate;
  std::string tool;     // the maker
  std::string command;  // {in}: 16-bit raw samples; {out}: the file
  std::string label;    // what info says
  std::string file = "source.wav";
};

void PrintTo(const Source& row, std::ostream* os) { *os << row.name; }

const std::string kSox = "sox -t raw -e signed -b 16 ";
const std::string kFfmpeg = "ffmpeg -nostdin -loglevel error -y -f s16le ";

std::vector<Source> sources() {
  return {
      {"sox_24bit_stereo_96k", 2, 96000, "sox", kSox + "-r 96000 -c 2 {in} -b 24 {out}", "24bit, Stereo, 96kHz"},
      {"sox_24bit_mono_44k", 1, 44100, "sox", kSox + "-r 44100 -c 1 {in} -b 24 {out}", "24bit, Mono, 44.1kHz"},
      {"sox_32bit_stereo_48k", 2, 48000, "sox", kSox + "-r 48000 -c 2 {in} -b 32 {out}", "32bit, Stereo, 48kHz"},
      {"sox_float_stereo_44k", 2, 44100, "sox", kSox + "-r 44100 -c 2 {in} -e floating-point {out}",
       "32bit float, Stereo, 44.1kHz"},
      {"sox_double_mono_48k", 1, 48000, "sox", kSox + "-r 48000 -c 1 {in} -e floating-point -b 64 {out}",
       "64bit float, Mono, 48kHz"},
      {"sox_16bit_8k", 2, 8000, "sox", kSox + "-r 8000 -c 2 {in} {out}", "16bit, Stereo, 8kHz"},
      {"sox_16bit_mono_88k", 1, 88200, "sox", kSox + "-r 88200 -c 1 {in} {out}", "16bit, Mono, 88.2kHz"},
      {"sox_8bit_16k", 1, 16000, "sox", kSox + "-r 16000 -c 1 {in} -b 8 -e unsigned -D {out}", "8bit, Mono, 16kHz"},
      {"sox_22000hz", 2, 22000, "sox", kSox + "-r 22000 -c 2 {in} -b 24 {out}", "24bit, Stereo, 22000Hz"},
      {"sox_wave64", 2, 48000, "sox", kSox + "-r 48000 -c 2 {in} -b 24 -t w64 {out}", "24bit, Stereo, 48kHz"},
      {"ffmpeg_rf64_24bit", 2, 96000, "ffmpeg",
       kFfmpeg + "-ar 96000 -ac 2 -i {in} -c:a pcm_s24le -rf64 always -f wav {out}", "24bit, Stereo, 96kHz"},
      // RF64 whatever the samples: a listed format in it is read beyond the lists.
      {"ffmpeg_rf64_16bit", 2, 44100, "ffmpeg", kFfmpeg + "-ar 44100 -ac 2 -i {in} -rf64 always -f wav {out}",
       "16bit, Stereo, 44.1kHz"},
      {"ffmpeg_float_extensible", 2, 48000, "ffmpeg",
       kFfmpeg + "-ar 48000 -ac 2 -i {in} -c:a pcm_f32le -rf64 never -f wav {out}",
       "32bit float, Stereo, 48kHz"},
      // FLAC by its content: its pieces are FLAC of its depth and rate.
      {"sox_flac_16bit", 2, 44100, "sox", kSox + "-r 44100 -c 2 {in} {out}", "16bit, Stereo, 44.1kHz", "source.flac"},
      {"sox_flac_24bit_96k", 2, 96000, "sox", kSox + "-r 96000 -c 2 {in} -b 24 {out}", "24bit, Stereo, 96kHz",
       "source.flac"},
      {"sox_flac_named_wav", 1, 48000, "sox", kSox + "-r 48000 -c 1 {in} -t flac {out}", "16bit, Mono, 48kHz"},
  };
}

class Extended : public ::testing::TestWithParam<Source> {
 protected:
  Outcome run(const std::vector<std::string>& args) { return test::RunCli(args, dir.path()); }
  // The samples of a file as sox decodes them, in the file's own encoding,
  // or as 32-bit integers, which every integer width becomes exactly.
  Bytes decoded(const std::string& file, bool as32 = false) {
    const std::string raw = dir / "decoded.raw";
    // sox goes by the name, which says WAVE for Wave64 files too.
    const std::string head = test::ReadText(file).substr(0, 4);
    const std::string type = head == "riff" ? "-t w64 " : head == "fLaC" ? "-t flac " : "";
    const std::string cmd =
        "sox " + type + Quote(file) + " -t raw " + (as32 ? "-e signed -b 32 " : "") + Quote(raw);
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return test::ReadBytes(raw);
  }
  test::TempDir dir;
};

TEST_P(Extended, InfoCutSplitDryRunAndJoin) {
  const Source& row = GetParam();
  if (!test::HaveTool(row.tool) || !test::HaveTool("sox")) GTEST_SKIP() << row.tool << " and sox make and read these files";
  const std::string file = dir / row.file;
  test::WriteBytes(dir / "song.raw", song16(row.channels));
  std::string cmd = row.command;
  cmd.replace(cmd.find("{in}"), 4, Quote(dir / "song.raw"));
  cmd.replace(cmd.find("{out}"), 5, Quote(file));
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  const Bytes samples = decoded(file);

  const Outcome info = run({"info", file});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out, "position: 24\nlabel: " + row.label + "\n");
  // A piece of an RF64 source in a listed format is a plain file of it.
  const std::string label = info.out.substr(info.out.find("label: "));

  // The 16-bit cut of the same song, at a listed rate, says where the cuts
  // fall; at 2 the 8-bit song's loud samples, a few units, still count.
  test::WriteBytes(dir / "plain.wav", test::MakeWav(row.channels, 44100, 16, song16(row.channels)));
  ASSERT_EQ(run({"cut", dir / "plain.wav", "--out", test::EmptyFolder(dir / "plain"), "--run", "2000", "--threshold", "2"}).status, 0);
  std::vector<int64_t> plainFrames;
  for (const Bytes& piece : test::PieceFiles(dir / "plain"))
    plainFrames.push_back(static_cast<int64_t>(piece.size() - 44) / (2 * row.channels));
  ASSERT_EQ(plainFrames.size(), 2u);

  const Outcome dry =
      run({"cut", file, "--out", test::EmptyFolder(dir / "dry"), "--run", "2000", "--threshold", "2", "--dry-run"});
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_TRUE(test::FileNames(dir / "dry").empty());

  for (const bool split : {false, true}) {
    SCOPED_TRACE(split ? "split" : "cut");
    const std::string out = test::EmptyFolder(dir / "pieces");
    const Outcome r = split ? run({"split", file, "--out", out, "--length", "1s"})
                            : run({"cut", file, "--out", out, "--run", "2000", "--threshold", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes joined;
    std::vector<int64_t> frames;
    const int64_t frameBytes = static_cast<int64_t>(samples.size()) / kFrames;
    for (const std::string& name : test::FileNames(out, "mv")) {
      const Outcome pieceInfo = run({"info", out + "/" + name});
      EXPECT_NE(pieceInfo.out.find(label), std::string::npos) << name;
      const Bytes piece = decoded(out + "/" + name);
      frames.push_back(static_cast<int64_t>(piece.size()) / frameBytes);
      joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(joined, samples);
    if (split) {
      EXPECT_EQ(frames.size(), static_cast<std::size_t>((kFrames + row.rate - 1) / row.rate));
      EXPECT_EQ(frames.front(), std::min(kFrames, row.rate));
    } else {
      EXPECT_EQ(frames, plainFrames);
    }
  }

  // Into WAVE, and into FLAC where it can hold the samples (FLAC sources
  // are FLAC whatever the name; a listed format's output stays WAVE).
  Bytes twice = samples;
  twice.insert(twice.end(), samples.begin(), samples.end());
  const bool flac = test::ReadText(file).rfind("fLaC", 0) == 0;
  const bool listed = !ParseExtendedLabel(row.label);
  const bool floats = row.label.find("float") != std::string::npos;
  for (const std::string& out : {"joined.wav"s, "joined.flac"s}) {
    if (out == "joined.flac" && floats) continue;
    SCOPED_TRACE(out);
    const Outcome join = run({"join", "--out", dir / out, file, file});
    ASSERT_EQ(join.status, 0) << join.err;
    EXPECT_NE(run({"info", dir / out}).out.find(label), std::string::npos);
    const bool flacOut = flac || (out == "joined.flac" && !listed);
    EXPECT_EQ(test::ReadText(dir / out).rfind("fLaC", 0) == 0, flacOut);
    if (floats) {
      EXPECT_EQ(decoded(dir / out), twice);
    } else {
      // FLAC's 8-bit samples are signed, WAVE's unsigned.
      const Bytes once32 = decoded(file, true);
      Bytes twice32 = once32;
      twice32.insert(twice32.end(), once32.begin(), once32.end());
      EXPECT_EQ(decoded(dir / out, true), twice32);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Makers, Extended, ::testing::ValuesIn(sources()),
                         [](const ::testing::TestParamInfo<Source>& p) { return p.param.name; });

// A FLAC source that breaks off part-way ends the cut in the decoding
// message, the pieces before it whole and valid; a shortest song, which
// FLAC pieces cannot be merged by, is refused before anything is written.
TEST_F(Extended, DamagedFlacAndShortestSong) {
  if (!test::HaveTool("sox") || !test::HaveTool("flac")) GTEST_SKIP() << "sox and flac make and test these files";
  test::WriteBytes(dir / "song.raw", song16(2));
  const std::string cmd = kSox + "-r 8000 -c 2 " + Quote(dir / "song.raw") + " " + Quote(dir / "whole.flac");
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const Bytes whole = test::ReadBytes(dir / "whole.flac");
  const std::string cut = dir / "cut.flac";
  test::WriteBytes(cut, Bytes(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(whole.size() / 5)));
  const Outcome r = run({"cut", cut, "--out", test::EmptyFolder(dir / "pieces"), "--run", "2000", "--threshold", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(format(msg::kFlacDecodeError, cut)), std::string::npos) << r.err;
  const auto names = test::FileNames(dir / "pieces", "mv");
  ASSERT_EQ(names.size(), 2u);
  for (const std::string& name : names)
    EXPECT_EQ(std::system(("flac -s -t " + Quote(dir / "pieces/" + name)).c_str()), 0) << name;

  const Outcome shortest = run({"cut", dir / "whole.flac", "--out", test::EmptyFolder(dir / "merged"), "--run",
                                "2000", "--min-song", "1"});
  EXPECT_EQ(shortest.status, 1);
  EXPECT_EQ(shortest.err, std::string(msg::kFlacMinSong) + "\n");
  EXPECT_TRUE(test::FileNames(dir / "merged").empty());
}

// A join of two formats outside the lists asks, as two listed ones do.
TEST_F(Extended, JoinOfTwoExtendedFormatsAsks) {
  if (!test::HaveTool("sox")) GTEST_SKIP() << "sox makes these files";
  test::WriteBytes(dir / "song.raw", song16(2));
  for (const std::string bits : {"24", "32"}) {
    const std::string cmd = kSox + "-r 96000 -c 2 " + Quote(dir / "song.raw") + " -b " + bits + " " +
                            Quote(dir / ("s" + bits + ".wav"));
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  const Outcome refused = run({"join", "--out", dir / "j.wav", dir / "s24.wav", dir / "s32.wav"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_FALSE(test::Exists(dir / "j.wav"));
  const Outcome mixed =
      run({"join", "--out", dir / "j.wav", "--allow-mixed-formats", dir / "s24.wav", dir / "s32.wav"});
  ASSERT_EQ(mixed.status, 0) << mixed.err;
  // The last file's format names the output, as the list's selector does.
  EXPECT_EQ(run({"info", dir / "j.wav"}).out, "position: 24\nlabel: 32bit, Stereo, 96kHz\n");
}

}  // namespace
}  // namespace mv
