// The silence kept short: tapes of known quiet and loud stretches in every
// sample width are cut with and without keeping it short. Each piece must hold
// the plain cut's piece less its leading and trailing silence beyond S, as
// counted here from how the tape was made; the dry run reports the same.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cut/cut.h"
#include "cut/scan_kernels.h"
#include "cut/trim_sink.h"
#include "flac/flac_source.h"
#include "flac/flac_writer.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/layout.h"
#include "wave/paths.h"

namespace mv {
namespace {

using test::Bytes;

// How a stretch of frames is made, and whether the cut's test finds it
// quiet: well below or above the threshold, or just below it or at it.
enum Kind : uint8_t { Quiet, Loud, QuietEdge, LoudEdge, RightLoud };
bool IsQuiet(Kind k) { return k == Quiet || k == QuietEdge; }

struct Stretch {
  Kind kind;
  int frames;
};

PcmFormat Format(int channels, int rate, int bits, bool isFloat = false) {
  PcmFormat f;
  f.channels = static_cast<uint16_t>(channels);
  f.sampleRate = rate;
  f.bitsPerSample = static_cast<uint16_t>(bits);
  f.kind = isFloat ? SampleKind::Float : SampleKind::Integer;
  return f;
}

// One sample of a stretch, in the format's own coding, with threshold t (of
// 8-bit units for 8-bit samples, of 16-bit units for the rest) and a zero
// point z added (8- and 16-bit only).
void PutSample(Bytes& out, const PcmFormat& f, Kind kind, int i, int channel, int32_t t, int32_t z) {
  if (kind == RightLoud) kind = channel == 1 ? Loud : Quiet;
  const double sign = (i + channel) % 2 == 0 ? 1 : -1;
  // Well inside or well outside: up to 0.4 t, or from 3 t on.
  const double level = kind == Quiet ? ((i * 7 + channel * 3) % 9 - 4) / 10.0 : sign * (3 + (i % 7) / 10.0);
  if (f.isFloat()) {
    const double limit = t / 32768.0;  // |x| < T / 32768 is quiet
    double x = level * limit;
    if (kind == QuietEdge) x = sign * std::nextafter(limit, 0.0);
    if (kind == LoudEdge) x = sign * limit;
    if (f.bitsPerSample == 32) {
      float v = static_cast<float>(x);
      if (kind == QuietEdge) v = static_cast<float>(sign) * std::nextafter(static_cast<float>(limit), 0.0f);
      const auto* b = reinterpret_cast<const uint8_t*>(&v);
      out.insert(out.end(), b, b + 4);
    } else {
      const auto* b = reinterpret_cast<const uint8_t*>(&x);
      out.insert(out.end(), b, b + 8);
    }
    return;
  }
  // |s| * 2^16 < T * 2^bits, in the sample's own units (8-bit: |s - 128| < T).
  const int64_t unit = f.bitsPerSample == 8 ? 1 : int64_t{1} << (f.bitsPerSample - 16);
  const int64_t limit = t * unit;
  int64_t v = std::llround(level * static_cast<double>(limit));
  if (kind == QuietEdge) v = static_cast<int64_t>(sign) * (limit - 1);
  if (kind == LoudEdge) v = static_cast<int64_t>(sign) * limit;
  v += z;
  if (f.bitsPerSample == 8) v += 128;
  for (int b = 0; b < f.bytesPerSample(); ++b) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * b)));
}

struct Tape {
  Bytes data;
  std::vector<bool> quiet;  // a frame each
};

Tape MakeTape(const PcmFormat& f, const std::vector<Stretch>& stretches, int32_t t, const int32_t zero[2]) {
  Tape tape;
  for (const Stretch& s : stretches) {
    for (int i = 0; i < s.frames; ++i) {
      for (int ch = 0; ch < f.channels; ++ch) PutSample(tape.data, f, s.kind, i, ch, t, zero[ch]);
      tape.quiet.push_back(IsQuiet(s.kind));
    }
  }
  return tape;
}

