#pragma once
// Label files and cue sheets of a cut. They are outputs like its pieces: they
// never replace the source, a piece, or any file that holds audio; each is
// written whole into place ("-": the standard output) once the pieces are
// made and before the source may be deleted.

#include <string>

#include "cli/cut_report.h"
#include "cut/cut.h"

namespace mv::cli {

// A label file's lines: start and end in seconds, the piece's name.
std::string LabelText(const CutResult& r, const PcmFormat& format);
// An export named "-" goes to the standard output.
bool ExportsToStandardOutput(const CutReportOptions& o);
// Two things on the standard output, or both exports into one file, are
// wrong usage.
void CheckExportUsage(const CutReportOptions& o);
// Refuses, before anything is written, an export that names the source, a
// piece of the save folder or a file that holds audio, one whose folder
// cannot take it, and a cue sheet for a source name it cannot hold.
void CheckExports(const CutReportOptions& o, const CutSettings& s);
// Checks again and writes them; a failure raises the error.
void WriteExports(const CutReportOptions& o, const CutSettings& s, const CutResult& r);

}  // namespace mv::cli
