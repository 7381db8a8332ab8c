#pragma once
// A cut list: the frames at which a source is to be cut into pieces, each
// point with an optional title for the piece that begins there. Read whole
// before anything is written; a list that cannot be read, a point beyond
// the data and points out of order are refused (mv::Error) naming the line.
//
// The form is told from the content:
// - JSON (the first character "{"): the object a cut prints with --json;
//   each entry of "files" is a point at "first_byte" (bytes from the start
//   of the data, a whole number of frames) titled by its "title".
// - A cue sheet (a "FILE ... TYPE" or "TRACK NN MODE" line), read as the
//   track list reads one: each track's INDEX 01 is a point titled by the
//   track's TITLE. The first track begins the first piece, whatever lies
//   before its INDEX 01; every INDEX 01 counts in the sheet's first FILE.
// - A label file (a line "START<tab>END..."): each line
//   START[<tab>END[<tab>LABEL]] in seconds; START is a point, LABEL its
//   title, END (not before START) is not used.
// - Otherwise a plain list: each line a time (H:MM:SS, M:SS or seconds, each
//   with an optional decimal fraction), then an optional title after a blank.
// Label files and plain lists skip blank lines and lines starting with "#".
// Times are rounded to the nearest frame (a half up). A point at frame 0
// only names the first piece; one at the end of the data is dropped.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

struct CutPoint {
  int64_t frame = 0;                 // from the start of the data; 0 < frame < the data's frames
  std::optional<std::string> title;  // names the piece that begins here; never empty
  int32_t line = 0;                  // of the list, from 1; of a marker, its place in the cue chunk, from 1
};

struct CutList {
  std::vector<CutPoint> points;           // strictly rising
  std::optional<std::string> firstTitle;  // names the piece that begins at frame 0
};

// What the points are read against.
struct CutListSource {
  int32_t rate = 0;        // frames a second
  int64_t frames = 0;      // length of the data, in frames
  int32_t blockAlign = 0;  // bytes a frame, for the JSON's byte counts
};

// Reads any form; refuses naming the line it cannot take.
CutList ParseCutList(std::string_view text, const CutListSource& source);
// The same from a file of at most 1 MiB.
CutList ReadCutList(const std::string& path, const CutListSource& source);

}  // namespace mv
