#pragma once
// What morvane-cli tells of a cut: the files a dry run would write, the JSON
// object and the summary line (label and cue files: cli/exports.h).

#include <string>

#include "cut/cut.h"

namespace mv::cli {

struct CutReportOptions {
  bool json = false;
  std::string labels;  // label file to write, or empty
  std::string cue;     // cue sheet to write, or empty
};

// Piece names as the run gives them ("mv000001.wav").
std::string PieceFileName(int32_t number);

// One line a piece: name, start, end and length as H:MM:SS.mmm, data bytes.
void PrintPieceLines(const CutResult& r, const PcmFormat& format);
void PrintJson(const CutSettings& s, const CutResult& r, bool written);
// On stderr: the songs and the longest quiet run, the breaks the shortest song
// merged away, and why no break was found when there was none.
void PrintSummary(const CutSettings& s, const CutResult& r);

}  // namespace mv::cli
