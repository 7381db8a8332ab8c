// FLAC sources and pieces against the flac and sox tools: what FlacSource
// reads is what `flac -d` decodes, in the WAVE layout; what FlacWriter makes
// passes `flac -t` and decodes to the bytes appended; damaged files raise the
// decode message and nothing past the damage; outputs never touch a source
// or what a link points at.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "cut/flac_ranges.h"
#include "cut/flac_sink.h"
#include "flac/flac_source.h"
#include "flac/flac_writer.h"
#include "tests/commands.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {
namespace {

using test::Bytes;
using test::Quote;
namespace fs = std::filesystem;

bool haveTools() {
  return std::system("command -v flac >/dev/null 2>&1 && command -v sox >/dev/null 2>&1") == 0;
}

int run(const std::string& cmd) { return test::StatusOf(std::system((cmd + " 2>/dev/null").c_str())); }

// Samples over the whole range of a depth, the extremes first; each written
// as the WAVE layout holds it (shifted to the high bits, 8 bits unsigned) or,
// unshifted, as flac's raw input takes it.
struct Samples {
  int bits, channels;
  int64_t frames;
  std::vector<int32_t> values;
};

Samples MakeSamples(int bits, int channels, int64_t frames) {
  Samples s{bits, channels, frames, {}};
  const int64_t lo = -(int64_t{1} << (bits - 1)), span = int64_t{1} << bits;
  uint64_t x = 12345;
  for (int64_t i = 0; i < frames * channels; ++i) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    // A slow wave with noise on it, so that the encoder has work to do.
    int64_t v = (i / channels % 400 < 200 ? span / 4 : -span / 4) + static_cast<int64_t>(x >> 40) % (span / 8);
    if (i < 2 * channels) v = i % 2 ? span / 2 - 1 : lo;
    s.values.push_back(static_cast<int32_t>(std::clamp(v, lo, span / 2 - 1)));
  }
  return s;
}

Bytes WaveLayout(const Samples& s) {
  const int width = (s.bits + 7) / 8, shift = width * 8 - s.bits;
  Bytes b;
  for (int32_t v : s.values) {
    uint32_t u = static_cast<uint32_t>(v) << shift;
    if (width == 1) u += 128;
    for (int i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(u >> (8 * i)));
  }
  return b;
}

Bytes RawSigned(const Samples& s) {
  const int width = (s.bits + 7) / 8;
  Bytes b;
  for (int32_t v : s.values)
    for (int i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
  return b;
}

// A WAVE file whose format record names the valid bits (extensible), which
// flac takes for a FLAC depth below the container's.
Bytes ExtensibleWave(const Samples& s, int rate) {
  const int width = (s.bits + 7) / 8;
  Bytes fmt = test::FormatRecord(s.channels, rate, width * 8, 0xFFFE);
  test::Put16(fmt, 22);
  test::Put16(fmt, static_cast<uint16_t>(s.bits));
  test::Put32(fmt, s.channels == 1 ? 4 : 3);
  const Bytes pcm = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  fmt.insert(fmt.end(), pcm.begin(), pcm.end());
  return test::Riff({test::Chunk("fmt ", fmt), test::Chunk("data", WaveLayout(s))});
}

// The data chunk of a WAVE file as flac -d writes it.
Bytes DataChunk(const Bytes& wave) {
  for (std::size_t at = 12; at + 8 <= wave.size();) {
    const uint32_t n = test::Get32(wave, at + 4);
    if (std::equal(wave.begin() + static_cast<std::ptrdiff_t>(at), wave.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                   "data"))
      return Bytes(wave.begin() + static_cast<std::ptrdiff_t>(at) + 8,
                   wave.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(at + 8 + n, wave.size())));
    at += 8 + n + (n & 1);
  }
  return {};
}

// What flac itself decodes the file to, in the WAVE layout.
Bytes FlacDecodes(const std::string& file, const test::TempDir& dir) {
  const std::string out = dir / "decoded.wav";
  EXPECT_EQ(run("flac -s -d -f -o " + Quote(out) + " " + Quote(file)), 0) << file;
  return DataChunk(test::ReadBytes(out));
}

Bytes ReadAll(ByteStream& in, std::size_t chunk) {
  Bytes all, buf(chunk);
  for (std::size_t n; (n = in.read(buf.data(), chunk)) > 0;)
    all.insert(all.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
  return all;
}

class Flac : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTools()) GTEST_SKIP() << "flac and sox make and check these files; one is not installed";
  }
  test::TempDir dir;
};

