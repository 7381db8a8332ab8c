// A piece's tags as other programs read them: the LIST/INFO chunk of a WAVE
// piece through ffprobe, with its samples through sox and Morvane's own
// reader; the Vorbis comments and the cover of a FLAC piece through metaflac,
// with its samples through flac. Without tags every byte stays as it was.
// Covers other than a PNG or JPEG within the limit are refused.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "cut/short_pieces.h"
#include "flac/flac_source.h"
#include "flac/flac_writer.h"
#include "tests/commands.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/header.h"
#include "wave/layout.h"
#include "wave/tags.h"
#include "wave/writer.h"

namespace mv {
namespace {

using test::Bytes;
using test::Quote;
namespace fs = std::filesystem;

int run(const std::string& cmd) { return test::StatusOf(std::system((cmd + " 2>/dev/null").c_str())); }

// What a command prints, through a file.
std::string Output(const std::string& cmd, const test::TempDir& dir) {
  const std::string out = dir / "output.txt";
  EXPECT_EQ(run(cmd + " > " + Quote(out)), 0) << cmd;
  return test::ReadText(out);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Frames of every sample width, from a running number so that no two frames
// are alike.
Bytes Samples(const PcmFormat& f, int64_t frames) {
  Bytes b;
  uint32_t x = 1;
  for (int64_t i = 0; i < frames * f.channels; ++i) {
    x = x * 1664525u + 1013904223u;
    for (int k = 0; k < f.bytesPerSample(); ++k) b.push_back(static_cast<uint8_t>(x >> (8 * (k % 3) + 5)));
    // A float sample stays a small finite number.
    if (f.isFloat()) b.back() = 0x3C;
  }
  return b;
}

// 16-bit frames of two tones and a little noise: what a stronger level
// packs tighter.
Bytes Tones(int64_t frames) {
  Bytes b;
  uint32_t x = 1;
  for (int64_t i = 0; i < frames * 2; ++i) {
    x = x * 1664525u + 1013904223u;
    const double t = static_cast<double>(i / 2) / 44100;
    const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * t) + 5000 * std::sin(2 * M_PI * 1230 * t) +
                                        static_cast<int>(x >> 28));
    test::Put16(b, static_cast<uint16_t>(v));
  }
  return b;
}

// The file without its LIST and JUNK chunks and with the RIFF size that
// leaves: what the same writer makes without tags.
Bytes WithoutInfo(const Bytes& file) {
  Bytes out(file.begin(), file.begin() + 12);
  bool format = false;  // a JUNK chunk before it is the room for RF64 sizes
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::string id(file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(at) + 4);
    const uint32_t n = test::Get32(file, at + 4);
    const std::size_t end = id == "data" ? file.size() : at + 8 + n + (n & 1);
    format = format || id == "fmt ";
    if (id != "LIST" && (id != "JUNK" || !format)) out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at), file.begin() + static_cast<std::ptrdiff_t>(end));
    at = end;
  }
  test::Set32(out, 4, static_cast<uint32_t>(out.size() - 8));
  return out;
}

enum class Image { None, Png, Jpeg };

struct TagRow {
  std::string name;
  Tags tags;
  Image cover = Image::None;
  int32_t level = 5;
};
void PrintTo(const TagRow& r, std::ostream* os) { *os << r.name; }

Tags Make(std::string title, std::string artist = {}, std::string album = {}, int32_t track = 0) {
  Tags t;
  t.title = std::move(title);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.track = track;
  return t;
}

Tags AllFields() {
  Tags t = Make("Song of the Sea", "The Band", "Tides", 3);
  t.albumArtist = "Various";
  t.year = "1999";
  t.genre = "Rock";
  t.trackTotal = 12;
  t.disc = 1;
  t.discTotal = 2;
  return t;
}

Tags JustGenre() {
  Tags t;
  t.genre = "Jazz";
  t.year = "2024";
  return t;
}