// The silence at the start of frames [a, b) (or, backwards, at its end):
// quiet frames, and bursts of at most k others between two quiet frames of
// the range.
int64_t SilenceFrom(const std::vector<bool>& quiet, int64_t a, int64_t b, int32_t k, bool backwards) {
  auto q = [&](int64_t i) { return quiet[static_cast<std::size_t>(backwards ? b - 1 - (i - a) : i)]; };
  int64_t silent = 0;
  for (int64_t i = a; i < b;) {
    if (q(i)) {
      silent = ++i - a;
      continue;
    }
    int64_t j = i;
    while (j < b && !q(j)) ++j;
    if (silent == 0 || j == b || j - i > k) break;
    i = j;
  }
  return silent;
}

// Front and back trims in frames of a piece of frames [a, b), the tape's
// last `partial` bytes being a part of a frame after b.
std::pair<int64_t, int64_t> Trims(const Tape& tape, int64_t a, int64_t b, int32_t k, int64_t keep, bool partial) {
  const int64_t lead = SilenceFrom(tape.quiet, a, b, k, false);
  if (lead == b - a && !partial) return {std::max<int64_t>(0, lead - keep), 0};  // no sound at all
  const int64_t trail = partial ? 0 : SilenceFrom(tape.quiet, a, b, k, true);
  return {std::max<int64_t>(0, lead - keep), std::max<int64_t>(0, trail - keep)};
}

struct Row {
  std::string what;
  std::vector<Stretch> tape;
  int64_t keep;  // S in frames
  // Front and back of each piece in frames, counted by hand from the tape
  // and where the cut falls: the reference above must find them too.
  std::vector<std::pair<int64_t, int64_t>> counted;
  int32_t clicks = 0;
  PcmFormat format = Format(2, 44100, 16);
  int32_t threshold = 100;
  bool correct = false;
  int32_t zero[2] = {0, 0};
  Bytes partial = {};
  bool flac = false;
};

// Data of a piece: a WAVE file's samples, or a FLAC file's decoded.
Bytes SamplesOf(const std::string& path) {
  if (path.ends_with(".flac")) {
    const auto in = FlacSource::open(path);
    Bytes b(static_cast<std::size_t>(in->size()));
    in->readFull(b.data(), b.size());
    return b;
  }
  const WaveLayout layout = ReadWaveLayout(path);
  const Bytes file = test::ReadBytes(path);
  EXPECT_EQ(layout.dataOffset + layout.dataBytes, static_cast<int64_t>(file.size())) << path;
  return Bytes(file.begin() + layout.dataOffset, file.end());
}

class KeepSilence : public ::testing::Test {
 protected:
  CutResult cut(CutSettings s, const std::string& folder) {
    s.saveFolder = test::EmptyFolder(dir / folder);
    test::RecordingHost host;
    return RunCut(s, host);
  }
  std::vector<Bytes> pieces(const std::string& folder, const std::string& extension) {
    std::vector<Bytes> out;
    for (const std::string& name : test::FileNames(dir / folder, "mv")) {
      EXPECT_TRUE(name.ends_with(extension)) << name;
      out.push_back(SamplesOf(dir / folder + "/" + name));
    }
    return out;
  }
  test::TempDir dir;
};

// The tape of most rows: silence before the first song, a quiet passage
// inside it shorter than N, a gap whose sound comes back far enough into its
// block for a lead of 513 frames, and silence to the end in the tail. With
// N = 1000 the cut falls at frame 7087.
std::vector<Stretch> Album(Kind quiet = Quiet) {
  return {{quiet, 300}, {Loud, 2000}, {quiet, 700}, {Loud, 1500}, {quiet, 3100}, {Loud, 2000}, {quiet, 900}};
}

// The same, at the threshold, with its last silence in other frames.
std::vector<Stretch> AlbumEndingIn(const std::vector<Stretch>& end) {
  std::vector<Stretch> tape = Album(QuietEdge);
  tape.pop_back();
  tape.insert(tape.end(), end.begin(), end.end());
  return tape;
}

