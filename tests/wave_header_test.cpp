#include <gtest/gtest.h>

#include "tests/support.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"

namespace mv {
namespace {

using test::Ascii;
using test::Bytes;
using test::ErrorOf;

TEST(WaveHeader, WritesAndFinishesTheFortyFourBytes) {
  MemoryStream out;
  WriteWaveHeader(out, ParseFormatLabel("16bit, Stereo, 44.1kHz"));
  EXPECT_EQ(out.position(), 44);
  const Bytes& h = out.bytes();
  ASSERT_EQ(h.size(), 44u);
  // The header of an empty file: valid from its first moment.
  EXPECT_EQ(std::string(h.begin(), h.begin() + 16), std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
  EXPECT_EQ(test::Get32(h, 16), 16u);
  EXPECT_EQ(test::Get16(h, 20), 1);
  EXPECT_EQ(test::Get16(h, 22), 2);
  EXPECT_EQ(test::Get32(h, 24), 44100u);
  EXPECT_EQ(test::Get32(h, 28), 176400u);
  EXPECT_EQ(test::Get16(h, 32), 4);
  EXPECT_EQ(test::Get16(h, 34), 16);
  EXPECT_EQ(std::string(h.begin() + 36, h.begin() + 40), "data");
  EXPECT_EQ(test::Get32(h, 40), 0u);

  FinishWaveHeader(out);
  EXPECT_EQ(test::Get32(out.bytes(), 4), 36u);
  EXPECT_EQ(test::Get32(out.bytes(), 40), 0u);

  const Bytes samples(176400, 7);
  out.write(samples.data(), samples.size());
  FinishWaveHeader(out);
  EXPECT_EQ(test::Get32(out.bytes(), 4), 176436u);
  EXPECT_EQ(test::Get32(out.bytes(), 40), 176400u);
  EXPECT_EQ(out.position(), 176444);
}

TEST(WaveHeader, LabelWithoutRateGivesZeroRate) {
  MemoryStream out;
  WriteWaveHeader(out, ParseFormatLabel("8bit, Mono"));
  EXPECT_EQ(test::Get32(out.bytes(), 24), 0u);
  EXPECT_EQ(test::Get32(out.bytes(), 28), 0u);
  EXPECT_EQ(test::Get16(out.bytes(), 32), 1);
}

TEST(WaveFileName, ExtensionAfterTheLastSlash) {
  EXPECT_TRUE(IsWaveFileName("SONG.Wav"));
  EXPECT_TRUE(IsWaveFileName("/a.b/c.wAV"));
  EXPECT_FALSE(IsWaveFileName("song.raw"));
  EXPECT_FALSE(IsWaveFileName("song"));
  EXPECT_FALSE(IsWaveFileName("song.wave"));
  EXPECT_FALSE(IsWaveFileName("/dir.wav/song"));
  EXPECT_EQ(UpperExtension("/x/y.Raw"), ".RAW");
}

TEST(MarkerSearch, OnlyWholeWordsWithinTheFirst199) {
  for (int word : {0, 100, 198, 199, 250}) {
    Bytes b(static_cast<std::size_t>(word) * 4, 'x');
    for (uint8_t c : Ascii("fmt ")) b.push_back(c);
    b.resize(b.size() + 40, 'y');
    MemoryStream in(b);
    EXPECT_EQ(FindMarker(in, "fmt "), word < 199) << "word " << word;
    if (word < 199) {
      EXPECT_EQ(in.position(), word * 4 + 4);
    }
  }
  // Off the word grid it is never seen.
  Bytes off = Ascii("xxfmt yyyyyyyy");
  MemoryStream in(off);
  EXPECT_FALSE(FindMarker(in, "fmt "));
}

TEST(FormatCheck, PositionsAndRefusals) {
  for (const auto& [file, position] : {std::pair{test::MakeWav(2, 22050, 8, {}), 15}, {test::MakeWav(1, 44100, 16, {}), 7}}) {
    MemoryStream in(file);
    EXPECT_EQ(ReadWaveFormat(in), position);
  }
  // The last ends inside the format record.
  const Bytes cd = test::MakeWav(2, 44100, 16, {});
  for (const Bytes& bad : {test::MakeWav(2, 44100, 16, {}, 3), test::MakeWav(2, 8000, 16, {}), Ascii("RIFF....WAVE"),
                           Bytes{}, Bytes(cd.begin(), cd.begin() + 30)}) {
    MemoryStream in(bad);
    EXPECT_EQ(ErrorOf([&] { ReadWaveFormat(in); }), msg::kUnsupported);
  }
}

TEST(DataLocation, StepsOverChunks) {
  const Bytes data = {1, 2, 3, 4}, fmt16 = test::FormatRecord(2, 44100, 16);
  const Bytes fmt18 = test::Concat({fmt16, Bytes(2, 0)}), list = test::Chunk("LIST", Bytes(26, 0));
  struct Case {
    Bytes fmt, between;
    int64_t offset;  // -1: refused
  } cases[] = {
      {fmt16, {}, 44},
      {fmt18, {}, 46},
      {fmt18, test::Chunk("fact", Bytes(4, 0)), 58},
      // Off the word grid: the chunk walk finds it.
      {fmt16, list, 78},
      {fmt18, list, 80},
      // Off the grid with no chunk that leads to it.
      {fmt16, Ascii("xy"), -1},
  };
  for (const Case& c : cases) {
    MemoryStream in(test::Riff({test::Chunk("fmt ", c.fmt), c.between, test::Chunk("data", data)}));
    if (c.offset < 0) {
      EXPECT_EQ(ErrorOf([&] { LocateWaveData(in); }), msg::kUnsupported);
    } else {
      const DataLocation at = LocateWaveData(in);
      EXPECT_EQ(at.offset, c.offset);
      EXPECT_EQ(at.size, 4);
      EXPECT_EQ(in.position(), c.offset);
    }
  }
}

// A data size beyond 2 GiB cannot be held; a fmt size that jumps past the end
// leaves "data" unfound; a file may end before its data size.
TEST(DataLocation, BadSizes) {
  struct Case {
    std::size_t field, size;
    std::string_view error;
  } cases[] = {{40, 44, msg::kRangeError}, {16, 44, msg::kUnsupported}, {0, 41, msg::kUnsupported}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    Bytes file = test::MakeWav(2, 44100, 16, {});
    if (c.field) test::Set32(file, c.field, 0xFFFFFFFF);
    file.resize(c.size);
    MemoryStream in(file);
    EXPECT_EQ(ErrorOf([&] { LocateWaveData(in); }), c.error);
  }
}

TEST(FileLayer, OpenAndCreateMessages) {
  test::TempDir dir;
  EXPECT_EQ(ErrorOf([&] { File::openRead(dir / "none.wav"); }),
            format(msg::kCannotOpen, dir / "none.wav"));
  EXPECT_EQ(ErrorOf([&] { File::openRead(dir.path()); }),
            format(msg::kCannotOpen, dir.path()));
  EXPECT_EQ(ErrorOf([&] { File::create(dir / "no/such.wav"); }),
            format(msg::kCannotCreate, dir / "no/such.wav"));
  EXPECT_EQ(ErrorOf([&] { ReadWaveFormat(dir / "none.wav"); }),
            format(msg::kCannotOpen, dir / "none.wav"));
}

}  // namespace
}  // namespace mv
