#pragma once
// The cut at silences of a dry run, from the levels its first pass gathered:
// only the stretches where a quiet run may lie are read again and tested,
// with the scan's own kernels; between them every window holds a sound long
// enough to end any run, and the peaks come from the levels. The report is
// the one the scan of the whole source gives.

#include "cut/detect.h"
#include "cut/modes.h"

namespace mv {

// Whether these levels serve for this source and these settings: a dry run
// of integer samples or 32-bit floats, with click tolerance, as read in
// full by the first pass. Otherwise the whole source is to be scanned.
bool CanScanFromLevels(const CutSettings& s, const LevelWindows& levels, const CutSource& src);

// As CutAtSilences in a dry run; false when cancelled.
bool ScanFromLevels(const CutSettings& s, ZeroPoints zero, const LevelWindows& levels, CutSource src, JobHost& host,
                    PieceSink& out, ScanReport& report);

}  // namespace mv