// ---- Reading ----

struct Fixture {
  std::string name;
  int bits, channels, rate;
  // Makes dir/in.flac from the samples (raw at dir/in.raw, or the WAVE file
  // at dir/in.wav, already written).
  std::string command;
  bool id3 = false;      // an ID3v2 tag put in front
  bool counted = false;  // STREAMINFO has no total
};
void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }

const std::string kRaw = "--force-raw-format --endian=little --sign=signed ";

class FlacReading : public Flac, public ::testing::WithParamInterface<Fixture> {};

TEST_P(FlacReading, BytesAreFlacsOwnDecodeInTheWaveLayout) {
  const Fixture& f = GetParam();
  const Samples samples = MakeSamples(f.bits, f.channels, 20000);
  test::WriteBytes(dir / "in.raw", RawSigned(samples));
  test::WriteBytes(dir / "in.wav", ExtensibleWave(samples, f.rate));
  std::string cmd = f.command;
  for (const auto& [key, value] : {std::pair<std::string, std::string>{"{raw}", Quote(dir / "in.raw")},
                                   {"{wav}", Quote(dir / "in.wav")},
                                   {"{out}", Quote(dir / "in.flac")}})
    if (const auto at = cmd.find(key); at != std::string::npos) cmd.replace(at, key.size(), value);
  ASSERT_EQ(run(cmd), 0) << cmd;
  std::string file = dir / "in.flac";
  const Bytes reference = FlacDecodes(file, dir);
  ASSERT_EQ(reference, WaveLayout(samples)) << "flac decodes other samples than were put in";
  if (f.id3) {
    Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 1, 4};  // a 132-byte body
    tagged.resize(10 + 132, 0);
    const Bytes plain = test::ReadBytes(file);
    tagged.insert(tagged.end(), plain.begin(), plain.end());
    file = dir / "tagged.flac";
    test::WriteBytes(file, tagged);
  }
  File probe = File::openRead(file);
  EXPECT_TRUE(IsFlacStream(probe));

  const auto source = FlacSource::open(file);
  const FlacStreamInfo& info = source->info();
  EXPECT_EQ(info.bits, f.bits);
  EXPECT_EQ(info.frames, samples.frames);
  EXPECT_EQ(info.format, (PcmFormat{static_cast<uint16_t>(f.channels), f.rate,
                                    static_cast<uint16_t>((f.bits + 7) / 8 * 8), SampleKind::Integer}));
  EXPECT_EQ(source->size(), static_cast<int64_t>(reference.size()));
  // Reads that do not keep to frames or libFLAC's blocks.
  EXPECT_EQ(ReadAll(*source, 1001), reference);

  // Back to a frame in the middle, to the start, and to the end.
  const int64_t frameBytes = info.format.frameBytes(), middle = 12345 * frameBytes;
  source->seek(middle);
  EXPECT_EQ(ReadAll(*source, 4096), Bytes(reference.begin() + middle, reference.end()));
  source->seek(0);
  Bytes head(5000);
  ASSERT_EQ(source->read(head.data(), head.size()), head.size());
  EXPECT_EQ(head, Bytes(reference.begin(), reference.begin() + 5000));
  source->seek(source->size());
  EXPECT_EQ(source->read(head.data(), head.size()), 0u);
  if (frameBytes > 1) {
    EXPECT_EQ(test::ErrorOf([&] { source->seek(middle + 1); }), msg::kRangeError);
  }
  EXPECT_EQ(test::ErrorOf([&] { source->seek(source->size() + frameBytes); }), msg::kRangeError);
  EXPECT_EQ(test::ErrorOf([&] { source->write("x", 1); }), msg::kWriteError);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FlacReading,
    ::testing::Values(
        Fixture{"sox_16bit_stereo", 16, 2, 44100, "sox -t raw -e signed -b 16 -r 44100 -c 2 {raw} {out}"},
        Fixture{"flac_24bit_stereo", 24, 2, 96000,
                "flac -s " + kRaw + "--channels=2 --bps=24 --sample-rate=96000 -o {out} {raw}"},
        Fixture{"flac_32bit_stereo", 32, 2, 48000,
                "flac -s " + kRaw + "--channels=2 --bps=32 --sample-rate=48000 -o {out} {raw}"},
        Fixture{"flac_8bit_mono", 8, 1, 22050,
                "flac -s " + kRaw + "--channels=1 --bps=8 --sample-rate=22050 -o {out} {raw}"},
        // Depths flac takes from a WAVE file's valid bits.
        Fixture{"flac_12bit_stereo", 12, 2, 48000, "flac -s -o {out} {wav}"},
        Fixture{"flac_20bit_mono", 20, 1, 44100, "flac -s -o {out} {wav}"},
        Fixture{"id3v2_in_front", 16, 2, 44100, "sox -t raw -e signed -b 16 -r 44100 -c 2 {raw} {out}", true},
        // Through a pipe flac cannot go back to write the total.
        Fixture{"no_total", 16, 2, 44100,
                "cat {raw} | flac -s " + kRaw + "--channels=2 --bps=16 --sample-rate=44100 - -c > {out}", false,
                true}),
    [](const auto& row) { return row.param.name; });