// What ffprobe shows of a WAVE piece's INFO, and what metaflac exports of a
// FLAC piece's comments, in order.
std::map<std::string, std::string> InfoExpected(const Tags& t) {
  std::map<std::string, std::string> m;
  if (!t.title.empty()) m["title"] = t.title;
  if (!t.artist.empty()) m["artist"] = t.artist;
  if (!t.album.empty()) m["album"] = t.album;
  if (t.track > 0) m["track"] = std::to_string(t.track);
  if (!t.year.empty()) m["date"] = t.year;
  if (!t.genre.empty()) m["genre"] = t.genre;
  return m;
}

std::vector<std::string> CommentsExpected(const Tags& t) {
  std::vector<std::string> c;
  auto add = [&](const char* name, const std::string& v) {
    if (!v.empty()) c.push_back(std::string(name) + "=" + v);
  };
  add("TITLE", t.title);
  add("ARTIST", t.artist);
  add("ALBUM", t.album);
  add("ALBUMARTIST", t.albumArtist);
  for (const auto& [name, v] : {std::pair{"TRACKNUMBER", t.track}, {"TRACKTOTAL", t.trackTotal},
                                {"DISCNUMBER", t.disc}, {"DISCTOTAL", t.discTotal}})
    if (v > 0) c.push_back(std::string(name) + "=" + std::to_string(v));
  add("DATE", t.year);
  add("GENRE", t.genre);
  return c;
}

std::map<std::string, std::string> FfprobeTags(const std::string& file, const test::TempDir& dir) {
  std::map<std::string, std::string> tags;
  for (const std::string& line : Lines(Output("ffprobe -v error -show_entries format_tags -of default=nw=1 " +
                                              Quote(file), dir))) {
    const auto eq = line.find('=');
    if (line.starts_with("TAG:") && eq != std::string::npos) tags[line.substr(4, eq - 4)] = line.substr(eq + 1);
  }
  return tags;
}

// The type names of the blocks, in order, as metaflac lists them.
std::vector<std::string> BlockTypes(const std::string& file, const test::TempDir& dir) {
  std::vector<std::string> types;
  const std::vector<std::string> lines = Lines(Output("metaflac --list " + Quote(file), dir));
  // Each block's first line after its number gives its type.
  for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    if (const auto open = lines[i + 1].find('('); lines[i].starts_with("METADATA block #") && open != std::string::npos)
      types.push_back(lines[i + 1].substr(open + 1, lines[i + 1].find(')') - open - 1));
  return types;
}

class Tagged : public ::testing::TestWithParam<TagRow> {
 protected:
  void SetUp() override {
    for (const char* tool : {"ffprobe", "ffmpeg", "sox", "flac", "metaflac"})
      if (!test::HaveTool(tool)) GTEST_SKIP() << tool << " reads these files back; it is not installed";
    const TagRow& r = GetParam();
    tags = r.tags;
    if (r.cover != Image::None) {
      cover = dir / (r.cover == Image::Png ? "cover.png" : "cover.jpg");
      ASSERT_EQ(run("ffmpeg -v error -f lavfi -i color=red:s=64x48 -frames:v 1 " + Quote(cover)), 0);
      tags.cover = LoadCover(cover);
    }
  }
  test::TempDir dir;
  Tags tags;
  std::string cover;
};

