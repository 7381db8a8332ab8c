#pragma once
// The cut at given points on the command line: --cuts FILE (a label file, a
// cue sheet, plain times, a cut's JSON) or --cuts markers (the source's own
// cue points), and --snap S.

#include <CLI/CLI.hpp>

#include <string>

#include "cli/album_options.h"
#include "cut/cut.h"

namespace mv::cli {

struct CutListOptions {
  std::string cuts, snap;
  bool given() const { return !cuts.empty(); }
  // Into s, whose format and album options are set: the points read
  // against the source's data, and the titles they carry naming the pieces
  // unless a track list does.
  void applyTo(CutSettings& s, const AlbumOptions& album) const;
};

void AddCutListOptions(CLI::App& cmd, CutListOptions& o);

}  // namespace mv::cli