// 16-bit stereo parts of 256 KiB hold 65536 frames; with N = 1000 the tail
// begins at frame 70000.
std::vector<Stretch> GapIntoTheTail() { return {{Loud, 60000}, {Quiet, 10000}, {Loud, 300}}; }

// Cut at frames 5000 and 10000, the last piece passing into a second part.
std::vector<Stretch> SilenceFirst() { return {{Quiet, 5000}, {Loud, 2000}, {Quiet, 3000}, {Loud, 70000}}; }

TEST_F(KeepSilence, EachPieceLosesItsSilenceBeyondSAndNothingElse) {
  const Row rows[] = {
      {"S of 100 frames", Album(), 100, {{200, 2487}, {413, 800}}},
      {"S = 0", Album(), 0, {{300, 2587}, {513, 900}}},
      {"S longer than every silence", Album(), 441000, {{0, 0}, {0, 0}}},
      // A piece without sound keeps its last S frames, more than are held in
      // memory: the first of them are read again, and the cut reads on.
      {"a first piece of silence alone", SilenceFirst(), 2000, {{3000, 0}, {0, 1000}, {0, 0}}},
      // The tail is not tested: the gap before the sound there ends no song
      // and stays whole. It passes from one part the cut reads to the next
      // and is longer than the memory holds: its start is read again.
      {"a gap that runs into the tail, sound there", GapIntoTheTail(), 50, {{0, 0}}},
      {"silence to the end", {{Loud, 2000}, {Quiet, 1500}}, 50, {{0, 1450}}},
      // Without click tolerance a click in a gap is sound: it ends the first
      // piece, and the quiet after it, in the rest of the block the cut does
      // not test, stays inside the second.
      {"a click in a gap", {{Loud, 2000}, {Quiet, 1200}, {Loud, 3}, {Quiet, 1500}, {Loud, 2000}}, 50,
       {{0, 950}, {150, 0}}},
      // With clicks ignored, clicks in gaps are part of the silence, in the
      // trailing silence of the first piece and the leading one of the third.
      {"clicks in gaps, ignored",
       {{Loud, 2000}, {Quiet, 1200}, {Loud, 3}, {Quiet, 1500}, {Loud, 2000}, {Quiet, 2000}, {Loud, 3}, {Quiet, 100},
        {Loud, 1000}},
       50,
       {{0, 2140}, {463, 1540}, {463, 0}},
       5},
      // A burst at a piece's edge has no quiet frame after it there: sound.
      {"a click at the very end", {{Loud, 2000}, {Quiet, 1500}, {Loud, 2}}, 50, {{0, 0}}, 5},
      {"a part of a frame at the end", Album(), 100, {{200, 2487}, {413, 0}}, 0, Format(2, 44100, 16), 100, false,
       {0, 0}, {7, 9}},
      {"zero points corrected", Album(), 100, {{200, 2487}, {413, 800}}, 0, Format(2, 44100, 16), 100, true,
       {150, -150}},
      {"zero points corrected, a gap read again", GapIntoTheTail(), 50, {{0, 0}}, 0,
       Format(2, 44100, 16), 100, true, {150, -150}},
      {"8-bit mono, corrected", Album(), 100, {{200, 2487}, {413, 800}}, 0, Format(1, 44100, 8), 20, true, {3, 3}},
      {"8-bit stereo at the threshold", Album(QuietEdge), 100, {{200, 2487}, {413, 800}}, 0, Format(2, 22050, 8), 20},
      {"16-bit, one channel loud",
       {{Loud, 1000}, {Quiet, 300}, {RightLoud, 1}, {Quiet, 400}},
       100,
       {{0, 300}}},
      {"24-bit at the threshold", AlbumEndingIn({{Quiet, 400}, {LoudEdge, 1}, {Quiet, 499}}),
       100,
       {{200, 2487}, {413, 399}},
       0,
       Format(2, 96000, 24)},
      {"32-bit mono", Album(QuietEdge), 100, {{200, 2487}, {413, 800}}, 0, Format(1, 48000, 32)},
      {"32-bit float at the threshold", AlbumEndingIn({{QuietEdge, 400}, {LoudEdge, 1}, {Quiet, 499}}),
       0,
       {{300, 2587}, {513, 499}},
       0,
       Format(2, 48000, 32, true)},
      {"64-bit float mono, clicks ignored",
       {{Quiet, 300}, {Loud, 2000}, {Quiet, 3100}, {Loud, 2}, {Quiet, 900}},
       10,
       {{290, 3992}},
       3,
       Format(1, 44100, 64, true)},
      {"FLAC", Album(), 100, {{200, 2487}, {413, 800}}, 0, Format(2, 44100, 16), 100, false, {0, 0}, {}, true},
      {"FLAC, silence alone read again", SilenceFirst(), 2000, {{3000, 0}, {0, 1000}, {0, 0}}, 0, Format(2, 44100, 16),
       100, false, {0, 0}, {}, true},
      {"FLAC, a gap read again", GapIntoTheTail(), 50, {{0, 0}}, 0, Format(2, 44100, 16),
       100, false, {0, 0}, {}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const PcmFormat& f = row.format;
    const int64_t frameBytes = f.frameBytes();
    const Tape tape = MakeTape(f, row.tape, row.threshold, row.zero);
    CutSettings s;
    s.format = f;
    s.runLength = 1000;
    s.threshold = row.threshold;
    s.ignoreClicks = row.clicks;
    if (row.correct) s.correction = Correction{int64_t{row.zero[0]}, int64_t{row.zero[1]}};
    std::string extension = ".wav";
    if (row.flac) {
      s.source = dir / "tape.flac";
      FlacWriter w;
      w.create(s.source, f, f.bitsPerSample);
      w.append(tape.data.data(), tape.data.size());
      w.finish();
      extension = ".flac";
    } else {
      s.source = dir / "tape.raw";
      Bytes file = tape.data;
      file.insert(file.end(), row.partial.begin(), row.partial.end());
      test::WriteBytes(s.source, file);
    }

    const CutResult plain = cut(s, "plain");
    s.keepSilenceSeconds = static_cast<double>(row.keep) / f.sampleRate;
    const CutResult kept = cut(s, "kept");
    s.dryRun = true;
    const CutResult dry = cut(s, "dry");
    ASSERT_EQ(kept.end, CutEnd::Complete);
    ASSERT_EQ(dry.end, CutEnd::Complete);
    EXPECT_TRUE(test::FileNames(dir / "dry").empty());

    const std::vector<Bytes> whole = pieces("plain", extension);
    const std::vector<Bytes> trimmed = pieces("kept", extension);
    const std::vector<Piece>& found = kept.report.pieces;
    ASSERT_EQ(found.size(), plain.report.pieces.size());
    ASSERT_EQ(dry.report.pieces.size(), found.size());
    ASSERT_EQ(whole.size(), found.size());
    ASSERT_EQ(trimmed.size(), found.size());
    ASSERT_EQ(row.counted.size(), found.size());
    for (std::size_t n = 0; n < found.size(); ++n) {
      SCOPED_TRACE("piece " + std::to_string(n + 1));
      const Piece& p = found[n];
      // The pieces are those the cut finds without the trim.
      EXPECT_EQ(p.firstByte, plain.report.pieces[n].firstByte);
      EXPECT_EQ(p.dataBytes, plain.report.pieces[n].dataBytes);
      const bool last = n + 1 == found.size();
      const int64_t a = p.firstByte / frameBytes;
      const int64_t b = (p.firstByte + p.dataBytes) / frameBytes;
      const auto [front, back] = Trims(tape, a, b, row.clicks, row.keep, last && !row.partial.empty());
      EXPECT_EQ(std::make_pair(front, back), row.counted[n]);
      EXPECT_EQ(p.trimmedFront, front * frameBytes);
      EXPECT_EQ(p.trimmedBack, back * frameBytes);
      EXPECT_EQ(dry.report.pieces[n].trimmedFront, p.trimmedFront);
      EXPECT_EQ(dry.report.pieces[n].trimmedBack, p.trimmedBack);
      // The file: the plain piece, as corrected, from its front trim to its
      // back trim.
      const Bytes& plainPiece = whole[n];
      ASSERT_EQ(static_cast<int64_t>(plainPiece.size()), p.dataBytes);
      EXPECT_TRUE(trimmed[n] == Bytes(plainPiece.begin() + p.trimmedFront, plainPiece.end() - p.trimmedBack))
          << trimmed[n].size() << " bytes against " << p.dataBytes - p.trimmedFront - p.trimmedBack;
    }
  }
}

// The trim alone, on random tapes handed over in random parts and cut into
// random pieces, with little memory so that held frames are read again:
// every file is its piece less the reference's trims, and counting alone
// finds the same trims.
TEST_F(KeepSilence, AnyPartsAndPiecesGiveTheSameFiles) {
  struct Files final : PieceSink {
    std::vector<Bytes> files;
    void start(int32_t) override { files.emplace_back(); }
    void write(const uint8_t* data, std::size_t n) override { files.back().insert(files.back().end(), data, data + n); }
    void finish() override {}
    void abandon() noexcept override {}
  };
  const PcmFormat formats[] = {Format(2, 44100, 16), Format(1, 8000, 8), Format(2, 96000, 24),
                               Format(1, 48000, 32, true)};
  std::mt19937 rng(11);
  int readsSeen = 0;
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const PcmFormat& f = formats[round % 4];
    const int32_t t = f.bitsPerSample == 8 ? 20 : 100;
    const int32_t zero[2] = {0, 0};
    std::vector<Stretch> stretches;
    for (int i = 0; i < 40; ++i) {
      const Kind kind = static_cast<Kind>(rng() % (f.channels == 2 ? 5 : 4));
      stretches.push_back({kind, static_cast<int>(1 + rng() % (IsQuiet(kind) ? 200 : rng() % 2 ? 4 : 100))});
    }
    const Tape tape = MakeTape(f, stretches, t, zero);
    const auto frames = static_cast<int64_t>(tape.quiet.size());
    const int64_t frameBytes = f.frameBytes();
    TrimRule rule;
    rule.format = f;
    rule.threshold = t;
    rule.maxBurst = rng() % 2 ? 0 : static_cast<int32_t>(1 + rng() % 4);
    rule.keepFrames = rng() % 3 == 0 ? 0 : rng() % 60;
    rule.holdFrames = rng() % 40;
    std::vector<int64_t> cuts = {0, frames};
    for (int i = rng() % 4; i > 0; --i) cuts.push_back(static_cast<int64_t>(rng() % static_cast<uint32_t>(frames)));
    std::sort(cuts.begin(), cuts.end());
    int reads = 0;
    auto reread = [&](int64_t offset, uint8_t* into, std::size_t bytes) {
      ++reads;
      ASSERT_LE(offset + static_cast<int64_t>(bytes), static_cast<int64_t>(tape.data.size()));
      std::memcpy(into, tape.data.data() + offset, bytes);
    };
    Files written, counted;
    std::vector<Piece> found, foundCounting;
    TrimSink trim(written, rule, found, reread);
    TrimSink count(counted, rule, foundCounting, {});
    for (std::size_t n = 0; n + 1 < cuts.size(); ++n) {
      for (auto [sink, list] : {std::pair{&trim, &found}, std::pair{&count, &foundCounting}}) {
        list->push_back({cuts[n] * frameBytes, (cuts[n + 1] - cuts[n]) * frameBytes, 0});
        sink->start(static_cast<int32_t>(n + 1));
      }
      for (int64_t at = cuts[n]; at < cuts[n + 1];) {
        const int64_t part = std::min<int64_t>(cuts[n + 1] - at, 1 + rng() % 300);
        trim.write(tape.data.data() + at * frameBytes, static_cast<std::size_t>(part * frameBytes));
        count.write(tape.data.data() + at * frameBytes, static_cast<std::size_t>(part * frameBytes));
        at += part;
      }
      trim.finish();
      count.finish();
    }
    ASSERT_EQ(written.files.size(), cuts.size() - 1);
    for (std::size_t n = 0; n + 1 < cuts.size(); ++n) {
      SCOPED_TRACE("piece " + std::to_string(n + 1));
      const auto [front, back] = Trims(tape, cuts[n], cuts[n + 1], rule.maxBurst, rule.keepFrames, false);
      EXPECT_EQ(found[n].trimmedFront, front * frameBytes);
      EXPECT_EQ(found[n].trimmedBack, back * frameBytes);
      EXPECT_EQ(foundCounting[n].trimmedFront, front * frameBytes);
      EXPECT_EQ(foundCounting[n].trimmedBack, back * frameBytes);
      EXPECT_TRUE(counted.files[n].empty());
      const auto begin = tape.data.begin() + (cuts[n] + front) * frameBytes;
      const auto end = tape.data.begin() + (cuts[n + 1] - back) * frameBytes;
      EXPECT_TRUE(written.files[n] == Bytes(begin, std::max(begin, end)));
    }
    if (::testing::Test::HasFailure()) return;
    readsSeen += reads > 0;
  }
  // The memory was short in a good share of the rounds.
  EXPECT_GT(readsSeen, 40);
}