// A damaged file gives its bytes up to the damage and then the decode
// message, never the samples after it nor samples made up.
struct Damage {
  std::string name;
  std::function<void(Bytes&, const Bytes& threeChannels)> apply;
  bool atOpen = false;
  std::string_view error = msg::kFlacDecodeError;
};
void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class FlacDamage : public Flac, public ::testing::WithParamInterface<Damage> {};

TEST_P(FlacDamage, RaisesTheDecodeMessageAfterIntactBytes) {
  const Damage& d = GetParam();
  const Samples samples = MakeSamples(16, 2, 40000);
  test::WriteBytes(dir / "in.raw", RawSigned(samples));
  const std::string sox = "sox -t raw -e signed -b 16 -r 44100 -c ";
  ASSERT_EQ(run(sox + "3 " + Quote(dir / "in.raw") + " " + Quote(dir / "three.flac")), 0);
  ASSERT_EQ(run(sox + "2 " + Quote(dir / "in.raw") + " " + Quote(dir / "in.flac")), 0);
  const Bytes reference = WaveLayout(samples);
  Bytes bytes = test::ReadBytes(dir / "in.flac");
  d.apply(bytes, test::ReadBytes(dir / "three.flac"));
  const std::string file = dir / "damaged.flac";
  test::WriteBytes(file, bytes);
  const std::string expected = d.error == msg::kFlacDecodeError ? format(d.error, file) : std::string(d.error);
  if (d.atOpen) {
    EXPECT_EQ(test::ErrorOf([&] { FlacSource::open(file); }), expected);
    return;
  }
  const auto source = FlacSource::open(file);
  Bytes got, buf(3000);
  const std::string error = test::ErrorOf([&] {
    for (std::size_t n; (n = source->read(buf.data(), buf.size())) > 0;)
      got.insert(got.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
  });
  EXPECT_EQ(error, expected);
  ASSERT_GT(got.size(), reference.size() / 4) << "the bytes before the damage are given";
  ASSERT_LT(got.size(), reference.size());
  EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin()));
  // A read after the error raises it again rather than going on past it.
  EXPECT_EQ(test::ErrorOf([&] { source->read(buf.data(), buf.size()); }), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FlacDamage,
    ::testing::Values(
        Damage{"cut_short", [](Bytes& b, const Bytes&) { b.resize(b.size() * 6 / 10); }},
        Damage{"byte_flipped_in_a_frame", [](Bytes& b, const Bytes&) { b[b.size() * 6 / 10] ^= 0x55; }},
        Damage{"no_flac", [](Bytes& b, const Bytes&) { b = test::MakeWav(2, 44100, 16, Bytes(400, 0)); }, true},
        Damage{"empty", [](Bytes& b, const Bytes&) { b.clear(); }, true},
        Damage{"inside_streaminfo", [](Bytes& b, const Bytes&) { b.resize(30); }, true},
        Damage{"three_channels", [](Bytes& b, const Bytes& three) { b = three; }, true, msg::kUnsupported}),
    [](const auto& row) { return row.param.name; });

// ---- Writing ----

struct Piece {
  std::string name;
  int bits, channels, rate;
};
void PrintTo(const Piece& p, std::ostream* os) { *os << p.name; }

PcmFormat LayoutOf(const Piece& p) {
  return {static_cast<uint16_t>(p.channels), p.rate, static_cast<uint16_t>((p.bits + 7) / 8 * 8), SampleKind::Integer};
}

