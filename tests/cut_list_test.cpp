// Cut lists: each form read into frames and titles, rounded to the nearest
// frame, refused naming the line; the label file, cue sheet and JSON of a
// cut read back to its pieces' starts; the markers of a WAVE file's cue
// chunk, titled from its labl texts.

#include <gtest/gtest.h>

#include <algorithm>

#include "cutlist/cut_edits.h"
#include "cutlist/cut_list.h"
#include "cutlist/markers.h"
#include "tests/commands.h"
#include "tests/files.h"
#include "tests/support.h"
#include "wave/errors.h"
#include "wave/layout.h"

namespace mv {
namespace {

using test::Bytes;
using test::ErrorOf;

// A frame a millisecond, 2:46:40 of data, 4 bytes a frame.
constexpr CutListSource kSource{1000, 10'000'000, 4};

// "[first title] frame:title@line ...", a point without a title as frame@line.
std::string Shape(const CutList& list) {
  std::string s = "[" + list.firstTitle.value_or("") + "]";
  for (const CutPoint& p : list.points)
    s += " " + std::to_string(p.frame) + (p.title ? ":" + *p.title : "") + "@" + std::to_string(p.line);
  return s;
}

std::string Unreadable(int line, std::string_view shown) {
  return format(msg::kCutsUnreadableLine, std::to_string(line), shown);
}

TEST(CutList, EachFormGivesItsPointsAndTitles) {
  const struct {
    const char* form;
    std::string text;
    std::string shape;
  } rows[] = {
      {"labels", "0.000000\t1.500000\tIntro\n1.500000\t3.000000\tSong\n3.000000\t100.000000\t\n",
       "[Intro] 1500:Song@2 3000@3"},
      // Starts alone, comments, blank lines, CRLF, a BOM; blanks around a label go.
      {"labels", "\xEF\xBB\xBF# exported\r\n\r\n2.5\r\n4\t4\r\n7.25\t9\t  Coda  \r\n", "[] 2500@3 4000@4 7250:Coda@5"},
      {"labels", "1\t2\tA\tB", "[] 1000:A\tB@1"},
      {"plain", "0:00 Intro\n1:30 Two\n95.25\n# later\n1:02:03.500 Three\n",
       "[Intro] 90000:Two@2 95250@3 3723500:Three@5"},
      {"plain", "75:30\tSide  B \n", "[] 4530000:Side  B@1"},
      {"cue",
       "TITLE \"Album\"\nFILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
       "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 00 00:01:00\n    INDEX 01 00:01:30\n"
       "  TRACK 03 AUDIO\n    INDEX 01 01:00:00\n",
       "[One] 1400:Two@9 60000@11"},
      // The first track begins the first piece, its lead-in with it.
      {"cue", "FILE a.wav WAVE\nTRACK 01 AUDIO\nTITLE One\nINDEX 01 00:02:00\nTRACK 02 AUDIO\nINDEX 01 00:03:00\n",
       "[One] 3000@6"},
      {"json",
       "{\"source\": \"t.wav\", \"files\": [\n {\"file\": \"01 A.wav\", \"first_byte\": 0, \"title\": \"A\"},\n"
       " {\"first_byte\": 400, \"title\": \"B\\u00e9 \\ud83c\\udfb5\\\"\"},\n {\"title\": null, \"first_byte\": 800},\n"
       " {\"first_byte\": 1200, \"title\": \"\"}\n]}\n",
       "[A] 100:B\xC3\xA9 \xF0\x9F\x8E\xB5\"@3 200@4 300@5"},
      // One frame apart, one before the end; the end itself, titled or not, cuts nothing.
      {"plain", "0.001\n0.002\n9999.999\n10000 End\n", "[] 1@1 2@2 9999999@3"},
      {"json", "{\"files\": [{\"first_byte\": 40000000, \"title\": \"x\"}]}", "[]"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.form) + ": " + row.text);
    CutList list;
    ASSERT_EQ(ErrorOf([&] { list = ParseCutList(row.text, kSource); }), "(no error)");
    EXPECT_EQ(Shape(list), row.shape);
  }
}

// A point lies at the frame nearest its time, a half up; the cue sheet's
// 1/75 s likewise.
TEST(CutList, TimesRoundToTheNearestFrame) {
  const struct {
    int32_t rate;
    std::string time;  // a plain list's, or a cue sheet's INDEX 01 after a first track at 0
    int64_t frame;
  } rows[] = {
      {44100, "1.0000113", 44100},
      {44100, "1.0000114", 44101},
      {8000, "1.0000624", 8000},
      {8000, "1.0000625", 8001},
      {3, "0:01.5", 5},
      {3, "0:01.49999", 4},
      {44100, "0:00:01.000001", 44100},
      {8000, "3599.9999375", 28800000},
      {44100, "00:00:01", 588},
      {32000, "00:00:01", 427},
      {8000, "00:00:01", 107},
      {44100, "00:01:37", 65856},
      {11025, "00:00:02", 294},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.rate) + " Hz: " + row.time);
    const bool cue = std::count(row.time.begin(), row.time.end(), ':') == 2 && row.time.size() == 8;
    const std::string text =
        cue ? "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 " + row.time : row.time;
    CutList list;
    ASSERT_EQ(ErrorOf([&] { list = ParseCutList(text, {row.rate, int64_t{1} << 40, 4}); }), "(no error)");
    ASSERT_EQ(list.points.size(), 1u);
    EXPECT_EQ(list.points[0].frame, row.frame);
  }
}