// The frame test of the trim is the scan's at every width, in the portable
// and the wide kernels alike.
TEST_F(KeepSilence, SilentBitsAreTheFrameTest) {
  const PcmFormat formats[] = {Format(1, 44100, 8), Format(2, 44100, 8),   Format(1, 44100, 16),
                               Format(2, 44100, 16), Format(2, 96000, 24), Format(1, 96000, 24),
                               Format(2, 48000, 32), Format(2, 48000, 32, true), Format(1, 48000, 64, true),
                               Format(2, 48000, 64, true)};
  std::mt19937 rng(7);
  for (const PcmFormat& f : formats) {
    SCOPED_TRACE(FormatLabel(f));
    const int32_t t = f.bitsPerSample == 8 ? 20 : 100;
    std::vector<Stretch> stretches;
    for (int i = 0; i < 300; ++i)
      stretches.push_back({static_cast<Kind>(rng() % (f.channels == 2 ? 5 : 4)), static_cast<int>(1 + rng() % 9)});
    const int32_t zero[2] = {0, 0};
    const Tape tape = MakeTape(f, stretches, t, zero);
    std::vector<ScanKernels> sets = {PortableScanKernels(f)};
    if (const auto wide = WideScanKernels(f)) sets.push_back(*wide);
    for (const ScanKernels& k : sets) {
      for (std::size_t at = 0; at + 64 <= tape.quiet.size(); at += 37) {
        for (int32_t count : {1, 7, 63, 64}) {
          uint64_t expected = 0;
          for (int32_t i = 0; i < count; ++i) expected |= uint64_t{tape.quiet[at + static_cast<std::size_t>(i)]} << i;
          ASSERT_EQ(k.silentBits(tape.data.data() + at * static_cast<std::size_t>(f.frameBytes()), count, t),
                    expected)
              << at << "+" << count;
        }
      }
    }
  }
}

