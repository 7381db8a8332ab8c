// A source read for listening: every WAVE width and FLAC read from any frame
// in blocks gives what sox decodes, and no frame past the data; conversions
// between kinds; the ranges around a cut, clamped to the data.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <limits>

#include "play/play_source.h"
#include "tests/commands.h"
#include "tests/support.h"
#include "wave/errors.h"

namespace mv {
namespace {

using test::Bytes;

double asUnit(const void* p, std::size_t i, OutputKind kind) {
  if (kind == OutputKind::Int16) return static_cast<const int16_t*>(p)[i] / 32768.0;
  if (kind == OutputKind::Int32) return static_cast<const int32_t*>(p)[i] / 2147483648.0;
  return static_cast<const float*>(p)[i];
}

TEST(PlaySource, ReadsEveryWidthAsSoxDecodesIt) {
  if (!test::HaveTool("sox") || !test::HaveTool("flac")) GTEST_SKIP() << "sox or flac missing";
  test::TempDir dir;
  struct Row {
    const char* name;
    const char* sox;  // the encoding sox writes
    OutputKind kind;
  };
  const Row rows[] = {
      {"u8.wav", "-e unsigned -b 8", OutputKind::Int16},    {"s16.wav", "-b 16", OutputKind::Int16},
      {"s24.wav", "-b 24", OutputKind::Int32},              {"s32.wav", "-b 32", OutputKind::Int32},
      {"f32.wav", "-e floating-point -b 32", OutputKind::Float},
      {"f64.wav", "-e floating-point -b 64", OutputKind::Float},
      {"s16.flac", "-b 16", OutputKind::Int16},             {"s24.flac", "-b 24", OutputKind::Int32},
  };
  constexpr int64_t kTotal = 22050;  // half a second, stereo
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = dir / row.name, wav = dir / (std::string(row.name) + ".wav");
    ASSERT_EQ(std::system(("sox -R -n -r 44100 -c 2 " + std::string(row.sox) + " " + test::Quote(wav) +
                           " synth 0.5 whitenoise vol 0.5").c_str()), 0);
    if (std::string(row.name).ends_with(".flac"))
      ASSERT_EQ(std::system(("flac -s -o " + test::Quote(path) + " " + test::Quote(wav)).c_str()), 0);
    else
      ASSERT_EQ(std::rename(wav.c_str(), path.c_str()), 0);
    ASSERT_EQ(std::system(("sox " + test::Quote(path) + " -t raw -e floating-point -b 32 " +
                           test::Quote(dir / "expected.f32")).c_str()), 0);
    const Bytes expected = test::ReadBytes(dir / "expected.f32");
    ASSERT_EQ(expected.size(), kTotal * 2 * 4);

    const auto source = PlaySource::open(path);
    ASSERT_EQ(source->frames(), kTotal);
    EXPECT_EQ(OutputKindFor(source->format()), row.kind);
    const int64_t from = 12345;
    source->seek(from);
    std::vector<uint8_t> block(1000 * 2 * 4);
    int64_t at = from, reads = 0;
    while (const int64_t got = source->read(block.data(), 1000, row.kind)) {
      ++reads;
      for (std::size_t i = 0; i < static_cast<std::size_t>(got * 2); ++i) {
        float want;
        std::memcpy(&want, &expected[(static_cast<std::size_t>(at) * 2 + i) * 4], 4);
        // Below one step of 24 bits (a sample off by one counts), above a
        // float's last bit (sox rounds 64-bit floats its own way).
        ASSERT_NEAR(asUnit(block.data(), i, row.kind), want, 1e-7) << "frame " << at + int64_t(i / 2);
      }
      at += got;
    }
    EXPECT_EQ(at, kTotal);
    EXPECT_EQ(reads, 10);  // 9705 frames in blocks of 1000
  }
  // A file cut short plays what it holds, in whole frames.
  Bytes cut = test::ReadBytes(dir / "s16.wav");
  cut.resize(cut.size() - 4000 - 3);
  test::WriteBytes(dir / "short.wav", cut);
  EXPECT_EQ(PlaySource::open(dir / "short.wav")->frames(), kTotal - 1001);
}

TEST(PlaySource, ConvertsBetweenKindsAndRefusesWhatItCannotRead) {
  const PcmFormat u8{1, 8000, 8, SampleKind::Integer}, s24{1, 8000, 24, SampleKind::Integer},
      f32{1, 8000, 32, SampleKind::Float};
  int16_t s16[3];
  const uint8_t bytes8[] = {0, 128, 255};
  ConvertSamples(bytes8, u8, 3, OutputKind::Int16, s16);
  EXPECT_EQ(s16[0], -32768);
  EXPECT_EQ(s16[1], 0);
  EXPECT_EQ(s16[2], 32512);
  int32_t s32[2];
  const uint8_t bytes24[] = {0x00, 0x00, 0x80, 0x56, 0x34, 0x12};
  ConvertSamples(bytes24, s24, 2, OutputKind::Int32, s32);
  EXPECT_EQ(s32[0], std::numeric_limits<int32_t>::min());
  EXPECT_EQ(s32[1], 0x12345600);
  ConvertSamples(bytes24, s24, 2, OutputKind::Int16, s16);
  EXPECT_EQ(s16[1], 0x1234);
  const float floats[] = {1.5f, -2.0f, 0.5f};
  ConvertSamples(reinterpret_cast<const uint8_t*>(floats), f32, 3, OutputKind::Int16, s16);
  EXPECT_EQ(s16[0], 32767);
  EXPECT_EQ(s16[1], -32768);
  EXPECT_EQ(s16[2], 16384);

  test::TempDir dir;
  EXPECT_EQ(test::ErrorOf([&] { PlaySource::open(dir / "none.wav"); }),
            format(msg::kCannotOpen, dir / "none.wav"));
  test::WriteBytes(dir / "noise.wav", Bytes(100, 7));
  EXPECT_NE(test::ErrorOf([&] { PlaySource::open(dir / "noise.wav"); }), "(no error)");
}

// A sparse hour: reading its last second from the end does not hold the
// file in memory.
TEST(PlaySource, AnHourLongSourceIsReadWhereAskedWithoutBeingHeld) {
  test::TempDir dir;
  constexpr int64_t kFrames = 3600LL * 48000;
  Bytes wav = test::MakeWav(2, 48000, 16, {});
  test::Set32(wav, 4, static_cast<uint32_t>(36 + kFrames * 4));
  test::Set32(wav, 40, static_cast<uint32_t>(kFrames * 4));
  test::WriteBytes(dir / "hour.wav", wav);
  std::filesystem::resize_file(dir / "hour.wav", 44 + kFrames * 4 - 4);
  {
    File f = File::openReadWrite(dir / "hour.wav");
    const int16_t last[2] = {1234, -4321};
    f.writeAt(44 + (kFrames - 2) * 4, last, 4);  // the frame before the last, which is cut short
  }
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto source = PlaySource::open(dir / "hour.wav");
  ASSERT_EQ(source->frames(), kFrames - 1);
  source->seek(kFrames - 48000);
  std::vector<int16_t> second(2 * 48000, 7);
  EXPECT_EQ(source->read(second.data(), 48000, OutputKind::Int16), 47999);
  EXPECT_EQ(second[2 * 47998], 1234);
  EXPECT_EQ(second[2 * 47998 + 1], -4321);
  EXPECT_EQ(second[0], 0);
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 50 * 1024) << "kB";  // the file is 660 MiB
}

TEST(PlaySource, RangesAroundACutEndAndStartOnItWithinTheData) {
  struct Row {
    int64_t cut, total;
    FrameRange before, after;
  };
  const Row rows[] = {
      {300000, 1000000, {300000 - 132300, 300000}, {300000, 300000 + 132300}},
      {100000, 1000000, {0, 100000}, {100000, 232300}},  // near the start
      {950000, 1000000, {950000 - 132300, 950000}, {950000, 1000000}},
      {1200000, 1000000, {1000000 - 132300, 1000000}, {1000000, 1000000}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(BeforeCut(r.cut, r.total, 44100, 3.0), r.before) << r.cut;
    EXPECT_EQ(AfterCut(r.cut, r.total, 44100, 3.0), r.after) << r.cut;
  }
}

}  // namespace
}  // namespace mv
