// The track list and the names of the pieces: plain lines read into
// position, title, artist and duration or refused naming the line; cue
// sheets read through libcue, their durations from the INDEX 01 times,
// broken ones refused before libcue sees them; the names from a pattern,
// cleaned, cut to 255 bytes on a character boundary, and kept apart.

#include <gtest/gtest.h>

#include <thread>

#include "album/naming.h"
#include "album/track_list.h"
#include "tests/files.h"
#include "tests/support.h"
#include "wave/errors.h"

// The naming rows give only the fields they need, by name.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace mv {
namespace {

using test::ErrorOf;

// A track as one line of text: "position|title|artist|seconds" ("-": none).
std::string Row(const Track& t) {
  std::string seconds = "-";
  if (t.seconds) {
    seconds = std::to_string(*t.seconds);
    seconds.erase(seconds.find_last_not_of('0') + 1);
    if (seconds.ends_with('.')) seconds.pop_back();
  }
  return t.position + "|" + t.title + "|" + t.artist + "|" + seconds;
}

std::vector<std::string> Rows(const TrackList& list) {
  std::vector<std::string> rows;
  for (const Track& t : list.tracks) rows.push_back(Row(t));
  return rows;
}

std::string Unreadable(int line, std::string_view shown) {
  return format(msg::kTracksUnreadableLine, std::to_string(line), shown);
}

TEST(TrackList, PlainListsAreReadIntoTheirFields) {
  const struct {
    std::string text;
    std::vector<std::string> tracks;
  } rows[] = {
      {"A1 Intro 3:45", {"A1|Intro||225"}},
      {"B12 Song / Artist (4:05)", {"B12|Song|Artist|245"}},
      {"1. First", {"1|First||-"}},
      {"1) First / The Band 1:02:03", {"1|First|The Band|3723"}},
      {"A1. Side one", {"A1|Side one||-"}},
      // Bare numbers: positions in a list numbered in order, title otherwise.
      {"01 First\n02 Second\n", {"01|First||-", "02|Second||-"}},
      {"9 Nine\n10 Ten 2:00", {"9|Nine||-", "10|Ten||120"}},
      {"1 Intro", {"1|Intro||-"}},
      {"99 Luftballons", {"|99 Luftballons||-"}},
      {"1 One\n3 Three", {"|1 One||-", "|3 Three||-"}},
      {"7 Seconds\nIntro", {"|7 Seconds||-", "|Intro||-"}},
      {"1. One\n2 Two", {"1|One||-", "2|Two||-"}},
      {"1999 / Someone 3:39", {"|1999|Someone|219"}},
      {"1.5 Title", {"|1.5 Title||-"}},
      {"1.Title", {"|1.Title||-"}},
      // BOM, CRLF, comments and blank lines, tabs, a dash after the position.
      {"\xEF\xBB\xBF# side A\r\n\r\n  01 - Title  \r\n\t02\tTab\t3:05\r\n", {"01|Title||-", "02|Tab||185"}},
      {"#1 is a comment\n1. #1 is a title", {"1|#1 is a title||-"}},
      // Digits, colons, slashes without blanks and parentheses stay in the title.
      {"1. AC/DC 1/2 Live: 12:30pm (Remix)", {"1|AC/DC 1/2 Live: 12:30pm (Remix)||-"}},
      {"Open 24:7 3:45", {"|Open 24:7||225"}},
      {"Song (Live) 03:45", {"|Song (Live)||225"}},
      {"Song (3:45) (Live)", {"|Song (3:45) (Live)||-"}},
      {"Song(3:45)", {"|Song(3:45)||-"}},
      {"1. Medley: A / B / Artist", {"1|Medley: A / B|Artist|-"}},
      {"Title /", {"|Title /||-"}},
      {"Long 120:00\nLonger 10:00:00", {"|Long||7200", "|Longer||36000"}},
      // Untitled tracks: a duration or an artist says the line is meant.
      {"3. (4:05)", {"3|||245"}},
      {"3:45", {"|||225"}},
      {"1. / Someone", {"1||Someone|-"}},
      {"1. 夜明けの歌 / 山田花子 3:05\n2. 海へ", {"1|夜明けの歌|山田花子|185", "2|海へ||-"}},
      {"", {}},
      {"# nothing\n\n", {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    TrackList list;
    ASSERT_NO_THROW(list = ParseTrackList(r.text)) << ErrorOf([&] { ParseTrackList(r.text); });
    EXPECT_EQ(Rows(list), r.tracks);
    EXPECT_EQ(list.album, "");
    EXPECT_EQ(list.albumArtist, "");
  }
}

TEST(TrackList, LinesThatCannotBeReadAreRefusedByNumber) {
  const struct {
    std::string text;
    std::string error;
  } rows[] = {
      {"1. Fine\n2.\n", Unreadable(2, "2.")},
      {"1. Fine\n\nA2  \n", Unreadable(3, "A2")},
      {"01 -", Unreadable(1, "01 -")},
      {"Song 3:75", Unreadable(1, "Song 3:75")},
      {"Song (3:45", Unreadable(1, "Song (3:45")},
      {"Song 3:45)", Unreadable(1, "Song 3:45)")},
      {"Song 1:2", Unreadable(1, "Song 1:2")},
      {"Song 1:60:00", Unreadable(1, "Song 1:60:00")},
      {"Song 1:2:3:4", Unreadable(1, "Song 1:2:3:4")},
      {"Song 1000:00", Unreadable(1, "Song 1000:00")},
      {"# c\nSong\x01Title", Unreadable(2, "Song?Title")},
      {"ok\nA\rB", Unreadable(2, "A?B")},
      {std::string("Song\0x", 6), Unreadable(1, "Song?x")},
      {"1. " + std::string(100, 'x') + " 9:99", Unreadable(1, "1. " + std::string(57, 'x') + "...")},
      // Bytes that are not UTF-8: stray, overlong, a surrogate, cut short.
      {"1. ok\n2. \xff\n", format(msg::kTracksNotUtf8, "2")},
      {"\xC0\xAF", format(msg::kTracksNotUtf8, "1")},
      {"a\n\n\xED\xA0\x80", format(msg::kTracksNotUtf8, "3")},
      {"abc\xE3\x81", format(msg::kTracksNotUtf8, "1")},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(ErrorOf([&] { ParseTrackList(r.text); }), r.error);
  }
}

// A sheet as a ripper writes it, with the lines that trip libcue when they
// reach it unchecked: a REM comment holding "DATE", CRLF ends, a BOM.
const std::string kSheet =
    "\xEF\xBB\xBFREM GENRE \"J-Pop\"\r\n"
    "REM DATE 1985\r\n"
    "REM COMMENT \"UPDATE 2, by hand\"\r\n"
    "REM REPLAYGAIN_ALBUM_GAIN\r\n"
    "CATALOG 4988001234567\r\n"
    "PERFORMER \"山田花子\"\r\n"
    "TITLE \"夏の記録\"\r\n"
    "FILE \"夏の記録.wav\" WAVE\r\n"
    "  TRACK 01 AUDIO\r\n"
    "    TITLE \"海へ\"\r\n"
    "    PERFORMER \"山田花子\"\r\n"
    "    INDEX 01 00:00:00\r\n"
    "  TRACK 02 AUDIO\r\n"
    "    TITLE \"Magic / Ways\"\r\n"
    "    FLAGS DCP PRE\r\n"
    "    INDEX 00 04:12:40\r\n"
    "    INDEX 01 04:14:00\r\n"
    "  TRACK 03 AUDIO\r\n"
    "    TITLE Bare\r\n"
    "    PERFORMER \"Guest & Band\"\r\n"
    "    ISRC JPK631400123\r\n"
    "    REM COMPOSER Rock 'n' \"Roll\r\n"
    "    INDEX 00 09:01:70\r\n"
    "    INDEX 01 09:03:15\r\n";

TEST(TrackList, ACueSheetGivesAlbumTitlesAndDurationsFromItsIndexes) {
  ::testing::internal::CaptureStderr();
  const TrackList list = ParseTrackList(kSheet);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "libcue complained";
  EXPECT_EQ(list.album, "夏の記録");
  EXPECT_EQ(list.albumArtist, "山田花子");
  // 04:14:00 is 19050 frames, 09:03:15 is 40740: 254 s and 289.2 s.
  EXPECT_EQ(Rows(list), (std::vector<std::string>{"01|海へ|山田花子|254", "02|Magic / Ways||289.2",
                                                  "03|Bare|Guest & Band|-"}));

  const struct {
    std::string text;
    std::vector<std::string> tracks;
  } rows[] = {
      // A file a track: no track's end is known.
      {"FILE \"01.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"A\"\nINDEX 01 00:00:00\n"
       "FILE \"02.wav\" WAVE\nTRACK 02 AUDIO\nTITLE \"B\"\nINDEX 01 00:00:00\n",
       {"01|A||-", "02|B||-"}},
      // The gap before track 2 at the end of the first file: track 2 starts
      // the second file, and track 3 follows it there.
      {"FILE a.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 03:00:00\n"
       "FILE b.wav WAVE\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 02:00:00",
       {"01|||-", "02|||120", "03|||-"}},
      {"FILE x.flac FLAC\nTRACK 1 AUDIO\nTITLE \"\"\nINDEX 1 00:00:00\nTRACK 2 AUDIO\nINDEX 01 00:00:01",
       {"1|||0.013333", "2|||-"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    TrackList l;
    ASSERT_NO_THROW(l = ParseTrackList(r.text)) << ErrorOf([&] { ParseTrackList(r.text); });
    EXPECT_EQ(Rows(l), r.tracks);
  }
}

TEST(TrackList, BrokenCueSheetsAreRefusedNamingTheLine) {
  const std::string head = "FILE a.wav WAVE\nTRACK 01 AUDIO\n";
  // libcue holds 99 tracks; the numbers written do not count.
  std::string hundred = "FILE a.wav WAVE\n";
  for (int t = 1; t <= 100; ++t)
    hundred += "TRACK " + std::to_string((t - 1) % 99 + 1) + " AUDIO\nINDEX 01 " + std::to_string(t) + ":00:00\n";
  const std::string ninetyNine = hundred.substr(0, hundred.find("TRACK 1 AUDIO", 20));
  const struct {
    std::string text;
    std::string error;
  } rows[] = {
      {head + "TITLE Two Words\nINDEX 01 00:00:00", Unreadable(3, "TITLE Two Words")},
      {head + "TITLE \"open\nINDEX 01 00:00:00", Unreadable(3, "TITLE \"open")},
      {head + "TITLE \"C:\\\"\nINDEX 01 00:00:00", Unreadable(3, "TITLE \"C:\\\"")},
      {head + "TITLE \"a\"b\nINDEX 01 00:00:00", Unreadable(3, "TITLE \"a\"b")},
      {head + "TITLE 'single'\nINDEX 01 00:00:00", Unreadable(3, "TITLE 'single'")},
      {head + "title \"x\"\nINDEX 01 00:00:00", Unreadable(3, "title \"x\"")},
      {head + "SUBTITLE \"x\"\nINDEX 01 00:00:00", Unreadable(3, "SUBTITLE \"x\"")},
      {head + "TITLE \"" + std::string(1001, 'x') + "\"\nINDEX 01 00:00:00",
       Unreadable(3, "TITLE \"" + std::string(53, 'x') + "...")},
      {head + "INDEX 01 00:00:75", Unreadable(3, "INDEX 01 00:00:75")},
      {head + "INDEX 01 00:60:00", Unreadable(3, "INDEX 01 00:60:00")},
      {head + "INDEX 01 0:0:0", Unreadable(3, "INDEX 01 0:0:0")},
      {head + "INDEX 100 00:00:00", Unreadable(3, "INDEX 100 00:00:00")},
      {head + "INDEX 01 00:00:00\nINDEX 01 00:01:00", Unreadable(4, "INDEX 01 00:01:00")},
      {head + "INDEX 01 00:00:00\nCATALOG 123", Unreadable(4, "CATALOG 123")},
      {head + "FLAGS DCP LOUD\nINDEX 01 00:00:00", Unreadable(3, "FLAGS DCP LOUD")},
      {"TRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE a.wav WAVE", Unreadable(1, "TRACK 01 AUDIO")},
      {"FILE a.wav WAVE\nFILE b.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00", Unreadable(2, "FILE b.wav WAVE")},
      {"FILE a.ogg OGG\nTRACK 01 AUDIO\nINDEX 01 00:00:00", Unreadable(1, "FILE a.ogg OGG")},
      {head + "TRACK 00 AUDIO", Unreadable(3, "TRACK 00 AUDIO")},
      {head + "INDEX 01 00:00:00\n# note", Unreadable(4, "# note")},
      {head + "INDEX 01 03:00:00\nTRACK 02 AUDIO\nINDEX 01 02:00:00", Unreadable(5, "INDEX 01 02:00:00")},
      {head + "INDEX 01 03:00:00\nTRACK 02 AUDIO\nINDEX 01 03:00:00", Unreadable(5, "INDEX 01 03:00:00")},
      {head + "TITLE \"x\"\nTRACK 02 AUDIO\nINDEX 01 00:00:00", format(msg::kTracksCueNoIndex, "2")},
      {head + "INDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 00 00:00:00", format(msg::kTracksCueNoIndex, "4")},
      {"TITLE \"x\"\nFILE a.wav WAVE\n", std::string(msg::kTracksCueNoTrack)},
      {hundred, Unreadable(200, "TRACK 1 AUDIO")},
      {head + "INDEX 01 00:00:00\nTITLE \"\xE3\x81\"", format(msg::kTracksNotUtf8, "4")},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text.substr(0, 200));
    EXPECT_EQ(ErrorOf([&] { ParseTrackList(r.text); }), r.error);
  }
  const TrackList most = ParseTrackList(ninetyNine);
  ASSERT_EQ(most.tracks.size(), 99u);
  EXPECT_EQ(Row(most.tracks[97]), "98|||60");
  // Nothing the refused sheets did stays with libcue for the next one.
  EXPECT_EQ(Rows(ParseTrackList(kSheet)).size(), 3u);
}

// libcue's parser is one set of globals: threads take turns.
TEST(TrackList, CueSheetsReadOnManyThreadsAtOnce) {
  const std::vector<std::string> expected = Rows(ParseTrackList(kSheet));
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) wrong[t] += Rows(ParseTrackList(kSheet)) != expected;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST(TrackList, FilesAreReadWithTheFileLayersErrors) {
  test::TempDir dir;
  test::WriteBytes(dir / "list.txt", test::Ascii("1. One\n2. Two 3:00\n"));
  EXPECT_EQ(Rows(ReadTrackList(dir / "list.txt")), (std::vector<std::string>{"1|One||-", "2|Two||180"}));
  EXPECT_EQ(ErrorOf([&] { ReadTrackList(dir / "none.txt"); }), format(msg::kCannotOpen, dir / "none.txt"));
  EXPECT_EQ(ErrorOf([&] { ReadTrackList(dir.path()); }), format(msg::kCannotOpen, dir.path()));
  test::WriteBytes(dir / "big.txt", test::Bytes((1 << 20) + 1, 'a'));
  EXPECT_EQ(ErrorOf([&] { ReadTrackList(dir / "big.txt"); }), format(msg::kTracksTooLarge, dir / "big.txt"));
}

TEST(TrackList, CountsAndDurationsAgainstThePieces) {
  const TrackList list = ParseTrackList("1. One 3:45\n2. 1:02:03\n3. Three");
  EXPECT_EQ(ErrorOf([&] { CheckTrackCount(list, 4); }), format(msg::kTracksCountDiffers, "3", "4"));
  EXPECT_EQ(ErrorOf([&] { CheckTrackCount(list, 3); }), "(no error)");
  const struct {
    std::size_t n;
    double seconds;
    std::optional<std::string> warning;
  } rows[] = {
      {1, 235.0, std::nullopt},
      {1, 215.0, std::nullopt},
      {1, 235.5, format(msg::kTracksLengthDiffers, "1", "One", "3:55.5", "3:45")},
      {1, 200.0, format(msg::kTracksLengthDiffers, "1", "One", "3:20", "3:45")},
      {2, 3700.0, format(msg::kTracksLengthDiffers, "2", "Track 02", "1:01:40", "1:02:03")},
      {3, 9999.0, std::nullopt},
      {4, 9999.0, std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(LengthWarning(list, r.n, r.seconds), r.warning) << r.n << " " << r.seconds;
}

TEST(Naming, NamesFromThePatternAreCleanedCutAndKeptApart) {
  const std::string kyoku = "\xE6\x9B\xB2";  // 曲, three bytes
  auto times = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  const struct {
    std::string pattern, extension;
    std::vector<NameFields> pieces;
    std::vector<std::string> names;
  } rows[] = {
      {std::string(kDefaultNamePattern), ".wav", {{.n = 1, .count = 2, .title = "Intro"}, {.n = 2, .count = 2, .title = "海へ"}},
       {"01 Intro.wav", "02 海へ.wav"}},
      {"{n}-{N} {pos} {artist} - {title} [{album}, {year}]", ".flac",
       {{.n = 3, .count = 12, .pos = "A3", .title = "Song", .artist = "Band", .album = "Album", .year = "1985"}},
       {"03-12 A3 Band - Song [Album, 1985].flac"}},
      {"{n}", ".wav", {{.n = 100, .count = 120}}, {"100.wav"}},
      {"no fields", ".wav", {{.n = 1}}, {"no fields.wav"}},
      // "/", controls and bytes that are not UTF-8 become "_".
      {"{title}", ".wav", {{.n = 1, .title = std::string("AC/DC\tLive\x7f\n\0!", 14)}}, {"AC_DC_Live___!.wav"}},
      {"{album}", ".wav", {{.n = 1, .album = "A\xff" "B\xC2\x85" "C"}}, {"A_B_C.wav"}},
      {"{album}/{title}", ".wav", {{.n = 1, .title = "t", .album = "a"}}, {"a_t.wav"}},
      // Leading dots and blanks, trailing blanks (the wide one too).
      {"{title}", ".wav", {{.n = 1, .title = " . ..hidden  "}}, {"hidden.wav"}},
      {"{title}", ".wav", {{.n = 1, .title = "\xE3\x80\x80" "全角\xE3\x80\x80"}}, {"全角.wav"}},
      {"{title}.", ".wav", {{.n = 1, .title = "a"}}, {"a..wav"}},
      // An empty or blank title, and a name left empty.
      {"{n} {title}", ".wav", {{.n = 1, .title = ""}, {.n = 2, .title = " \t "}}, {"01 Track 01.wav", "02 Track 02.wav"}},
      {"{artist}", ".wav", {{.n = 7}}, {"Track 07.wav"}},
      {"{title}", ".wav", {{.n = 1, .title = "..."}}, {"Track 01.wav"}},
      // Clashes, compared as Linux compares names.
      {"{title}", ".wav",
       {{.n = 1, .title = "Same"}, {.n = 2, .title = "Same"}, {.n = 3, .title = "same"}, {.n = 4, .title = "Same"},
        {.n = 5, .title = "Same (2)"}},
       {"Same.wav", "Same (2).wav", "same.wav", "Same (3).wav", "Same (2) (2).wav"}},
      {"{pos}", ".wav", {{.n = 1}, {.n = 2}}, {"Track 01.wav", "Track 02.wav"}},
      {"x", ".wav", {{.n = 1}, {.n = 2}}, {"x.wav", "x (2).wav"}},
      // 255 bytes with the extension: 250 for the stem falls inside a
      // character, so 83 of them (249 bytes) stay.
      {"{title}", ".flac", {{.n = 1, .title = times(kyoku, 100)}, {.n = 2, .title = times(kyoku, 100)}},
       {times(kyoku, 83) + ".flac", times(kyoku, 82) + " (2).flac"}},
      {"{title}", ".wav", {{.n = 1, .title = times(kyoku, 100)}}, {times(kyoku, 83) + ".wav"}},
      {"{title}", ".flac", {{.n = 1, .title = std::string(249, 'a') + " b"}}, {std::string(249, 'a') + ".flac"}},
      {"{title}", ".wav", {{.n = 1, .title = std::string(251, 'a')}}, {std::string(251, 'a') + ".wav"}},
      {"{title}", ".wav", {{.n = 1, .title = std::string(252, 'a')}}, {std::string(251, 'a') + ".wav"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.pattern);
    std::vector<std::string> names;
    ASSERT_NO_THROW(names = PieceFileNames(r.pattern, r.pieces, r.extension));
    EXPECT_EQ(names, r.names);
    for (const std::string& name : names) EXPECT_LE(name.size(), kMaxNameBytes) << name;
  }
}

TEST(Naming, PatternsWithUnknownFieldsOrLoneBracesAreRefused) {
  EXPECT_EQ(ErrorOf([] { CheckNamePattern("{n} {N} {pos} {title} {artist} {album} {year} x"); }), "(no error)");
  EXPECT_EQ(ErrorOf([] { CheckNamePattern(""); }), "(no error)");
  const struct {
    std::string pattern, error;
  } rows[] = {
      {"{n} {foo}", format(msg::kNameUnknownField, "foo")},
      {"{Title}", format(msg::kNameUnknownField, "Title")},
      {"{}", format(msg::kNameUnknownField, "")},
      {"{n", format(msg::kNameUnmatchedBrace, "{n")},
      {"n}", format(msg::kNameUnmatchedBrace, "n}")},
      {"{{n}}", format(msg::kNameUnmatchedBrace, "{{n}}")},
      {"{n}{", format(msg::kNameUnmatchedBrace, "{n}{")},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(ErrorOf([&] { CheckNamePattern(r.pattern); }), r.error);
    EXPECT_EQ(ErrorOf([&] { PieceFileNames(r.pattern, {{.n = 1}}, ".wav"); }), r.error);
  }
}

}  // namespace
}  // namespace mv