// Appends in blocks that split frames, as a copy loop with its own chunk
// size does.
void AppendInPieces(FlacWriter& w, const Bytes& bytes, std::size_t chunk = 1001) {
  for (std::size_t at = 0; at < bytes.size(); at += chunk)
    w.append(bytes.data() + at, std::min(chunk, bytes.size() - at));
}

class FlacWriting : public Flac, public ::testing::WithParamInterface<Piece> {};

TEST_P(FlacWriting, FinishedPieceIsCheckedByFlacAndDecodesToTheBytesAppended) {
  const Piece& p = GetParam();
  // Long enough for a second seek point.
  const Bytes bytes = WaveLayout(MakeSamples(p.bits, p.channels, p.rate * 12));
  const std::string out = dir / "piece.flac";
  std::vector<std::pair<std::string, int64_t>> closed;
  FlacWriter w([&](const std::string& path, int64_t size) { closed.emplace_back(path, size); });
  w.create(out, LayoutOf(p), p.bits);
  AppendInPieces(w, bytes);
  EXPECT_FALSE(test::Exists(out)) << "the name shows no file before it is complete";
  EXPECT_EQ(w.size(), static_cast<int64_t>(bytes.size()));
  w.finish();
  EXPECT_FALSE(w.isOpen());

  EXPECT_EQ(run("flac -s -t " + Quote(out)), 0);
  EXPECT_EQ(FlacDecodes(out, dir), bytes);
  const auto source = FlacSource::open(out);
  EXPECT_EQ(source->info().bits, p.bits);
  EXPECT_EQ(ReadAll(*source, 65536), bytes);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0], std::pair(out, static_cast<int64_t>(fs::file_size(out))));
  // The MD5 of the samples and a seek table with points, as metaflac reads them.
  EXPECT_EQ(run("metaflac --show-md5sum " + Quote(out) + " | grep -qv '^0*$'"), 0);
  EXPECT_EQ(run("metaflac --list --block-type=SEEKTABLE " + Quote(out) + " | grep -q 'point 1: sample_number=" +
                std::to_string(p.rate * 10 / 4096 * 4096) + "'"),
            0)
      << "a point at the frame holding the tenth second";
  EXPECT_EQ(test::FileNames(dir.path(), "."), std::vector<std::string>{}) << "no hidden file stays";
}

INSTANTIATE_TEST_SUITE_P(Depths, FlacWriting,
                         ::testing::Values(Piece{"16bit_stereo", 16, 2, 44100}, Piece{"24bit_stereo", 24, 2, 48000},
                                           Piece{"12bit_stereo", 12, 2, 32000}, Piece{"8bit_mono", 8, 1, 11025},
                                           Piece{"32bit_mono", 32, 1, 22050}),
                         [](const auto& row) { return row.param.name; });

TEST_F(Flac, AbandonedOrWithAPartialFrameLeftTheWholeFramesMakeAValidFile) {
  const Piece p{"", 16, 2, 44100};
  const Bytes bytes = WaveLayout(MakeSamples(16, 2, 30000));
  for (const bool finishing : {false, true}) {
    const std::string out = dir / (finishing ? "finished.flac" : "abandoned.flac");
    int closed = 0;
    FlacWriter w([&](const std::string&, int64_t) { ++closed; });
    w.create(out, LayoutOf(p), 16);
    AppendInPieces(w, Bytes(bytes.begin(), bytes.begin() + 20000 * 4 + 3));
    if (finishing)
      EXPECT_EQ(test::ErrorOf([&] { w.finish(); }), format(msg::kFlacEncodeError, out));
    else
      w.abandon();
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(run("flac -s -t " + Quote(out)), 0) << out;
    EXPECT_EQ(FlacDecodes(out, dir), Bytes(bytes.begin(), bytes.begin() + 20000 * 4)) << out;
  }
  // Gone out of scope half way: the same.
  {
    FlacWriter w;
    w.create(dir / "dropped.flac", LayoutOf(p), 16);
    AppendInPieces(w, Bytes(bytes.begin(), bytes.begin() + 4000));
  }
  EXPECT_EQ(FlacDecodes(dir / "dropped.flac", dir), Bytes(bytes.begin(), bytes.begin() + 4000));
  EXPECT_EQ(test::FileNames(dir.path(), "."), std::vector<std::string>{});
}

