// Writes the seed corpora of the fuzz targets, made by Morvane's own header
// code: files of every format, chunks around fmt and data, truncated files.
// FLAC seeds are written by Morvane's FLAC writer.
// The track list's seeds are a plain list and cue sheets as rippers write them;
// the cut list's, each of its forms; the markers', files with cue chunks.
//   make-seeds DIR   (makes DIR/wave_reading, DIR/flac_reading, DIR/cut, DIR/join,
//                     DIR/track_list, DIR/cut_list, DIR/markers)

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "flac/flac_writer.h"
#include "fuzz/fuzz_support.h"
#include "wave/file.h"
#include "wave/format.h"
#include "wave/header.h"
#include "wave/layout.h"

namespace {

using mv::fuzz::Bytes;
namespace fs = std::filesystem;

Bytes wave(int position, const Bytes& samples) {
  mv::MemoryStream out;
  mv::WriteWaveHeader(out, mv::ParseFormatLabel(mv::kCutLabels[position]));
  out.write(samples.data(), samples.size());
  mv::FinishWaveHeader(out);
  return out.bytes();
}

// A song, a silence and a song, in 16-bit stereo samples.
Bytes songs() {
  Bytes b;
  for (int part = 0; part < 3; ++part)
    for (int i = 0; i < 600; ++i) {
      const int v = part == 1 ? (i % 5) : 3000 + (i * 37) % 900;
      for (int c = 0; c < 2; ++c) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
      }
    }
  return b;
}

// Chunks between "fmt " and "data": the fmt chunk grown to 18 bytes, a fact
// chunk on the word grid, a LIST chunk off it.
Bytes withChunk(const Bytes& plain, const Bytes& between, uint32_t fmtSize) {
  Bytes b(plain.begin(), plain.begin() + 36);
  b[16] = static_cast<uint8_t>(fmtSize);
  b.resize(20 + fmtSize, 0);
  b.insert(b.end(), between.begin(), between.end());
  b.insert(b.end(), plain.begin() + 36, plain.end());
  return b;
}

