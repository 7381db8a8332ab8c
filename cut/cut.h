#pragma once
// The cut run shared by the window and the command line.

#include <cstdint>
#include <string>

#include "wave/format.h"
#include "wave/job.h"

namespace mv {

// What the cut page holds when a run starts.
struct CutSettings {
  std::string source;      // full path of the file to cut; empty: nothing to do
  std::string saveFolder;  // folder text of the pieces (no trailing "/")
  std::string formatLabel{kCutLabels[kDefaultFormatPosition]};  // format of source and pieces
  bool silenceMode = true;   // true: one file per song; false: equal lengths
  int32_t threshold = 100;   // silence: every |sample| below this, in sample units
  int32_t runLength = 132300;  // silent frames (L/R pairs in stereo) that end a song
  int32_t hours = 0;         // piece length: hours 0..215
  int32_t minutes = 1;       //               minutes 0..59
  int32_t seconds = 0;       //               seconds 0..59
  bool correct = false;      // subtract the zero points (silence mode only)
  std::string zeroLeft = "0";   // zero-point captions, read as integers
  std::string zeroRight = "0";
  bool deleteSource = false;  // delete the source after a complete run
};

enum class CutEnd { NothingToDo, Declined, Complete, Cancelled };

struct CutResult {
  CutEnd end = CutEnd::NothingToDo;
  bool sourceDeleted = false;
};

// Runs the cut; errors raise mv::Error after the run's clean-up (host.end()).
CutResult RunCut(const CutSettings& settings, JobHost& host);

}  // namespace mv