TEST_F(KeepSilence, SettingsItCannotServeAreRefusedBeforeAnything) {
  struct Refusal {
    std::string what;
    CutMode mode;
    double minSong;
    double keep;
    std::string_view message;
  };
  const Refusal rows[] = {
      {"equal lengths", CutMode::EqualLengths, 0, 1, msg::kKeepSilenceEqualLengths},
      {"shortest song", CutMode::AtSilences, 30, 1, msg::kKeepSilenceMinSong},
      {"less than nothing", CutMode::AtSilences, 0, -0.5, msg::kRangeError},
      {"no number", CutMode::AtSilences, 0, std::numeric_limits<double>::quiet_NaN(), msg::kRangeError},
  };
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.what);
    for (const bool dry : {false, true}) {
      CutSettings s;
      s.source = dir / "tape.raw";
      s.saveFolder = test::EmptyFolder(dir / "out");
      test::WriteBytes(s.source, test::Repeat16(5000, 3000, 2));
      test::WriteBytes(dir / "out/mv000001.wav", {});
      s.mode = row.mode;
      s.minSongSeconds = row.minSong;
      s.keepSilenceSeconds = row.keep;
      s.dryRun = dry;
      test::RecordingHost host;
      EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), row.message);
      EXPECT_TRUE(host.events.empty());
      EXPECT_EQ(test::FileNames(dir / "out"), std::vector<std::string>{"mv000001.wav"});
      EXPECT_TRUE(test::ReadBytes(dir / "out/mv000001.wav").empty());
    }
  }
}

