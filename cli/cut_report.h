#pragma once
// What morvane-cli tells of a cut: the files a dry run would write, the JSON
// object and the summary line (label and cue files: cli/exports.h).

#include <string>

#include "cut/cut.h"
#include "cut/explain.h"  // piece names and the explanation of the reports

namespace mv::cli {

struct CutReportOptions {
  bool json = false;
  std::string labels;  // label file to write, or empty
  std::string cue;     // cue sheet to write, or empty
};

// One line a piece: name, start, end and length as H:MM:SS.mmm, data bytes.
void PrintPieceLines(const CutResult& r, const PcmFormat& format);
void PrintJson(const CutSettings& s, const CutResult& r, bool written);
// On stderr: the explanation of a cut at silences, line by line.
void PrintSummary(const CutSettings& s, const CutResult& r);

}  // namespace mv::cli