void save(const fs::path& dir, const std::string& name, const Bytes& b) {
  mv::test::WriteBytes((dir / name).string(), b);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make-seeds DIR\n");
    return 2;
  }
  const fs::path root = argv[1];
  for (const char* d : {"wave_reading", "flac_reading", "cut", "join", "track_list", "cut_list", "markers"})
    fs::create_directories(root / d);

  std::vector<std::pair<std::string, Bytes>> files;
  const Bytes music = songs();
  for (int p = 0; p < mv::kFormatCount; ++p)
    files.emplace_back("format" + std::to_string(p), wave(p, Bytes(music.begin(), music.begin() + 400)));
  const Bytes plain = wave(1, music);
  files.emplace_back("songs", plain);
  files.emplace_back("fmt18", withChunk(plain, {}, 18));
  files.emplace_back("fact", withChunk(plain, {'f', 'a', 'c', 't', 4, 0, 0, 0, 0, 0, 0, 0}, 18));
  Bytes list = {'L', 'I', 'S', 'T', 26, 0, 0, 0};
  list.resize(34, 'x');
  files.emplace_back("list-off-grid", withChunk(plain, list, 16));
  for (std::size_t cut : {12u, 30u, 38u, 42u, 100u})
    files.emplace_back("truncated" + std::to_string(cut), Bytes(plain.begin(), plain.begin() + cut));
  files.emplace_back("raw", music);

  // Headers beyond the lists: 24-bit, float (with fact), and RF64.
  for (const auto& [name, format, large] :
       {std::tuple{"ext24", mv::PcmFormat{2, 96000, 24, mv::SampleKind::Integer}, false},
        std::tuple{"extfloat", mv::PcmFormat{1, 48000, 32, mv::SampleKind::Float}, false},
        std::tuple{"rf64", mv::PcmFormat{2, 44100, 24, mv::SampleKind::Integer}, true}}) {
    Bytes b = mv::ExtendedHeader(format, {}, true).bytes(large ? (int64_t{5} << 30) : 384);
    b.insert(b.end(), music.begin(), music.begin() + 384);
    files.emplace_back(name, b);
  }
  for (const auto& [name, bytes] : files) save(root / "wave_reading", name, bytes);
  // The cut's first 8 bytes are its settings: mode, format, threshold, run
  // length, piece length and zero points.
  const Bytes settings[] = {{0, 1, 1, 200, 0, 0, 0, 0}, {2, 1, 1, 100, 1, 0, 5, 251}, {3, 12, 0, 50, 0, 1, 0, 0},
                            {6, 7, 2, 30, 0, 2, 255, 1}, {10, 1, 1, 200, 0, 40, 0, 0}};
  int n = 0;
  for (const Bytes& s : settings)
    for (const auto& [name, bytes] : files) {
      Bytes seed = s;
      seed.insert(seed.end(), bytes.begin(), bytes.end());
      save(root / "cut", std::to_string(n++) + "-" + name, seed);
    }
  // The join's first 4 bytes: count and kinds, format, two source lengths.
  const Bytes heads[] = {{1 | 8 | 16, 1, 255, 255}, {2 | 8, 6, 20, 0}, {0, 1, 0, 0}};
  n = 0;
  for (const Bytes& h : heads)
    for (const auto& [name, bytes] : files) {
      Bytes seed = h;
      for (int copy = 0; copy < 3; ++copy) seed.insert(seed.end(), bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 1020));
      save(root / "join", std::to_string(n++) + "-" + name, seed);
    }
  // FLAC files of the songs at two depths and in mono, whole and cut short.
  const Bytes stereo16 = plain.size() > 44 ? Bytes(plain.begin() + 44, plain.end()) : Bytes();
  Bytes mono8;
  for (std::size_t i = 1; i < stereo16.size(); i += 4) mono8.push_back(static_cast<uint8_t>(stereo16[i] + 128));
  const struct {
    const char* name;
    mv::PcmFormat format;
    int bits;
    const Bytes& samples;
  } flacs[] = {{"flac16", {2, 44100, 16, mv::SampleKind::Integer}, 16, stereo16},
               {"flac8", {1, 22050, 8, mv::SampleKind::Integer}, 8, mono8}};
  for (const auto& f : flacs) {
    const std::string path = (root / "flac_reading" / f.name).string();
    mv::FlacWriter w;
    w.create(path, f.format, f.bits);
    w.append(f.samples.data(), f.samples.size());
    w.finish();
    const Bytes whole = mv::test::ReadBytes(path);
    for (std::size_t cut : {40u, 100u, 300u})
      if (cut < whole.size())
        save(root / "flac_reading", f.name + std::string("-cut") + std::to_string(cut),
             Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
  }
  // Track lists: every form of a plain line, and cue sheets of one file and
  // of a file a track.
  const std::pair<const char*, std::string> lists[] = {
      {"plain",
       "\xEF\xBB\xBF# side A\r\n"
       "A1 Intro 0:45\r\n"
       "A2. \xE6\xB5\xB7\xE3\x81\xB8 / \xE5\xB1\xB1\xE7\x94\xB0 (3:45)\r\n"
       "\r\n"
       "B1) AC/DC 1/2 Live: 12:30pm (Remix) / Band 1:02:03\r\n"
       "B2 - Medley: A / B / Artist\r\n"
       "3. (4:05)\r\n"},
      {"numbered", "01 First 3:00\n02 Second\n03 99 Luftballons 4:00\n"},
      {"cue",
       "REM GENRE \"Pop\"\nREM DATE 1985\nPERFORMER \"Band\"\nTITLE \"Album\"\n"
       "FILE \"album.wav\" WAVE\n"
       "  TRACK 01 AUDIO\n    TITLE \"One\"\n    PERFORMER \"Singer\"\n    INDEX 01 00:00:00\n"
       "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    FLAGS DCP\n    INDEX 00 04:12:40\n    INDEX 01 04:14:00\n"
       "  TRACK 03 AUDIO\n    TITLE Three\n    ISRC ABC123\n    PREGAP 00:02:00\n    INDEX 01 09:03:15\n"},
      {"cue-files",
       "CATALOG 0123456789012\nFILE 01.flac FLAC\nTRACK 1 AUDIO\nINDEX 01 00:00:00\nTRACK 2 AUDIO\n"
       "INDEX 00 03:00:00\nFILE 02.flac FLAC\nINDEX 01 00:00:00\nTRACK 3 AUDIO\nINDEX 01 02:00:00\n"},
  };
  for (const auto& [name, text] : lists) save(root / "track_list", name, Bytes(text.begin(), text.end()));
  // Cut lists: the first 4 bytes choose the source (44.1 kHz, 4 bytes a
  // frame, 60 s), the rest is each form.
  const std::pair<const char*, std::string> cutLists[] = {
      {"labels", "0.000000\t1.500000\tIntro\n1.500000\t3.250000\tSong\n3.250000\t60.000000\t\n"},
      {"plain", "\xEF\xBB\xBF# side A\r\n0:00 Intro\r\n1:30 Two\r\n95.25\r\n0:59:59.500 Last\r\n"},
      {"cue", lists[2].second},
      {"json",
       "{\"source\": \"t.wav\", \"rate\": 44100, \"files\": [{\"file\": \"01 A.wav\", \"first_byte\": 0, "
       "\"title\": \"A\\u00e9\"}, {\"first_byte\": 400, \"peak\": 1.5e3, \"title\": null}], "
       "\"longest_quiet_run\": null, \"written\": false}\n"},
  };
  for (const auto& [name, text] : cutLists) {
    Bytes seed = {5, 3, 10, 93};
    seed.insert(seed.end(), text.begin(), text.end());
    save(root / "cut_list", name, seed);
  }
  // Markers: cue points before and after the data, titled by labl texts.
  const auto chunk = [](const char* id, const Bytes& body) {
    Bytes b(id, id + 4);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(body.size() >> (8 * i)));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() % 2) b.push_back(0);
    return b;
  };
  const auto word = [](Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  Bytes cue, adtl = {'a', 'd', 't', 'l'};
  word(cue, 3);
  for (uint32_t id = 1; id <= 3; ++id) {
    for (uint32_t v : {id, id * 300, 0x61746164u, 0u, 0u, id * 300}) word(cue, v);
    Bytes labl;
    word(labl, id);
    const std::string text = "Marker " + std::to_string(id);
    labl.insert(labl.end(), text.begin(), text.end() + 1);
    const Bytes sub = chunk("labl", labl);
    adtl.insert(adtl.end(), sub.begin(), sub.end());
  }
  const Bytes cueChunk = chunk("cue ", cue), listChunk = chunk("LIST", adtl);
  Bytes after = plain, before = withChunk(plain, cueChunk, 16);
  after.insert(after.end(), cueChunk.begin(), cueChunk.end());
  after.insert(after.end(), listChunk.begin(), listChunk.end());
  save(root / "markers", "after-data", after);
  save(root / "markers", "before-data", before);
  std::printf("seeds in %s\n", root.string().c_str());
  return 0;
}