// A cancel or a read error leaves the pieces finished before it whole and
// trimmed, and the one being written a valid file of its trimmed start.
TEST_F(KeepSilence, CancelAndErrorsLeaveValidFiles) {
  const int32_t zero[2] = {0, 0};
  const PcmFormat f = Format(2, 44100, 16);
  const Tape tape = MakeTape(f, {{Loud, 2000}, {Quiet, 2500}, {Loud, 3000}, {Quiet, 2500}, {Loud, 3000}}, 100, zero);
  CutSettings s;
  s.format = f;
  s.runLength = 1000;
  s.source = dir / "tape.raw";
  test::WriteBytes(s.source, tape.data);
  cut(s, "plain");
  ASSERT_EQ(pieces("plain", ".wav").size(), 3u);
  s.keepSilenceSeconds = 10.0 / 44100;
  const CutResult full = cut(s, "full");
  const std::vector<Bytes> trimmed = pieces("full", ".wav");
  ASSERT_EQ(trimmed.size(), 3u);
  EXPECT_GT(full.report.pieces[1].trimmedFront, 0);
  EXPECT_GT(full.report.pieces[1].trimmedBack, 0);

  // Cancel in the second piece's song, then in its gap.
  for (const int pumps : {7, 10}) {
    SCOPED_TRACE(pumps);
    s.saveFolder = test::EmptyFolder(dir / "cancelled");
    test::RecordingHost host;
    host.cancelAfterPumps = pumps;
    EXPECT_EQ(RunCut(s, host).end, CutEnd::Cancelled);
    const std::vector<Bytes> got = pieces("cancelled", ".wav");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], trimmed[0]);
    const Bytes& second = trimmed[1];
    ASSERT_LE(got[1].size(), second.size());
    EXPECT_TRUE(std::equal(got[1].begin(), got[1].end(), second.begin()));
    EXPECT_GT(got[1].size(), 0u);
    for (const std::string& name : test::FileNames(dir / "cancelled", "mv"))
      EXPECT_TRUE(test::IsFinishedWave(dir / "cancelled/" + name)) << name;
  }

  // A source that ends inside its declared data: the read error, after the
  // pieces before it.
  Bytes file = test::MakeWav(2, 44100, 16, Bytes(tape.data.begin(), tape.data.begin() + 9000 * 4));
  test::Set32(file, 40, static_cast<uint32_t>(tape.data.size()));
  s.source = dir / "short.wav";
  test::WriteBytes(s.source, file);
  s.saveFolder = test::EmptyFolder(dir / "broken");
  test::RecordingHost host;
  EXPECT_EQ(test::ErrorOf([&] { RunCut(s, host); }), msg::kReadError);
  const std::vector<Bytes> got = pieces("broken", ".wav");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], trimmed[0]);
  EXPECT_TRUE(std::equal(got[1].begin(), got[1].end(), trimmed[1].begin()));
  for (const std::string& name : test::FileNames(dir / "broken", "mv"))
    EXPECT_TRUE(test::IsFinishedWave(dir / "broken/" + name)) << name;
}

}  // namespace
}  // namespace mv