TEST_F(Flac, ASourceIsRefusedAndALinkIsReplacedNotWrittenThrough) {
  const Bytes bytes = WaveLayout(MakeSamples(16, 2, 5000));
  const PcmFormat layout{2, 44100, 16, SampleKind::Integer};
  const std::string source = dir / "source.flac", elsewhere = dir / "elsewhere.wav";
  test::WriteBytes(source, {1, 2, 3});
  test::WriteBytes(elsewhere, {4, 5, 6});
  fs::create_symlink(source, dir / "to_source.flac");
  fs::create_symlink(elsewhere, dir / "link.flac");
  const OutputRules rules{{*IdentityOf(source)}, msg::kJoinOutputIsSource};
  for (const std::string& target : {source, dir / "to_source.flac"}) {
    FlacWriter w({}, rules);
    EXPECT_EQ(test::ErrorOf([&] { w.create(target, layout, 16); }), msg::kJoinOutputIsSource) << target;
    EXPECT_FALSE(w.isOpen());
  }
  EXPECT_EQ(test::ReadBytes(source), (Bytes{1, 2, 3}));

  FlacWriter w({}, rules);
  w.create(dir / "link.flac", layout, 16);
  w.append(bytes.data(), bytes.size());
  w.finish();
  EXPECT_FALSE(fs::is_symlink(dir / "link.flac"));
  EXPECT_EQ(FlacDecodes(dir / "link.flac", dir), bytes);
  EXPECT_EQ(test::ReadBytes(elsewhere), (Bytes{4, 5, 6}));

  // Names that cannot be made: nothing is left behind.
  fs::create_directory(dir / "folder.flac");
  for (const std::string& target : {dir / "folder.flac", dir / "missing/piece.flac"}) {
    FlacWriter bad;
    EXPECT_EQ(test::ErrorOf([&] { bad.create(target, layout, 16); }), format(msg::kCannotCreate, target));
  }
  EXPECT_EQ(test::FileNames(dir.path(), "."), std::vector<std::string>{});
  // Bits below the depth would be lost: the samples are refused.
  FlacWriter narrow;
  narrow.create(dir / "narrow.flac", layout, 12);
  EXPECT_EQ(test::ErrorOf([&] { narrow.append(bytes.data(), bytes.size()); }),
            format(msg::kFlacEncodeError, dir / "narrow.flac"));
}

// ---- Pieces encoded on the sink's worker ----

// A cut's calls to its sink: pieces of so many frames, a sample with bits
// below the depth in one, a folder in the way of another, or a stop half way
// through one. The sink must leave what a writer on the cut's own thread
// leaves, byte for byte, say the same error and tell of the same files in
// the same order, on the cut's thread.
struct SinkRun {
  std::string name;
  int bits;
  std::vector<int64_t> pieces;  // frames
  int badSampleIn = 0;          // piece numbers, from 1
  int folderAt = 0;
  int stopIn = 0;
  bool fails = false;
};
void PrintTo(const SinkRun& r, std::ostream* os) { *os << r.name; }

struct SinkOutcome {
  std::string error;
  std::vector<std::string> told;  // names of the files the host heard of
  std::vector<std::string> files;
};

// Plays the run on `sink`-like calls; `stop` is the cancel.
template <class Start, class Write, class Finish, class Stop, class Close>
std::string PlayRun(const SinkRun& r, const Bytes& bytes, int frameBytes, Start start, Write write, Finish finish,
                    Stop stop, Close close) {
  return test::ErrorOf([&] {
    std::size_t at = 0;
    for (std::size_t u = 0; u < r.pieces.size(); ++u) {
      const int number = static_cast<int>(u) + 1;
      const std::size_t end = at + static_cast<std::size_t>(r.pieces[u] * frameBytes);
      start(number);
      // Parts that split frames, as the cut's are not.
      const std::size_t until = number == r.stopIn ? at + (end - at) / 2 : end;
      for (std::size_t chunk = 65539; at < until; at += std::min(chunk, until - at))
        write(bytes.data() + at, std::min(chunk, until - at));
      if (number == r.stopIn) {
        stop();
        return;
      }
      finish();
    }
    close();
  });
}

class FlacSinkRuns : public Flac, public ::testing::WithParamInterface<SinkRun> {};

