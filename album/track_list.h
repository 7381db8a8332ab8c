#pragma once
// The track list that names and tags a cut's pieces: a plain list, one track
// a line, or a cue sheet. Either form is read whole before anything is
// written; a list that cannot be read is refused with a message naming the
// line.
//
// A plain list line is, between optional blanks:
//   [POSITION] TITLE [ / ARTIST] [DURATION]
// POSITION is "A1", "B12" (side and number), "1." or "1)" (number and mark),
// or a bare number such as "01", which counts as a position only when every
// track line starts with a number and the numbers run on by one (from 1 in a
// list of one line): otherwise "99 Luftballons" keeps its number in the
// title. A "-" standing alone after a position ("01 - Title") separates it
// from the title. ARTIST follows the last "/" with blanks on both sides.
// DURATION, the last word, is M:SS, H:MM:SS, or either in parentheses.
// Blank lines and lines starting with "#" are skipped. Refused: a line
// whose last word looks like a duration but is none ("3:75", "(3:45",
// "1:2"), a line holding only a position, a line with a control character
// (tabs are blanks), and bytes that are not UTF-8. A UTF-8 BOM and CRLF
// line ends are taken.
//
// A text with a "FILE ... TYPE" or "TRACK NN MODE" line is a cue sheet,
// read by libcue after a check of each line: the keywords of the format in
// capitals, each with its own arguments (one quoted or bare text, a number,
// MM:SS:FF times), FILE before the first TRACK, at most 99 tracks, each with
// one INDEX 01, the INDEX 01 times rising within a file. REM lines are
// comments. A track's duration runs from its INDEX 01 to the next track's
// in the same file; the last track, and one before a new FILE, have none.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/list_text.h"

namespace mv {

// Where a cue sheet's track begins: its INDEX 01.
struct CueIndex {
  int64_t time = 0;  // in 1/75 s from the start of its FILE
  int32_t file = 0;  // that FILE's place among the sheet's FILE lines, from 1
  int32_t line = 0;  // the INDEX 01 line, from 1
};

struct Track {
  std::string position;             // "A1", "1", "01"... as written, without its mark; empty if none
  std::string title;                // may be empty
  std::string artist;               // empty if none
  std::optional<double> seconds;    // listed duration
  std::optional<CueIndex> index01;  // a cue sheet's; none in a plain list
};

struct TrackList {
  std::string album, albumArtist;  // a cue sheet's TITLE/PERFORMER; empty for a plain list
  std::vector<Track> tracks;
};

// Reads either form; refuses (mv::Error) naming the line it cannot read.
TrackList ParseTrackList(std::string_view text);
// The same from a file: the file layer's errors, and a refusal of a file
// over 1 MiB (no track list is that long: it is another file).
TrackList ReadTrackList(const std::string& path);
// Whether ParseTrackList reads the text as a cue sheet.
bool IsCueSheet(std::string_view text);
// A cue sheet alone, as ParseTrackList reads it but for the durations: the
// INDEX 01 times are not compared. Its refusals name the list of kind.
TrackList ParseCueSheet(std::string_view text, ListKind kind);

// A piece further than this from its listed duration brings a warning.
inline constexpr double kLengthTolerance = 10.0;

// Refuses, naming both counts, unless the list holds as many tracks as the
// cut made pieces.
void CheckTrackCount(const TrackList& list, std::size_t pieces);
// The warning line for piece n (from 1) when its length is more than
// kLengthTolerance seconds away from the listed duration; nothing when it is
// within, or when the list gives none.
std::optional<std::string> LengthWarning(const TrackList& list, std::size_t n, double pieceSeconds);

}  // namespace mv