// In a listed format, one with the extensible record and one of floats with
// its fact chunk: the info sits behind each, and Morvane's word search, sox
// and ffprobe find the data where it is.
TEST_P(Tagged, WavePieceCarriesTheInfoChunkAndItsSamples) {
  const Bytes info = InfoChunk(tags);
  EXPECT_EQ(info.empty(), InfoExpected(tags).empty());
  EXPECT_EQ(info.size() % 4, 0u) << "the data chunk stays on the word grid";
  const PcmFormat listed{2, 44100, 16, SampleKind::Integer}, small{1, 11025, 8, SampleKind::Integer},
      wide{2, 96000, 24, SampleKind::Integer}, floats{1, 48000, 32, SampleKind::Float};
  for (const auto& [label, header] : {std::pair<std::string, OutputHeader>{"listed", {listed, std::nullopt, info}},
                                      {"listed_8bit", {small, std::nullopt, info}},
                                      {"24bit", {wide, ExtendedHeader(wide, {}, false), info}},
                                      {"float", {floats, ExtendedHeader(floats, {}, true), info}}}) {
    SCOPED_TRACE(label);
    const PcmFormat& f = header.format;
    // More than the 1 MiB a refresh waits for, in blocks that split it.
    const Bytes samples = Samples(f, (3 << 20) / f.frameBytes() / 2);
    const std::string file = dir / (label + ".wav"), plain = dir / (label + "-plain.wav");
    WaveWriter w;
    w.create(file, header);
    // Valid at every moment: whatever the sizes say is there, the data where
    // the header ends.
    for (std::size_t at = 0; at <= samples.size(); at += 700001) {
      const WaveLayout seen = ReadWaveLayout(file);
      EXPECT_EQ(seen.dataOffset, w.headerSize());
      EXPECT_LE(seen.dataOffset + seen.dataBytes, w.size());
      EXPECT_EQ(test::Get32(test::ReadBytes(file), 4) + 8u, static_cast<uint32_t>(seen.dataOffset + seen.dataBytes));
      w.append(samples.data() + at, std::min<std::size_t>(700001, samples.size() - at));
    }
    w.finish();
    WaveWriter untagged;
    untagged.create(plain, OutputHeader(f, header.extended));
    untagged.append(samples.data(), samples.size());
    untagged.finish();

    const Bytes bytes = test::ReadBytes(file);
    if (info.empty()) {
      EXPECT_EQ(bytes, test::ReadBytes(plain));
      if (!header.extended) {
        EXPECT_EQ(bytes, test::MakeWav(f.channels, f.sampleRate, f.bitsPerSample, samples))
            << "the 44-byte header of today";
      }
    } else {
      EXPECT_EQ(WithoutInfo(bytes), test::ReadBytes(plain)) << "only the chunk is added";
    }
    const WaveLayout layout = ReadWaveLayout(file);
    EXPECT_EQ(layout.dataOffset, static_cast<int64_t>(bytes.size() - samples.size()));
    EXPECT_EQ(layout.dataBytes, static_cast<int64_t>(samples.size()));
    File in = File::openRead(file);
    EXPECT_EQ(CheckWaveFormat(in).format, f);
    EXPECT_EQ(FfprobeTags(file, dir), InfoExpected(tags));
    ASSERT_EQ(run("ffmpeg -v error -i " + Quote(file) + " -map 0:a -c copy -f data -y " + Quote(dir / "ffmpeg.raw")), 0);
    EXPECT_EQ(test::ReadBytes(dir / "ffmpeg.raw"), samples) << "ffmpeg reads the samples";
    // sox takes samples through integers: floats would not come back bit for bit.
    if (f.isFloat()) continue;
    ASSERT_EQ(run("sox " + Quote(file) + " -t raw " + Quote(dir / "sox.raw")), 0);
    EXPECT_EQ(test::ReadBytes(dir / "sox.raw"), samples) << "sox reads the samples";
  }
}