TEST(CutList, ListsThatCannotBeTakenAreRefusedNamingTheLine) {
  const std::string cueHead = "FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 ";
  const struct {
    std::string text;
    std::string message;
  } rows[] = {
      // Label files: a start, an end not before it, each a number of seconds.
      {"1\t2\tA\nx\t3\tB", Unreadable(2, "x?3?B")},
      {"2\t1\tA", Unreadable(1, "2?1?A")},
      {"1\t2\tA\n3\tlater\tB", Unreadable(2, "3?later?B")},
      {"1\t2\n1,5\t2", Unreadable(2, "1,5?2")},
      // Plain lists.
      {"1:60 x", Unreadable(1, "1:60 x")},
      {"0:10\n1:5", Unreadable(2, "1:5")},
      {"1:02:60", Unreadable(1, "1:02:60")},
      {"1:60:00", Unreadable(1, "1:60:00")},
      {"1:2:03", Unreadable(1, "1:2:03")},
      {"Title 1:30", Unreadable(1, "Title 1:30")},
      {"-1", Unreadable(1, "-1")},
      {"1.2.3", Unreadable(1, "1.2.3")},
      {".5", Unreadable(1, ".5")},
      {"1.", Unreadable(1, "1.")},
      {"1:30.1234567890", Unreadable(1, "1:30.1234567890")},
      {"\xEF\xBC\x91:30", Unreadable(1, "\xEF\xBC\x91:30")},
      {"1 A\x01", Unreadable(1, "1 A?")},
      {"1 A\n2 \xff", format(msg::kCutsNotUtf8, "2")},
      {"", std::string(msg::kCutsNoPoint)},
      {"# nothing\n\n", std::string(msg::kCutsNoPoint)},
      // Beyond the data, out of order (after rounding), twice at one frame.
      {"10000.001", format(msg::kCutsBeyondEnd, "1", "2:46:40.001", "2:46:40.000")},
      {"1 A\n99999999999999999999", format(msg::kCutsBeyondEnd, "2", "277777777:46:39.000", "2:46:40.000")},
      {"2\n1", format(msg::kCutsOutOfOrder, "2", "0:00:01.000", "0:00:02.000")},
      {"2 A\n2 B", format(msg::kCutsOutOfOrder, "2", "0:00:02.000", "0:00:02.000")},
      {"0 A\n0:00 B", format(msg::kCutsOutOfOrder, "2", "0:00:00.000", "0:00:00.000")},
      {"1.0001\n1.0004", format(msg::kCutsOutOfOrder, "2", "0:00:01.000", "0:00:01.000")},
      {"10000\n10000", format(msg::kCutsOutOfOrder, "2", "2:46:40.000", "2:46:40.000")},
      // Cue sheets.
      {cueHead + "00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:04:00",
       format(msg::kCutsOutOfOrder, "5", "0:00:04.000", "0:00:05.000")},
      {cueHead + "00:00:00\nTRACK 02 AUDIO\nINDEX 01 999:00:00",
       format(msg::kCutsBeyondEnd, "5", "16:39:00.000", "2:46:40.000")},
      {cueHead + "00:00:00\nFILE b.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00", format(msg::kCutsCueOtherFile, "6")},
      {cueHead + "0:0:0", Unreadable(3, "INDEX 01 0:0:0")},
      {cueHead + "00:00:00\nTITLE \"x", Unreadable(4, "TITLE \"x")},
      // JSON: whole frames of bytes counted, titles that are strings, JSON throughout.
      {"{\"files\": [{\"first_byte\": 401}]}", Unreadable(1, "401}]}")},
      {"{\"files\": [{\"first_byte\": -4}]}", Unreadable(1, "-4}]}")},
      {"{\"files\": [{\"first_byte\": 4e2}]}", Unreadable(1, "4e2}]}")},
      {"{\"files\": 5}", Unreadable(1, "{\"files\": 5}")},
      {"{\"files\": [{\"title\": \"x\"}]}", Unreadable(1, "{\"title\": \"x\"}]}")},
      {"{\"files\": [{\"first_byte\": 4, \"title\": 5}]}", Unreadable(1, "5}]}")},
      {"{\"files\": [}", Unreadable(1, "}")},
      {"{\"files\": []} x", Unreadable(1, "x")},
      {"{\"files\": [{\"first_byte\": 0, \"title\": \"a\\u00\"}]}", Unreadable(1, "\"}]}")},
      {"{\"files\": [{\"first_byte\": 0, \"title\": \"\\udc00\"}]}", Unreadable(1, "\"}]}")},
      {"{\"files\": [{\"first_byte\": 0, \"title\": \"a\tb\"}]}", Unreadable(1, "b\"}]}")},
      {"{\"files\": [\n{\"first_byte\": 0},\n{\"first_byte\": 2}\n]}", Unreadable(3, "2}")},
      {"{\"a\": " + std::string(100, '[') + std::string(100, ']') + "}",
       Unreadable(1, std::string(36, '[') + std::string(24, ']') + "...")},
      {"{\"files\": []}", std::string(msg::kCutsNoPoint)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(ErrorOf([&] { ParseCutList(row.text, kSource); }), row.message);
  }
  // A file of more than 1 MiB is no list.
  test::TempDir dir;
  test::WriteBytes(dir / "big.txt", test::Concat({test::Ascii("1 A\n#"), Bytes((1 << 20) - 4, 'x')}));
  EXPECT_EQ(ErrorOf([&] { ReadCutList(dir / "big.txt", kSource); }), format(msg::kCutsTooLarge, dir / "big.txt"));
  test::WriteBytes(dir / "big.txt", test::Concat({test::Ascii("1 A\n#"), Bytes((1 << 20) - 5, 'x')}));
  EXPECT_EQ(Shape(ReadCutList(dir / "big.txt", kSource)), "[] 1000:A@1");
}

// What a dry run writes with --labels, --cue and --json reads back to the
// starts of the pieces a real run writes: exactly, but for the cue sheet's
// 1/75 s counted down.
TEST(CutList, TheExportsOfACutReadBackToItsPieces) {
  test::TempDir dir;
  Bytes tape;
  for (int song = 0; song < 3; ++song) {
    if (song > 0)
      for (int i = 0; i < 30000 * 2; ++i) test::Put16(tape, 3);
    for (int i = 0; i < 20000 + song * 7001; ++i)
      for (int c = 0; c < 2; ++c)
        test::Put16(tape, static_cast<uint16_t>(((i * (7 + song) + c) % 6000 + 1500) * (i % 2 ? 1 : -1)));
  }
  test::WriteBytes(dir / "tape.wav", test::MakeWav(2, 44100, 16, tape));
  test::WriteBytes(dir / "tracks.txt", test::Ascii("One\nTwo\nThree\n"));
  const std::string out = test::EmptyFolder(dir / "out");
  const std::vector<std::string> cut = {"cut", dir / "tape.wav", "--run", "10000", "--tracks", dir / "tracks.txt"};
  std::vector<std::string> real = cut, dry = cut;
  real.insert(real.end(), {"--out", out});
  dry.insert(dry.end(),
             {"--out", dir.path(), "--dry-run", "--json", "--labels", dir / "l.txt", "--cue", dir / "c.cue"});
  test::Outcome o = test::RunCli(real, dir.path());
  ASSERT_EQ(o.status, 0) << o.err;
  std::vector<int64_t> starts;
  int64_t frame = 0;
  for (const char* name : {"01 One.wav", "02 Two.wav", "03 Three.wav"}) {
    starts.push_back(frame);
    frame += ReadWaveLayout(out + "/" + name).dataBytes / 4;
  }
  ASSERT_EQ(frame * 4, static_cast<int64_t>(tape.size()));
  ASSERT_GT(starts[1], 20000);
  o = test::RunCli(dry, dir.path());
  ASSERT_EQ(o.status, 0) << o.err;
  test::WriteBytes(dir / "j.json", test::Ascii(o.out));

  const CutListSource source{44100, frame, 4};
  const struct {
    std::string file;
    std::vector<std::string> titles;
    int64_t below;  // how far below its piece's start a point may lie
  } rows[] = {
      {dir / "l.txt", {"01 One", "02 Two", "03 Three"}, 0},
      {dir / "c.cue", {"One", "Two", "Three"}, 44100 / 75 - 1},
      {dir / "j.json", {"One", "Two", "Three"}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(test::ReadText(row.file));
    // Cut at the list's points, the files are the cut's own: its JSON and
    // labels exactly (the labels' titles giving way to the track list),
    // its cue sheet's within a CD frame.
    const std::string again = test::EmptyFolder(dir / "again");
    std::vector<std::string> args = {"cut", dir / "tape.wav", "--cuts", row.file, "--out", again};
    if (row.file == dir / "l.txt") args.insert(args.end(), {"--tracks", dir / "tracks.txt"});
    const test::Outcome given = test::RunCli(args, dir.path());
    ASSERT_EQ(given.status, 0) << given.err;
    for (const char* name : {"01 One.wav", "02 Two.wav", "03 Three.wav"})
      if (row.below == 0)
        EXPECT_EQ(test::ReadBytes(again + "/" + name), test::ReadBytes(out + "/" + name)) << name;
      else
        EXPECT_TRUE(test::Exists(again + "/" + name)) << name;
    CutList list;
    ASSERT_EQ(ErrorOf([&] { list = ReadCutList(row.file, source); }), "(no error)");
    EXPECT_EQ(list.firstTitle, row.titles[0]);
    ASSERT_EQ(list.points.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_LE(list.points[i].frame, starts[i + 1]);
      EXPECT_GE(list.points[i].frame, starts[i + 1] - row.below);
      EXPECT_EQ(list.points[i].title, row.titles[i + 1]);
    }
  }
}

// --- Markers ---

Bytes CueChunk(const std::vector<std::pair<uint32_t, uint32_t>>& points) {  // ID, frame
  Bytes b;
  test::Put32(b, static_cast<uint32_t>(points.size()));
  for (const auto& [id, frame] : points) {
    test::Put32(b, id);
    test::Put32(b, frame);
    b = test::Concat({b, test::Ascii("data")});
    test::Put32(b, 0);
    test::Put32(b, 0);
    test::Put32(b, frame);
  }
  return test::Chunk("cue ", b);
}

Bytes Labels(const std::vector<std::pair<uint32_t, std::string>>& labels) {
  Bytes b = test::Ascii("adtl");
  for (const auto& [id, text] : labels) {
    Bytes labl;
    test::Put32(labl, id);
    labl = test::Concat({labl, test::Ascii(text), Bytes(1, 0)});
    b = test::Concat({b, test::Chunk("labl", labl)});
  }
  return test::Chunk("LIST", b);
}

// 1000 frames of 16-bit stereo at 44.1 kHz.
const Bytes kFormat = test::Chunk("fmt ", test::FormatRecord(2, 44100, 16));
const Bytes kData = test::Chunk("data", Bytes(4000, 1));

// An RF64 file: its RIFF and data sizes left to ds64.
Bytes Rf64(const Bytes& after) {
  Bytes ds64;
  for (uint64_t v : {uint64_t{0}, uint64_t{4000}, uint64_t{1000}}) {
    test::Put32(ds64, static_cast<uint32_t>(v));
    test::Put32(ds64, static_cast<uint32_t>(v >> 32));
  }
  test::Put32(ds64, 0);
  Bytes data = test::Ascii("data");
  test::Put32(data, 0xFFFFFFFF);
  Bytes b = test::Riff({test::Chunk("ds64", ds64), kFormat, data, Bytes(4000, 1), after}, "RF64");
  test::Set32(b, 4, 0xFFFFFFFF);
  return b;
}

// On the command line: a point beyond the data stops the cut by its line
// with nothing written; --snap goes only with --cuts; the markers of a
// source cut it, titled by their labels, and a snap moves each to the
// quiet place near it.
TEST(CutList, TheCommandLineCutsAtTheListsPoints) {
  test::TempDir dir;
  Bytes data;
  for (int f = 0; f < 44100; ++f)
    for (int c = 0; c < 2; ++c) test::Put16(data, static_cast<uint16_t>(f >= 20000 && f < 26000 ? 0 : 5000 * (f % 3)));
  test::WriteBytes(dir / "tape.wav",
                   test::Riff({kFormat, test::Chunk("data", data), CueChunk({{1, 19000}, {2, 30000}}),
                               Labels({{1, "Second"}, {2, "Third"}})}));
  const std::string out = test::EmptyFolder(dir / "out");
  test::WriteBytes(dir / "far.txt", test::Ascii("0.2 A\n1.5 B\n"));
  test::Outcome o = test::RunCli({"cut", dir / "tape.wav", "--cuts", dir / "far.txt", "--out", out}, dir.path());
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find(format(msg::kCutsBeyondEnd, "2", "0:00:01.500", "0:00:01.000")), std::string::npos) << o.err;
  o = test::RunCli({"cut", dir / "tape.wav", "--snap", "1", "--out", out}, dir.path());
  EXPECT_EQ(o.status, 2);
  EXPECT_TRUE(test::FileNames(out).empty());

  for (const bool snap : {false, true}) {
    SCOPED_TRACE(snap);
    test::EmptyFolder(out);
    std::vector<std::string> args = {"cut", dir / "tape.wav", "--cuts", "markers", "--out", out};
    if (snap) args.insert(args.end(), {"--snap", "0.1"});
    o = test::RunCli(args, dir.path());
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(test::FileNames(out), (std::vector<std::string>{"01 Track 01.wav", "02 Second.wav", "03 Third.wav"}));
    // The first marker moves on to where the quiet begins; the second has
    // nothing quieter near it.
    EXPECT_EQ(ReadWaveLayout(out + "/01 Track 01.wav").dataBytes / 4, snap ? 20000 : 19000);
    EXPECT_EQ(ReadWaveLayout(out + "/02 Second.wav").dataBytes / 4, snap ? 10000 : 11000);
  }
}

// Edits of the cuts found: each refused when it would leave an empty piece,
// the entries of a track list following the pieces, every step undone and
// redone, and "edited" only while the cuts differ from those found.
TEST(CutEdits, EditsKeepThePiecesAndTheirEntriesAndUndo) {
  auto frames = [](const CutEdits& e) {
    std::vector<int64_t> out;
    for (const EditedCut& c : e.cuts()) out.push_back(c.frame);
    return out;
  };
  auto titles = [](const CutEdits& e) {
    std::vector<std::string> out;
    for (const Track& t : e.tracks()) out.push_back(t.title);
    return out;
  };
  CutEdits e;
  e.reset({0, 100, 300, 1000}, 1000);  // those at 0 and at the end cut nothing
  EXPECT_EQ(frames(e), (std::vector<int64_t>{100, 300}));
  std::vector<Track> list(3);
  list[0].title = "A", list[1].title = "B", list[2].title = "C";
  e.setTracks(list);
  EXPECT_FALSE(e.edited() || e.canUndo());
  for (int64_t refused : {0, 100, 1000, 1200}) EXPECT_FALSE(e.add(refused)) << refused;
  EXPECT_FALSE(e.remove(2));
  EXPECT_FALSE(e.canUndo());

  EXPECT_EQ(e.add(200), std::optional<std::size_t>(1));
  EXPECT_EQ(titles(e), (std::vector<std::string>{"A", "B", "", "C"}));
  EXPECT_TRUE(e.edited() && e.cuts()[1].edited && !e.cuts()[0].edited);
  EXPECT_TRUE(e.move(0, 500));  // no further than its neighbour
  EXPECT_EQ(frames(e), (std::vector<int64_t>{199, 200, 300}));
  EXPECT_FALSE(e.move(1, 199));  // nowhere to go
  EXPECT_TRUE(e.remove(2));      // the untitled piece takes in C's
  EXPECT_EQ(titles(e), (std::vector<std::string>{"A", "B", ""}));
  EXPECT_EQ(e.pieceStarts(), (std::vector<int64_t>{0, 199, 200}));
  const CutList saved = e.list();
  ASSERT_EQ(saved.points.size(), 2u);
  EXPECT_EQ(saved.firstTitle, std::optional<std::string>("A"));
  EXPECT_EQ(saved.points[0].title, std::optional<std::string>("B"));
  EXPECT_FALSE(saved.points[1].title.has_value());

  for (int i = 0; i < 3; ++i) EXPECT_TRUE(e.undo());
  EXPECT_FALSE(e.undo());
  EXPECT_EQ(frames(e), (std::vector<int64_t>{100, 300}));
  EXPECT_EQ(titles(e), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_FALSE(e.edited());
  EXPECT_TRUE(e.redo() && e.redo());
  EXPECT_EQ(frames(e), (std::vector<int64_t>{199, 200, 300}));
  EXPECT_TRUE(e.remove(0));  // a new edit ends what could be redone
  EXPECT_FALSE(e.redo());
  EXPECT_EQ(titles(e), (std::vector<std::string>{"A", "", "C"}));

  // A list read replaces the cuts; its titles the entries; undone as one.
  e.load(saved);
  EXPECT_EQ(frames(e), (std::vector<int64_t>{199, 200}));
  EXPECT_EQ(titles(e), (std::vector<std::string>{"A", "B", ""}));
  EXPECT_TRUE(e.undo());
  EXPECT_EQ(titles(e), (std::vector<std::string>{"A", "", "C"}));
  // A cut placed again where one was found counts as placed by hand.
  e.reset({100}, 1000);
  EXPECT_TRUE(e.remove(0) && e.add(100));
  EXPECT_TRUE(e.edited());
}

TEST(Markers, TheCueChunkGivesPointsTitledByItsLabels) {
  const Bytes cue = CueChunk({{1, 500}, {2, 0}, {3, 250}, {4, 1000}, {5, 250}});
  const Bytes labels = Labels({{1, "Chorus"}, {2, "Intro"}, {5, "Verse"}, {4, "End"}, {1, "Again"}});
  Bytes brokenCount = CueChunk({{1, 10}});
  test::Set32(brokenCount, 8, 2);
  Bytes brokenLabel = Labels({{1, "x"}});
  test::Set32(brokenLabel, 16, 100);
  Bytes cut = test::Riff({kFormat, kData, cue});
  cut.resize(cut.size() - 30);
  const struct {
    const char* name;
    Bytes file;
    std::string result;  // the shape, or the refusal
  } rows[] = {
      // Sorted by frame; one at 0 names the first piece, one at the end goes,
      // two at one frame count once with the title either has.
      {"after the data", test::Riff({kFormat, kData, cue, labels}), "[Intro] 250:Verse@3 500:Chorus@1"},
      {"labels first", test::Riff({kFormat, kData, labels, cue}), "[Intro] 250:Verse@3 500:Chorus@1"},
      {"no labels", test::Riff({kFormat, kData, CueChunk({{7, 999}})}), "[] 999@1"},
      {"Latin-1 and blank labels",
       test::Riff({kFormat, kData, CueChunk({{1, 1}, {2, 2}}), Labels({{1, "Caf\xe9 "}, {2, "  "}})}),
       "[] 1:Caf\xC3\xA9@1 2@2"},
      {"another LIST", test::Riff({kFormat, test::Chunk("LIST", test::Ascii("INFOINAM")), kData, CueChunk({{1, 9}})}),
       "[] 9@1"},
      {"another LIST cut short",
       test::Concat({test::Riff({kFormat, kData, CueChunk({{1, 9}})}), test::Ascii("LIST"), {0, 0, 0, 0x40},
                     test::Ascii("INFO")}),
       "[] 9@1"},
      {"RF64", Rf64(test::Concat({CueChunk({{1, 300}}), Labels({{1, "Late"}})})), "[] 300:Late@1"},
      {"no cue chunk", test::Riff({kFormat, kData, labels}), std::string(msg::kMarkersNone)},
      {"no cue points", test::Riff({kFormat, kData, CueChunk({})}), std::string(msg::kMarkersNone)},
      {"a cue chunk of no bytes", test::Riff({kFormat, kData, test::Chunk("cue ", {})}),
       std::string(msg::kMarkersBroken)},
      {"more points than the chunk holds", test::Riff({kFormat, kData, brokenCount}), std::string(msg::kMarkersBroken)},
      {"a labl past its list", test::Riff({kFormat, kData, cue, brokenLabel}), std::string(msg::kMarkersBroken)},
      {"a cue chunk past the file", cut, std::string(msg::kMarkersBroken)},
      {"beyond the data", test::Riff({kFormat, kData, CueChunk({{1, 10}, {2, 88200}})}),
       format(msg::kMarkerBeyondEnd, "2", "0:00:02.000", "0:00:00.022")},
      {"not a WAVE file", test::Ascii("not a WAVE file at all, only text"), std::string(msg::kUnsupported)},
  };
  test::TempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    test::WriteBytes(dir / "m.wav", row.file);
    std::string result;
    const std::string error = ErrorOf([&] { result = Shape(ReadMarkers(dir / "m.wav")); });
    EXPECT_EQ(error == "(no error)" ? result : error, row.result);
  }
}

}  // namespace
}  // namespace mv
