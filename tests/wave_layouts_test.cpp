// WAVE files as other programs and hand-made chunk layouts have them: what the
// format check and the data location find, and that the cut and the join read
// an accepted file exactly as the same samples behind the 44-byte header.
// Encoded audio under another name is refused by both.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "tests/commands.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/format.h"
#include "wave/header.h"
#include "wave/messages.h"

namespace mv {
namespace {

using test::Bytes;
namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kUnsupported = "サポートできない形式です。";

using test::Ascii;
using test::Chunk;
using test::FormatRecord;
using test::Outcome;
using test::Quote;
using test::Riff;

// Three songs' worth of frames: loud, quiet, loud, each value on every channel.
constexpr int kFrames = 850;
Bytes song(int channels, int bits) {
  Bytes b;
  for (int i = 0; i < kFrames; ++i) {
    const bool loud = i < 300 || i >= 550;
    for (int c = 0; c < channels; ++c) {
      if (bits == 8) {
        b.push_back(loud ? 250 : 128);
      } else {
        test::Put16(b, static_cast<uint16_t>(loud ? 4000 - 7 * c : 1));
      }
    }
  }
  return b;
}

const Bytes kPcmGuid = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
const Bytes kFloatGuid = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                          0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
Bytes extensible(int channels, int rate, int bits, const Bytes& guid) {
  Bytes b = FormatRecord(channels, rate, bits, 0xFFFE);
  test::Put16(b, 22);
  test::Put16(b, static_cast<uint16_t>(bits));
  test::Put32(b, channels == 1 ? 4 : 3);
  b.insert(b.end(), guid.begin(), guid.end());
  return b;
}
Bytes zeros(std::size_t n) { return Bytes(n, 0); }
// A file of a format record and the data chunk, nothing else.
std::function<Bytes(const Bytes&)> plainRiff(const Bytes& format) {
  return [format](const Bytes& d) { return Riff({Chunk("fmt ", format), Chunk("data", d)}); };
}

constexpr int64_t kNone = -1;  // refused
constexpr int64_t kLast = -2;  // the data chunk ends the file

struct Layout {
  std::string name;
  int channels, bits;  // of the samples put in
  std::string tool;    // the program the command needs; empty for a hand-made file
  std::string command;  // {in}: the samples, bare; {out}: the file to make
  std::function<Bytes(const Bytes& samples)> build;
  std::string shows;  // bytes the file must hold for the row to test its layout
  int position;       // in the lists, or -1 refused by the format check
  int64_t start;      // first data byte, kLast, or kNone
  int64_t size;       // declared data bytes
  bool samplesKept = true;  // the located data is the samples put in
  std::size_t songs = 2;    // files of the cut
};

void PrintTo(const Layout& row, std::ostream* os) { *os << row.name; }

const std::string kFfmpeg = "ffmpeg -nostdin -loglevel error -y ";
const std::string kSox16 = "sox -t raw -e signed -b 16 ";

std::vector<Layout> layouts() {
  const int64_t s16 = kFrames * 4;  // 16-bit stereo
  return {
      {"ffmpeg_list_chunk", 2, 16, "ffmpeg", kFfmpeg + "-f s16le -ar 44100 -ac 2 -i {in} {out}", {},
       "LIST", 1, kLast, s16},
      {"ffmpeg_bext", 2, 16, "ffmpeg",
       kFfmpeg + "-f s16le -ar 44100 -ac 2 -i {in} -write_bext 1 {out}", {}, "bext", 1, kLast, s16},
      {"ffmpeg_rf64_auto_junk", 2, 16, "ffmpeg",
       kFfmpeg + "-f s16le -ar 22050 -ac 2 -i {in} -rf64 auto {out}", {}, "JUNK", 3, kLast, s16},
      // Its format record is on the word grid; its data is not, and it is no RIFF file.
      {"ffmpeg_rf64_always", 2, 16, "ffmpeg",
       kFfmpeg + "-f s16le -ar 44100 -ac 2 -i {in} -rf64 always {out}", {}, "RF64", 1, kNone, 0},
      {"ffmpeg_8bit_mono", 1, 8, "ffmpeg",
       kFfmpeg + "-f u8 -ar 22050 -ac 1 -i {in} -c:a pcm_u8 {out}", {}, "LIST", 21, kLast, kFrames},
      {"ffmpeg_24bit", 2, 16, "ffmpeg",
       kFfmpeg + "-f s16le -ar 44100 -ac 2 -i {in} -c:a pcm_s24le {out}", {}, "", -1, kLast,
       kFrames * 6, false},
      {"sox_24bit", 2, 16, "sox", kSox16 + "-r 44100 -c 2 {in} -b 24 {out}", {}, "", -1, kLast,
       kFrames * 6, false},
      {"sox_float", 2, 16, "sox", kSox16 + "-r 44100 -c 2 {in} -e floating-point {out}", {}, "fact",
       -1, kLast, kFrames * 8, false},
      {"sox_6_channels", 6, 16, "sox", kSox16 + "-r 44100 -c 6 {in} {out}", {}, "", -1, kLast,
       kFrames * 12},
      {"sox_8bit_stereo", 2, 8, "sox", "sox -t raw -e unsigned -b 8 -r 11025 -c 2 {in} {out}", {}, "",
       16, kLast, kFrames * 2},
      {"sox_mono", 1, 16, "sox", kSox16 + "-r 32000 -c 1 {in} {out}", {}, "", 8, kLast, kFrames * 2},
      {"python_wave", 1, 16, "python3",
       "python3 -c 'import sys, wave; w = wave.open(sys.argv[2], \"wb\"); w.setnchannels(1); "
       "w.setsampwidth(2); w.setframerate(11025); w.writeframes(open(sys.argv[1], \"rb\").read()); "
       "w.close()' {in} {out}",
       {}, "", 10, 44, kFrames * 2},

      // Hand-made. A JUNK chunk that pushes "fmt " past the words searched.
      {"junk_before_fmt", 2, 16, "", "",
       [](const Bytes& d) {
         return Riff({Chunk("JUNK", zeros(1000)), Chunk("fmt ", FormatRecord(2, 44100, 16)),
                      Chunk("data", d)});
       },
       "", 1, 1052, s16},
      {"bext_before_fmt", 2, 16, "", "",
       [](const Bytes& d) {
         return Riff({Chunk("bext", zeros(602)), Chunk("fmt ", FormatRecord(2, 48000, 16)),
                      Chunk("data", d)});
       },
       "", 0, 654, s16},
      // 5 bytes and a pad byte put "data" off the word grid.
      {"odd_chunk_with_pad", 1, 16, "", "",
       [](const Bytes& d) {
         return Riff({Chunk("fmt ", FormatRecord(1, 44100, 16)), Chunk("note", Ascii("abcde")),
                      Chunk("data", d)});
       },
       "", 7, 58, kFrames * 2},
      // Streaming writers leave the RIFF size 0.
      {"riff_size_zero", 2, 16, "", "",
       [](const Bytes& d) {
         Bytes b = Riff({Chunk("fmt ", FormatRecord(2, 44100, 16)), Chunk("LIST", zeros(26)),
                         Chunk("data", d)});
         std::fill(b.begin() + 4, b.begin() + 8, 0);
         return b;
       },
       "", 1, 78, s16},
      {"extensible_pcm", 2, 16, "", "", plainRiff(extensible(2, 48000, 16, kPcmGuid)), "", 0, 68, s16},
      {"extensible_float", 2, 16, "", "", plainRiff(extensible(2, 48000, 16, kFloatGuid)), "", -1, 68, s16},
      // The extensible tag with a record too short to name its sub-format.
      {"extensible_short", 2, 16, "", "",
       plainRiff(test::Concat({FormatRecord(2, 48000, 16, 0xFFFE), zeros(2)})), "", -1, 46, s16},
      {"12_bits_count_as_16", 2, 16, "", "", plainRiff(FormatRecord(2, 44100, 12)), "", 1, 44, s16},
      {"20_bits", 2, 16, "", "", plainRiff(FormatRecord(2, 44100, 20)), "", -1, 44, s16},
      {"3_channels", 2, 16, "", "", plainRiff(FormatRecord(3, 44100, 16)), "", -1, 44, s16},
      // Found by the walk, the file ends inside the format record.
      {"ends_inside_fmt_record", 2, 16, "", "",
       [](const Bytes&) {
         Bytes b = Riff({Chunk("JUNK", zeros(2)), Chunk("fmt ", FormatRecord(2, 44100, 16))});
         b.erase(b.end() - 6, b.end());
         return b;
       },
       "", -1, kNone, 0},
      {"data_before_fmt", 2, 16, "", "",
       [](const Bytes& d) {
         return Riff({Chunk("data", d), Chunk("fmt ", FormatRecord(2, 44100, 16)),
                      Chunk("LIST", zeros(26))});
       },
       "", 1, kNone, 0},
      // The walk is for RIFF files only.
      {"not_riff", 2, 16, "", "",
       [](const Bytes& d) {
         return Riff({Chunk("JUNK", zeros(1000)), Chunk("fmt ", FormatRecord(2, 44100, 16)),
                      Chunk("data", d)},
                     "RIFX");
       },
       "", -1, kNone, 0},
      // A "fmt " on the word grid inside a chunk before the real one is taken.
      {"fmt_word_hit_stands", 2, 16, "", "",
       [](const Bytes& d) {
         return Riff({Chunk("LIST", test::Concat({Ascii("fmt "), Bytes{16, 0, 0, 0},
                                                  FormatRecord(1, 22050, 8)})),
                      Chunk("fmt ", FormatRecord(2, 44100, 16)), Chunk("data", d)});
       },
       "", 21, 76, s16, true, 1},
      // A "data" on the word grid inside a chunk before the real one is taken.
      {"data_word_hit_stands", 2, 16, "", "",
       [](const Bytes& d) {
         return Riff({Chunk("fmt ", FormatRecord(2, 44100, 16)),
                      Chunk("JUNK", test::Concat({Ascii("data"), Bytes{4, 0, 0, 0}, test::Frames16({4000}, 2)})),
                      Chunk("data", d)});
       },
       "", 1, 52, 4, false, 1},
  };
}

const std::map<std::string, std::string> kBeyondTheLists = {
    {"ffmpeg_rf64_always", "16bit, Stereo, 44.1kHz"}, {"ffmpeg_24bit", "24bit, Stereo, 44.1kHz"},
    {"sox_24bit", "24bit, Stereo, 44.1kHz"},           {"sox_float", "32bit float, Stereo, 44.1kHz"},
    {"20_bits", "24bit, Stereo, 44.1kHz"},
};

class Files : public ::testing::Test {
 protected:
  Outcome run(const std::vector<std::string>& args) { return test::RunCli(args, dir.path()); }
  // name -> bytes of every file in the folder
  std::vector<std::pair<std::string, Bytes>> contents(const std::string& path) {
    std::vector<std::pair<std::string, Bytes>> files;
    for (const auto& e : fs::directory_iterator(path))
      files.emplace_back(e.path().filename().string(), test::ReadBytes(e.path().string()));
    std::sort(files.begin(), files.end());
    return files;
  }
  test::TempDir dir;
};

class WaveLayouts : public Files, public ::testing::WithParamInterface<Layout> {};

TEST_P(WaveLayouts, CheckLocationCutAndJoin) {
  const Layout& row = GetParam();
  if (!row.tool.empty() && !test::HaveTool(row.tool))
    GTEST_SKIP() << row.tool << " is not installed; this layout is made by it";

  const Bytes samples = song(row.channels, row.bits);
  const std::string file = dir / "source.wav";
  if (row.build) {
    test::WriteBytes(file, row.build(samples));
  } else {
    test::WriteBytes(dir / "samples.raw", samples);
    std::string cmd = row.command;
    cmd.replace(cmd.find("{in}"), 4, Quote(dir / "samples.raw"));
    cmd.replace(cmd.find("{out}"), 5, Quote(file));
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  const Bytes bytes = test::ReadBytes(file);
  if (!row.shows.empty()) {
    ASSERT_NE(std::search(bytes.begin(), bytes.end(), row.shows.begin(), row.shows.end()),
              bytes.end())
        << "the file has no \"" << row.shows << "\": the maker's layout has changed";
  }

  MemoryStream in(bytes);
  if (row.position < 0) {
    EXPECT_EQ(test::ErrorOf([&] { ReadWaveFormat(in); }), kUnsupported);
  } else {
    EXPECT_EQ(ReadWaveFormat(in), row.position);
  }
  const bool located = row.start != kNone;
  const int64_t start = row.start == kLast ? static_cast<int64_t>(bytes.size()) - row.size : row.start;
  Bytes data;
  if (!located) {
    EXPECT_EQ(test::ErrorOf([&] { LocateWaveData(in); }), kUnsupported);
  } else {
    const DataLocation at = LocateWaveData(in);
    EXPECT_EQ(at.offset, start);
    EXPECT_EQ(at.size, row.size);
    ASSERT_LE(at.offset + at.size, static_cast<int64_t>(bytes.size()));
    data.assign(bytes.begin() + at.offset, bytes.begin() + at.offset + at.size);
    if (row.samplesKept) {
      EXPECT_EQ(data, samples);
    }
  }

  const Outcome info = run({"info", file});
  const Outcome cut = run({"cut", file, "--out", test::EmptyFolder(dir / "pieces"), "--run", "200"});
  const Outcome join = run({"join", "--out", dir / "joined.wav", file});
  // Formats outside the lists are read beyond them (their own tests follow
  // them further).
  if (const auto extended = kBeyondTheLists.find(row.name); extended != kBeyondTheLists.end()) {
    EXPECT_EQ(info.out, "position: 24\nlabel: " + extended->second + "\n");
    EXPECT_EQ(cut.status, 0) << cut.err;
    EXPECT_EQ(join.status, 0) << join.err;
    return;
  }
  if (row.position < 0 || !located) {
    EXPECT_EQ(info.status, row.position < 0 ? 1 : 0);
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.err, kUnsupported + "\n");
    EXPECT_TRUE(contents(dir / "pieces").empty());
    EXPECT_EQ(join.status, 1);
    EXPECT_EQ(join.err, kUnsupported + "\n");
    // The join list refuses it before the output is made.
    if (row.position < 0) {
      EXPECT_FALSE(test::Exists(dir / "joined.wav"));
    }
    return;
  }

  // The same samples behind the 44-byte header, in the format the check found.
  const PcmFormat f = ParseFormatLabel(kCutLabels[row.position]);
  const std::string plain = dir / "plain.wav";
  test::WriteBytes(plain, test::MakeWav(f.channels, f.sampleRate, f.bitsPerSample, data));
  EXPECT_EQ(info.out, run({"info", plain}).out);
  // The analysis reads to the end of the file.
  if (start + row.size == static_cast<int64_t>(bytes.size())) {
    EXPECT_EQ(run({"measure", file}).out, run({"measure", plain}).out);
  }

  ASSERT_EQ(cut.status, 0) << cut.err;
  const Outcome plainCut = run({"cut", plain, "--out", test::EmptyFolder(dir / "plain-pieces"), "--run", "200"});
  ASSERT_EQ(plainCut.status, 0) << plainCut.err;
  EXPECT_EQ(cut.out, plainCut.out);
  const auto pieces = contents(dir / "pieces");
  EXPECT_EQ(pieces.size(), row.songs);
  EXPECT_EQ(pieces, contents(dir / "plain-pieces"));

  ASSERT_EQ(join.status, 0) << join.err;
  ASSERT_EQ(run({"join", "--out", dir / "plain-joined.wav", plain}).status, 0);
  EXPECT_EQ(test::ReadBytes(dir / "joined.wav"), test::ReadBytes(dir / "plain-joined.wav"));
}

INSTANTIATE_TEST_SUITE_P(Makers, WaveLayouts, ::testing::ValuesIn(layouts()),
                         [](const ::testing::TestParamInfo<Layout>& p) { return p.param.name; });

// Encoded audio under a name that is not ".wav" is not cut or joined as samples.
TEST_F(Files, EncodedAudioUnderAnotherNameIsRefused) {
  const Bytes tail = song(2, 16);
  const std::string wav = dir / "good.wav";
  test::WriteBytes(wav, test::MakeWav(2, 44100, 16, tail));
  const std::vector<std::string> marks = {"RIFF", "RIFX", "RF64", "fLaC", "OggS", "ID3",
                                          "FORM", "caff", "wvpk", "MAC ", ".snd",
                                          "\0\0\0\x18" "ftyp"s};
  for (const std::string& mark : marks) {
    for (const std::string& name : {"enc.raw"s, "enc"s}) {
      SCOPED_TRACE(name + " starting " + mark);
      test::WriteBytes(dir / name, test::Concat({Ascii(mark), tail}));
      const Outcome cut = run({"cut", dir / name, "--out", test::EmptyFolder(dir / "pieces"), "--run", "200"});
      EXPECT_EQ(cut.status, 1);
      // A FLAC file is cut whatever its name: this one does not decode.
      EXPECT_EQ(cut.err, mark == "fLaC" ? format(msg::kFlacDecodeError, dir / name) + ".\n" : kUnsupported + "\n");
      EXPECT_TRUE(contents(dir / "pieces").empty());
      const Outcome join = run({"join", "--out", dir / "joined.wav", wav, dir / name, wav});
      EXPECT_EQ(join.status, 1);
      EXPECT_EQ(join.err, mark == "fLaC" ? format(msg::kFlacDecodeError, dir / name) + ".\n" : kUnsupported + "\n");
      EXPECT_FALSE(test::Exists(dir / "joined.wav"));
      fs::remove(dir / name);
    }
  }
  // Bare samples that only come near a mark are still samples.
  for (const std::string& start : {"ftypRIFF"s, "ID"s, "\0RIFF"s}) {
    SCOPED_TRACE(start);
    test::WriteBytes(dir / "near.raw", test::Concat({Ascii(start), tail}));
    EXPECT_EQ(run({"cut", dir / "near.raw", "--out", test::EmptyFolder(dir / "near"), "--yes"}).status, 0);
    EXPECT_EQ(run({"join", "--out", dir / "near.wav", dir / "near.raw"}).status, 0);
    fs::remove(dir / "near.wav");
  }
}

}  // namespace
}  // namespace mv