TEST_P(Tagged, FlacPieceCarriesTheCommentsAndTheCover) {
  const TagRow& r = GetParam();
  const PcmFormat f{2, 44100, 16, SampleKind::Integer};
  // Past ten seconds, for a second seek point.
  const Bytes samples = Samples(f, 44100 * 11);
  const std::string file = dir / "piece.flac";
  FlacWriter w;
  w.create(file, f, 16, FlacOptions{r.level, tags});
  w.append(samples.data(), samples.size());
  w.finish();

  EXPECT_EQ(run("flac -s -t " + Quote(file)), 0);
  ASSERT_EQ(run("flac -s -d -f --force-raw-format --endian=little --sign=signed -o " + Quote(dir / "flac.raw") +
                " " + Quote(file)),
            0);
  EXPECT_EQ(test::ReadBytes(dir / "flac.raw"), samples);
  std::vector<std::string> types = {"STREAMINFO", "VORBIS_COMMENT", "SEEKTABLE"};
  if (tags.cover) types.insert(types.begin() + 2, "PICTURE");
  EXPECT_EQ(BlockTypes(file, dir), types);
  EXPECT_EQ(Lines(Output("metaflac --export-tags-to=- " + Quote(file), dir)), CommentsExpected(tags));
  EXPECT_NE(Output("metaflac --show-vendor-tag " + Quote(file), dir).find("libFLAC"), std::string::npos);
  if (tags.cover) {
    ASSERT_EQ(run("metaflac --export-picture-to=" + Quote(dir / "picture") + " " + Quote(file)), 0);
    EXPECT_EQ(test::ReadBytes(dir / "picture"), test::ReadBytes(cover));
    const std::string listed = Output("metaflac --list --block-type=PICTURE " + Quote(file), dir);
    for (const std::string& line : {std::string("type: 3 (Cover (front))"), "MIME type: " + tags.cover->mime,
                                    std::string("width: 64"), std::string("height: 48"), std::string("depth: 24")})
      EXPECT_NE(listed.find(line), std::string::npos) << line << " in\n" << listed;
  }
  // The seek table, patched behind the blocks before it: its second point
  // leads to a frame's sync code.
  const Bytes bytes = test::ReadBytes(file);
  std::size_t frames = 4;
  for (bool last = false; !last;) {
    last = bytes[frames] & 0x80;
    frames += 4 + (std::size_t{bytes[frames + 1]} << 16 | std::size_t{bytes[frames + 2]} << 8 | bytes[frames + 3]);
  }
  const std::string table = Output("metaflac --list --block-type=SEEKTABLE " + Quote(file), dir);
  const auto at = table.find("point 1: sample_number=");
  ASSERT_NE(at, std::string::npos) << table;
  const auto offset = std::stoull(table.substr(table.find("stream_offset=", at) + 14));
  ASSERT_GT(offset, 0u);
  ASSERT_LT(frames + offset + 1, bytes.size());
  EXPECT_EQ(bytes[frames + offset], 0xFF);
  EXPECT_EQ(bytes[frames + offset + 1] & 0xFE, 0xF8);
  // Morvane reads its own piece back, and seeks in it.
  const auto source = FlacSource::open(file);
  source->seek(44100 * 10 * 4);
  Bytes tail(samples.size() - 44100 * 10 * 4);
  source->readFull(tail.data(), tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), samples.end() - static_cast<std::ptrdiff_t>(tail.size())));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Tagged,
    ::testing::Values(
        TagRow{"none", Tags{}},
        TagRow{"all_fields", AllFields(), Image::None, 8},
        TagRow{"japanese", Make("夜明けのうた", "山田 太郎", "海辺のアルバム", 1)},
        // INAM "ab" and IART "abcd" take a pad byte; "abc" needs none.
        TagRow{"odd_and_even_lengths", Make("ab", "abcd", "abc", 10), Image::None, 0},
        TagRow{"only_year_and_genre", JustGenre()},
        // "data" where the word search for the data chunk would look.
        TagRow{"title_with_data_on_the_grid", Make("data for the grid")},
        TagRow{"artist_with_data_on_the_grid", Make("ab", "data man")},
        TagRow{"title_with_data_on_and_off_the_grid", Make("data, data")},
        TagRow{"cover_png", Make("With a cover"), Image::Png},
        // A cover alone: no INFO, the WAVE piece is as it was.
        TagRow{"cover_jpeg_alone", Tags{}, Image::Jpeg}),
    [](const auto& row) { return row.param.name; });

