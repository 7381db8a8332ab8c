#pragma once
// A cut's result in words, the same for the command line and the preview:
// the piece names, the summary, and why the cut found no break or fewer than
// the gaps suggest; the numbers in them written one way.

#include <cstdint>
#include <string>
#include <vector>

#include "cut/cut.h"

namespace mv {

// "mv000001.wav": a piece's name in its folder ("mv000001.flac" with that
// extension).
std::string PieceFileName(int32_t number, std::string_view extension = ".wav");

// "2.35秒". Numbers read the same in every locale.
std::string SecondsText(double seconds);
// "-50.3 dBFS"; "-∞ dBFS" for 0.
std::string LevelText(int32_t level, const PcmFormat& format);
// A level with its sample value: "50 (-56.3 dBFS)".
std::string SampleLevelText(int32_t level, const PcmFormat& format);

// A peak with its level in the samples' own full scale: "50 (-56.3 dBFS)".
std::string PeakLevelText(int32_t peak, const PcmFormat& format);

// What a cut at silences found: the songs and the longest quiet run, then
// where a short sound broke a silence, the breaks the shortest song merged
// away, and why no break was found when there was none.
struct CutExplanation {
  std::string summary;
  std::vector<std::string> notes;
};
CutExplanation ExplainCut(const CutSettings& settings, const CutResult& result);

}  // namespace mv
