#pragma once
// The two modes of a cut run, on settings read to numbers; the source stands
// at the first data byte.

#include <cstdint>

#include "cut/cut.h"
#include "cut/scan.h"
#include "cut/scan_kernels.h"
#include "wave/file.h"

namespace mv {

struct CutSource {
  ByteStream& stream;
  int64_t dataStart;
  int64_t dataSize;
};

// Reads the zero points: a caption that is not an integer, or a value that is
// no 16-bit sample, raises the general error report.
ZeroPoints ReadZeroPoints(const std::optional<Correction>& correction);

// Both give their pieces to out, tell what they find in report, and return
// false when the run was cancelled.
bool CutAtSilences(const CutSettings& s, ZeroPoints zero, CutSource src, JobHost& host, PieceSink& out,
                   ScanReport& report);
bool CutIntoPieces(const CutSettings& s, CutSource src, JobHost& host, PieceSink& out, ScanReport& report);
// Pieces beginning at s.points, each moved to the quietest place near it when
// s.snapSeconds asks; the points are checked against the data first.
bool CutAtPoints(const CutSettings& s, ZeroPoints zero, CutSource src, JobHost& host, PieceSink& out,
                 ScanReport& report);
// Where the pieces after the first begin, in frames: the points checked,
// those at 0 and at the end let go, each snapped if asked (reading the
// stream around it, which is left where it was).
std::vector<int64_t> PieceStarts(const CutSettings& s, ZeroPoints zero, CutSource src);

}  // namespace mv