// A short piece moved into the file before it is read back from behind its
// own header, info and all.
TEST(TaggedMerge, AShortPieceJoinsTheOneBeforeBehindTheRealHeader) {
  test::TempDir dir;
  const PcmFormat f{2, 44100, 16, SampleKind::Integer};
  const OutputHeader header(f, std::nullopt, InfoChunk(Make("Merged", "Someone")));
  const Bytes a = Samples(f, 30000), b = Samples(f, 500);
  MergingSink sink(PieceOutputs(dir.path(), {}, ".wav"), header, {}, {}, 4 * 10000);
  sink.start(1);
  sink.write(a.data(), a.size());
  sink.finish();
  sink.start(2);
  sink.write(b.data(), b.size());
  sink.finish();
  sink.close();
  ASSERT_EQ(test::FileNames(dir.path()), std::vector<std::string>{"mv000001.wav"});
  const std::string file = dir / "mv000001.wav";
  const WaveLayout layout = ReadWaveLayout(file);
  const Bytes bytes = test::ReadBytes(file);
  EXPECT_EQ(layout.dataBytes, static_cast<int64_t>(a.size() + b.size()));
  EXPECT_EQ(Bytes(bytes.begin() + layout.dataOffset, bytes.end()), test::Concat({a, b}));
  EXPECT_EQ(static_cast<std::size_t>(layout.dataOffset), 44 + header.info.size());
}

// Past 4 GiB an extended header turns RF64; the info counts in its sizes.
TEST(TaggedHeader, InfoCountsInTheSizesOfALongFile) {
  const PcmFormat f{2, 96000, 24, SampleKind::Integer};
  ExtendedHeader h(f, {}, true);
  const int64_t before = h.size();
  const Bytes info = InfoChunk(Make("Long"));
  h.setInfo(info);
  ASSERT_EQ(h.size(), before + static_cast<int64_t>(info.size()));
  for (const int64_t data : {int64_t{1000}, int64_t{5} << 30}) {
    const Bytes bytes = h.bytes(data);
    ASSERT_EQ(static_cast<int64_t>(bytes.size()), h.size());
    const auto riff = data > 1000 ? test::Get32(bytes, 20) | uint64_t{test::Get32(bytes, 24)} << 32 : test::Get32(bytes, 4);
    EXPECT_EQ(static_cast<int64_t>(riff), h.size() + data - 8) << data;
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), data > 1000 ? "RF64" : "RIFF");
    EXPECT_EQ(std::string(bytes.end() - 8, bytes.end() - 4), "data");
    EXPECT_TRUE(std::equal(info.begin(), info.end(), bytes.end() - 8 - static_cast<std::ptrdiff_t>(info.size())));
  }
}

// ---- Covers ----

struct CoverRow {
  std::string name;
  // Makes the file at path; false to skip (a tool missing).
  std::function<void(const std::string& path)> make;
  std::string_view error;  // empty: taken
  std::string mime = {};
};
void PrintTo(const CoverRow& r, std::ostream* os) { *os << r.name; }

// A JPEG from ffmpeg, with zeros after its end up to size bytes.
void PaddedJpeg(const std::string& path, int64_t size) {
  ASSERT_EQ(run("ffmpeg -v error -f lavfi -i color=blue:s=64x48 -frames:v 1 " + Quote(path + ".jpg")), 0);
  Bytes b = test::ReadBytes(path + ".jpg");
  b.resize(static_cast<std::size_t>(size), 0);
  test::WriteBytes(path, b);
}

class Covers : public ::testing::TestWithParam<CoverRow> {};

