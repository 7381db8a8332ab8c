#include <gtest/gtest.h>

#include "tests/support.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"
#include "wave/layout.h"
#include "wave/messages.h"

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

namespace mv {
namespace {

// The header of an output beyond the lists: the record as given, a fact
// chunk for floats, RIFF sizes up to 4 GiB - 1 bytes of file and RF64 past
// them, each read back by the format check as what it says.
TEST(ExtendedHeader, RiffUpToFourGibibytesThenRf64) {
  const PcmFormat f24{2, 96000, 24, SampleKind::Integer}, ffl{1, 48000, 32, SampleKind::Float};
  for (const PcmFormat& f : {f24, ffl}) {
    const ExtendedHeader h(f, {}, true);
    const int64_t riffLimit = 0xFFFFFFFFLL - h.size();
    for (const int64_t data : {int64_t{0}, int64_t{6}, riffLimit - riffLimit % f.frameBytes(),
                               riffLimit + f.frameBytes(), int64_t{6} << 32}) {
      SCOPED_TRACE(std::to_string(data));
      const std::vector<uint8_t> bytes = h.bytes(data);
      ASSERT_EQ(static_cast<int64_t>(bytes.size()), h.size());
      const bool rf64 = data > riffLimit;
      EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), rf64 ? "RF64" : "RIFF");
      MemoryStream in(Bytes(bytes.begin(), bytes.end()));
      const WaveLayout w = ReadWaveLayout(in);
      EXPECT_EQ(w.container, rf64 ? Container::Rf64 : Container::Riff);
      EXPECT_EQ(w.format, f);
      EXPECT_EQ(w.dataOffset, h.size());
      EXPECT_EQ(w.dataBytes, data);
      EXPECT_EQ(w.formatRecord, MakeFormatRecord(f));
      const std::string text(bytes.begin(), bytes.end());
      EXPECT_EQ(text.find("fact") != std::string::npos, f.isFloat());
    }
  }
  // Without room the header is as short as it can be, and says so.
  const ExtendedHeader plain(f24, {}, false);
  EXPECT_EQ(plain.size(), 12 + 8 + 40 + 8);
  EXPECT_EQ(plain.maxDataBytes(), 0xFFFFFFFFLL - plain.size());
}

// RF64 and Wave64 files whose sizes cannot be followed are told so; more
// channels or unreadable samples are unsupported.
TEST(ExtendedHeader, LongFilesWithBadSizes) {
  const Bytes record = MakeFormatRecord({2, 48000, 24, SampleKind::Integer});
  const Bytes noDs64 = test::Riff({test::Chunk("fmt ", record), test::Chunk("data", Bytes(12, 0))}, "RF64");
  Bytes badChunk = test::Riff({test::Chunk("ds64", Bytes(28, 0)), test::Chunk("fmt ", record),
                               test::Chunk("JUNK", Bytes(4, 0)), test::Chunk("data", Bytes(12, 0))},
                              "RF64");
  test::Set32(badChunk, 12 + 36 + 8 + record.size() + 4, 0xFFFFFFFF);  // the JUNK's size
  Bytes w64(40, 0);
  const uint8_t riff[16] = {'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0, 0};
  const uint8_t wave[16] = {'w', 'a', 'v', 'e', 0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
  std::copy(std::begin(riff), std::end(riff), w64.begin());
  std::copy(std::begin(wave), std::end(wave), w64.begin() + 24);
  Bytes w64Short = w64;
  w64Short.insert(w64Short.end(), std::begin(wave), std::end(wave));  // a chunk of size 8 < its own head
  w64Short.insert(w64Short.end(), {8, 0, 0, 0, 0, 0, 0, 0});
  const Bytes sixChannels = test::Riff({test::Chunk("fmt ", test::FormatRecord(6, 48000, 24)),
                                        test::Chunk("data", Bytes(18, 0))});
  const Bytes float16 = test::Riff({test::Chunk("fmt ", test::FormatRecord(2, 48000, 16, 3)),
                                    test::Chunk("data", Bytes(8, 0))});
  const struct {
    const char* name;
    Bytes file;
    std::string_view message;
  } rows[] = {{"rf64 without ds64", noDs64, msg::kSizesDisagree},
              {"rf64 chunk of unknown size", badChunk, msg::kSizesDisagree},
              {"wave64 chunk smaller than its head", w64Short, msg::kSizesDisagree},
              {"six channels", sixChannels, msg::kUnsupported},
              {"16-bit float", float16, msg::kUnsupported}};
  for (const auto& row : rows) {
    MemoryStream in(row.file);
    EXPECT_EQ(test::ErrorOf([&] { ReadWaveLayout(in); }), row.message) << row.name;
  }
}

}  // namespace
}  // namespace mv
