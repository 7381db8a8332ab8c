#pragma once
// The two modes of a cut run, on settings read to numbers; the source stands
// at the first data byte.

#include <cstdint>
#include <memory>

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

// The source opened for reading its samples: a FLAC source decoded, in its
// own format, a WAVE file from its data chunk; the stream stands at the
// first data byte.
struct OpenedSamples {
  std::unique_ptr<ByteStream> file, decoded;
  PcmFormat format;
  int64_t dataStart = 0, dataSize = 0;
  ByteStream& stream() { return decoded ? *decoded : *file; }
};
OpenedSamples OpenSamples(const CutSettings& s, const OpenSource& open);

// The start of the 50 ms window of the lowest peak among those starting in
// [lo, hi]; of equal ones the nearest to p, then the earlier.
int64_t QuietestNear(int64_t p, int64_t lo, int64_t hi, const CutSettings& s, ZeroPoints z, CutSource src);

// Reads the zero points: a caption that is not an integer, or a value that is
// no 16-bit sample, raises the general error report.
ZeroPoints ReadZeroPoints(const std::optional<Correction>& correction);

// What counts as silence for a cut at silences with these settings.
SilenceRule SilenceRuleFor(const CutSettings& s);

// Each gap's peak, from the envelope once it covers the whole data.
void GapPeaksFromEnvelope(ScanReport& report);

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