TEST_P(Covers, APngOrJpegWithinTheLimitIsTakenAnythingElseRefused) {
  if (!test::HaveTool("ffmpeg") || !test::HaveTool("metaflac")) GTEST_SKIP() << "ffmpeg makes the images";
  const CoverRow& r = GetParam();
  test::TempDir dir;
  const std::string path = dir / "cover.png";
  r.make(path);
  if (!r.error.empty()) {
    const std::string want = r.error == msg::kCoverTooLarge ? format(r.error, path, std::to_string(kMaxCoverBytes))
                                                            : format(r.error, path);
    EXPECT_EQ(test::ErrorOf([&] { LoadCover(path); }), want);
    return;
  }
  const auto cover = LoadCover(path);
  EXPECT_EQ(cover->mime, r.mime);
  EXPECT_EQ(cover->bytes, test::ReadBytes(path));
  // The largest still fits a FLAC picture block.
  const PcmFormat f{1, 44100, 16, SampleKind::Integer};
  const Bytes samples = Samples(f, 1000);
  Tags t;
  t.cover = cover;
  FlacWriter w;
  w.create(dir / "piece.flac", f, 16, FlacOptions{5, t});
  w.append(samples.data(), samples.size());
  w.finish();
  EXPECT_EQ(run("flac -s -t " + Quote(dir / "piece.flac")), 0);
  ASSERT_EQ(run("metaflac --export-picture-to=" + Quote(dir / "back") + " " + Quote(dir / "piece.flac")), 0);
  EXPECT_EQ(test::ReadBytes(dir / "back"), cover->bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Covers,
    ::testing::Values(
        CoverRow{"jpeg_named_png",
                 [](const std::string& p) {
                   ASSERT_EQ(run("ffmpeg -v error -f lavfi -i color=red:s=64x48 -frames:v 1 -f mjpeg " + Quote(p)), 0);
                 },
                 {}, "image/jpeg"},
        CoverRow{"palette_png",
                 [](const std::string& p) {
                   ASSERT_EQ(run("ffmpeg -v error -f lavfi -i color=red:s=64x48 -frames:v 1 -pix_fmt pal8 " + Quote(p)),
                             0);
                 },
                 {}, "image/png"},
        CoverRow{"largest_jpeg", [](const std::string& p) { PaddedJpeg(p, kMaxCoverBytes); }, {}, "image/jpeg"},
        CoverRow{"text_named_png", [](const std::string& p) { test::WriteBytes(p, test::Ascii("not an image\n")); },
                 msg::kCoverNotImage},
        CoverRow{"png_signature_alone",
                 [](const std::string& p) { test::WriteBytes(p, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}); },
                 msg::kCoverNotImage},
        CoverRow{"empty", [](const std::string& p) { test::WriteBytes(p, {}); }, msg::kCoverNotImage},
        CoverRow{"one_byte_too_large", [](const std::string& p) { PaddedJpeg(p, kMaxCoverBytes + 1); },
                 msg::kCoverTooLarge},
        CoverRow{"seventeen_mib", [](const std::string& p) { PaddedJpeg(p, int64_t{17} << 20); }, msg::kCoverTooLarge},
        CoverRow{"missing", [](const std::string&) {}, msg::kCoverCannotRead},
        CoverRow{"a_folder", [](const std::string& p) { fs::create_directory(p); }, msg::kCoverCannotRead}),
    [](const auto& row) { return row.param.name; });

// The level reaches libFLAC; one outside 0 to 8, and a comment that is not
// UTF-8, are refused and leave no file.
TEST(FlacOptionsGiven, TheLevelReachesTheEncoderAndWhatCannotBeWrittenIsRefused) {
  if (!test::HaveTool("flac")) GTEST_SKIP() << "flac checks the files";
  test::TempDir dir;
  const PcmFormat f{2, 44100, 16, SampleKind::Integer};
  const Bytes samples = Tones(44100 * 3);
  std::map<int, std::uintmax_t> sizes;
  for (const int level : {0, 8}) {
    const std::string file = dir / ("level" + std::to_string(level) + ".flac");
    FlacWriter w;
    w.create(file, f, 16, FlacOptions{level, {}});
    w.append(samples.data(), samples.size());
    w.finish();
    EXPECT_EQ(run("flac -s -t " + Quote(file)), 0);
    sizes[level] = fs::file_size(file);
  }
  EXPECT_LT(sizes[8], sizes[0]);
  for (const int level : {-1, 9}) {
    FlacWriter w;
    EXPECT_EQ(test::ErrorOf([&] { w.create(dir / "bad.flac", f, 16, FlacOptions{level, {}}); }), msg::kRangeError);
  }
  FlacWriter w;
  EXPECT_EQ(test::ErrorOf([&] { w.create(dir / "bad.flac", f, 16, FlacOptions{5, Make("caf\xE9")}); }),
            format(msg::kFlacEncodeError, dir / "bad.flac"));
  EXPECT_FALSE(w.isOpen());
  EXPECT_EQ(test::FileNames(dir.path()), (std::vector<std::string>{"level0.flac", "level8.flac"}))
      << "nothing made, no hidden file left";
}

}  // namespace
}  // namespace mv