TEST_P(FlacSinkRuns, LeaveWhatAWriterOnTheCutsThreadLeaves) {
  const SinkRun& r = GetParam();
  int64_t frames = 0;
  for (const int64_t n : r.pieces) frames += n;
  Bytes bytes = WaveLayout(MakeSamples(r.bits, 2, frames));
  if (r.badSampleIn > 0) {
    int64_t before = 0;
    for (int u = 1; u < r.badSampleIn; ++u) before += r.pieces[static_cast<std::size_t>(u - 1)];
    bytes[static_cast<std::size_t>((before + r.pieces[static_cast<std::size_t>(r.badSampleIn - 1)] / 2) * 4)] |= 1;
  }
  FlacStreamInfo info;
  info.format = PcmFormat{2, 44100, 16, SampleKind::Integer};
  info.bits = r.bits;
  const std::thread::id cutThread = std::this_thread::get_id();

  enum class Way { Writer, Sink, Ranges };
  auto outcome = [&](const std::string& folder, Way way) {
    fs::create_directory(folder);
    if (r.folderAt > 0) fs::create_directory(PieceName(folder, r.folderAt, ".flac"));
    SinkOutcome o;
    auto told = [&](const std::string& path, int64_t size) {
      EXPECT_EQ(std::this_thread::get_id(), cutThread) << "the host is told on the cut's thread";
      EXPECT_EQ(size, static_cast<int64_t>(fs::file_size(path)));
      o.told.push_back(fs::path(path).filename());
    };
    if (way == Way::Ranges) {
      // The pieces read back from the source by two workers; the cancel
      // comes once the pieces before the one it stops in are told of.
      std::vector<PieceRange> ranges;
      int64_t at = 0;
      for (const int64_t n : r.pieces) {
        ranges.push_back({at * 4, n * 4});
        at += n;
      }
      // The piece the cancel stops in, and those after it, are not read
      // until the cancel is asked for: else busy workers could end them all
      // before the host is looked at again, and the run would be complete.
      std::atomic<bool> asked{r.stopIn <= 1};
      const int64_t gate = r.stopIn > 1 ? ranges[static_cast<std::size_t>(r.stopIn - 1)].offset : INT64_MAX;
      auto gated = [&](const std::string&) {
        auto in = std::make_unique<test::WatchedStream>(bytes);
        in->beforeRead = [&](int64_t from, std::size_t n) {
          for (int i = 0; i < 20000 && !asked && from + static_cast<int64_t>(n) > gate; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        return in;
      };
      FlacRangesJob job{gated,
                        "source", 0, info, {}, PieceOutputs(folder, {}, ".flac"), told, {}};
      test::RecordingHost host;
      // A cancel in the first piece is asked for as the run starts: that
      // piece may be encoded before the host is first looked at.
      host.cancel = r.stopIn == 1;
      host.onPump = [&] {
        if (r.stopIn > 0 && o.told.size() + 1 >= static_cast<std::size_t>(r.stopIn)) {
          host.cancel = true;
          asked = true;
        }
      };
      bool complete = false;
      o.error = test::ErrorOf([&] { complete = WriteFlacRanges(job, ranges, host); });
      EXPECT_EQ(complete, r.stopIn == 0 && !r.fails);
    } else if (way == Way::Sink) {
      // A queue of one job's bytes, so that the cut waits on the workers.
      FlacSink sink(PieceOutputs(folder, {}, ".flac"), info, told, {}, 1 << 20);
      o.error = PlayRun(
          r, bytes, 4, [&](int u) { sink.start(u); }, [&](const uint8_t* p, std::size_t n) { sink.write(p, n); },
          [&] { sink.finish(); },
          [&] {
            sink.abandon();
            // Every piece is complete once the stop returns.
            EXPECT_EQ(test::FileNames(folder, "mv"), test::FileNames(folder + "/../one", "mv"));
          },
          [&] { sink.close(); });
    } else {
      FlacWriter w(told, {});
      o.error = PlayRun(
          r, bytes, 4, [&](int u) { w.create(PieceName(folder, u, ".flac"), info.format, info.bits); },
          [&](const uint8_t* p, std::size_t n) { w.append(p, n); }, [&] { w.finish(); }, [&] { w.abandon(); },
          [] {});
    }
    if (const auto at = o.error.find(folder); at != std::string::npos) o.error.replace(at, folder.size(), "DIR");
    o.files = test::FileNames(folder, "");
    return o;
  };
  const std::string one = dir / "one", two = dir / "two", three = dir / "three";
  const SinkOutcome want = outcome(one, Way::Writer);
  const SinkOutcome got = outcome(two, Way::Sink);
  EXPECT_EQ(!want.error.empty() && want.error != "(no error)", r.fails) << want.error;
  EXPECT_EQ(got.error, want.error);
  EXPECT_EQ(got.told, want.told);
  EXPECT_EQ(got.files, want.files);
  ASSERT_FALSE(want.told.empty());
  for (const std::string& name : want.told) {
    EXPECT_EQ(test::ReadBytes(two + "/" + name), test::ReadBytes(one + "/" + name)) << name;
    EXPECT_EQ(run("flac -s -t " + Quote(two + "/" + name)), 0) << name;
  }
  // From the ranges: the same, but that a cancel is seen a little later, in
  // the piece it stopped or in one after it, which is then kept cut short.
  const SinkOutcome ranged = outcome(three, Way::Ranges);
  EXPECT_EQ(ranged.error, want.error);
  std::vector<std::string> left = ranged.told;  // no hidden file is left
  if (r.folderAt > 0) left.push_back(fs::path(PieceName(three, r.folderAt, ".flac")).filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(ranged.files, left);
  if (r.stopIn == 0) {
    EXPECT_EQ(ranged.told, want.told);
  } else {
    // Every piece before the one stopped; that one too, cut short, unless
    // the cancel came before its first bytes (as the run starts).
    const auto before = static_cast<std::size_t>(r.stopIn - 1);
    ASSERT_GE(ranged.told.size(), r.stopIn == 1 ? before : before + 1);
    EXPECT_TRUE(std::equal(want.told.begin(), want.told.begin() + static_cast<std::ptrdiff_t>(before),
                           ranged.told.begin()));
  }
  int64_t at = 0;
  for (std::size_t u = 0; u < ranged.told.size(); ++u) {
    const Bytes piece = FlacDecodes(three + "/" + ranged.told[u], dir);
    const auto size = static_cast<std::size_t>(r.pieces[u] * 4);
    const Bytes whole(bytes.begin() + at, bytes.begin() + at + static_cast<std::ptrdiff_t>(size));
    if (u + 1 == ranged.told.size() && (r.stopIn > 0 || r.fails))
      EXPECT_TRUE(piece.size() <= size && std::equal(piece.begin(), piece.end(), whole.begin())) << u;
    else
      EXPECT_EQ(piece, whole) << u;
    at += static_cast<std::ptrdiff_t>(size);
  }
  if (!r.fails && r.stopIn == 0) {
    // The pieces together are the bytes given.
    Bytes all;
    for (const std::string& name : got.told) {
      const Bytes piece = FlacDecodes(two + "/" + name, dir);
      all.insert(all.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(all, bytes);
  }
}

// More than the sink's queue holds in all, in pieces longer and shorter
// than its jobs.
INSTANTIATE_TEST_SUITE_P(
    Runs, FlacSinkRuns,
    ::testing::Values(SinkRun{"whole", 16, {300000, 700000, 1000, 250000}},
                      SinkRun{"many_short", 16, {5, 4096, 4097, 1, 30000, 2, 3, 70000}},
                      SinkRun{"bits_below_the_depth", 12, {300000, 400000, 300000, 200000}, 3, 0, 0, true},
                      SinkRun{"folder_at_a_name", 16, {300000, 400000, 300000}, 0, 2, 0, true},
                      SinkRun{"stopped_half_way", 16, {300000, 700000, 300000}, 0, 0, 2},
                      SinkRun{"stopped_in_the_first", 16, {900000}, 0, 0, 1},
                      // Pieces encoded side by side and ending out of order;
                      // a failed piece with shorter ones after it, which
                      // are encoded before the failure is found.
                      SinkRun{"twelve", 16, {300000, 2000, 150000, 1, 4096, 250000, 3, 70000, 5000, 200000, 10, 4097}},
                      SinkRun{"twelve_folder_at_5", 16, {300000, 2000, 150000, 1, 400000, 3000, 3, 7000, 5000, 20, 10, 4097},
                              0, 5, 0, true},
                      SinkRun{"twelve_bits_below_the_depth_in_5", 12,
                              {300000, 2000, 150000, 1, 600000, 3000, 3, 7000, 5000, 20, 10, 4097}, 5, 0, 0, true},
                      SinkRun{"twelve_stopped_in_7", 16, {300000, 2000, 150000, 1, 4096, 250000, 300000, 7000}, 0, 0, 7}),
    [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace mv
