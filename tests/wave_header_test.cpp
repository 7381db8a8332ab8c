#include <gtest/gtest.h>

#include "tests/support.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"

namespace mv {
namespace {

using test::Bytes;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A file whose fmt chunk has the given size and whose bytes between the fmt
// chunk and "data" are given.
Bytes waveWith(uint32_t fmtSize, const Bytes& between, const Bytes& data, int rate = 44100,
               uint16_t tag = 1) {
  Bytes b = text("RIFF");
  test::Put32(b, 0);
  for (uint8_t c : text("WAVEfmt ")) b.push_back(c);
  test::Put32(b, fmtSize);
  test::Put16(b, tag);
  test::Put16(b, 2);
  test::Put32(b, static_cast<uint32_t>(rate));
  test::Put32(b, static_cast<uint32_t>(rate) * 4);
  test::Put16(b, 4);
  test::Put16(b, 16);
  for (uint32_t i = 16; i < fmtSize; ++i) b.push_back(0);
  b.insert(b.end(), between.begin(), between.end());
  for (uint8_t c : text("data")) b.push_back(c);
  test::Put32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

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
    for (uint8_t c : text("fmt ")) b.push_back(c);
    b.resize(b.size() + 40, 'y');
    MemoryStream in(b);
    EXPECT_EQ(FindMarker(in, "fmt "), word < 199) << "word " << word;
    if (word < 199) {
      EXPECT_EQ(in.position(), word * 4 + 4);
    }
  }
  // Off the word grid it is never seen.
  Bytes off = text("xxfmt yyyyyyyy");
  MemoryStream in(off);
  EXPECT_FALSE(FindMarker(in, "fmt "));
}

TEST(FormatCheck, PositionsAndRefusals) {
  {
    MemoryStream in(test::MakeWav(2, 22050, 8, {}));
    EXPECT_EQ(ReadWaveFormat(in), 15);
  }
  {
    MemoryStream in(test::MakeWav(1, 44100, 16, {}));
    EXPECT_EQ(ReadWaveFormat(in), 7);
  }
  for (Bytes bad : {test::MakeWav(2, 44100, 16, {}, 3), test::MakeWav(2, 8000, 16, {}),
                    text("RIFF....WAVE"), Bytes{}}) {
    MemoryStream in(bad);
    EXPECT_EQ(ErrorOf([&] { ReadWaveFormat(in); }), msg::kUnsupported);
  }
  // A file that ends inside the format record.
  Bytes cut = test::MakeWav(2, 44100, 16, {});
  cut.resize(30);
  MemoryStream in(cut);
  EXPECT_EQ(ErrorOf([&] { ReadWaveFormat(in); }), msg::kUnsupported);
}

TEST(DataLocation, StepsOverChunks) {
  const Bytes data = {1, 2, 3, 4};
  struct Case {
    uint32_t fmtSize;
    Bytes between;
    int64_t offset;  // -1: refused
  } cases[] = {
      {16, {}, 44},
      {18, {}, 46},
      {18, test::Concat({text("fact"), Bytes{4, 0, 0, 0}, Bytes(4, 0)}), 58},
      // Off the word grid: the chunk walk finds it.
      {16, test::Concat({text("LIST"), Bytes{26, 0, 0, 0}, Bytes(26, 0)}), 78},
      {18, test::Concat({text("LIST"), Bytes{26, 0, 0, 0}, Bytes(26, 0)}), 80},
      // Off the grid with no chunk that leads to it.
      {16, text("xy"), -1},
  };
  for (const Case& c : cases) {
    MemoryStream in(waveWith(c.fmtSize, c.between, data));
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

TEST(DataLocation, BadSizes) {
  // A data size beyond 2 GiB cannot be held.
  Bytes huge = test::MakeWav(2, 44100, 16, {});
  huge[40] = huge[41] = huge[42] = huge[43] = 0xFF;
  MemoryStream in(huge);
  EXPECT_EQ(ErrorOf([&] { LocateWaveData(in); }), msg::kRangeError);
  // A fmt size that jumps past the end: "data" is not found.
  Bytes jump = test::MakeWav(2, 44100, 16, {});
  jump[16] = jump[17] = jump[18] = jump[19] = 0xFF;
  MemoryStream in2(jump);
  EXPECT_EQ(ErrorOf([&] { LocateWaveData(in2); }), msg::kUnsupported);
  // Ends before the data size.
  Bytes shortFile = test::MakeWav(2, 44100, 16, {});
  shortFile.resize(41);
  MemoryStream in3(shortFile);
  EXPECT_EQ(ErrorOf([&] { LocateWaveData(in3); }), msg::kUnsupported);
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
