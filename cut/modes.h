#pragma once
// The two modes of a cut run; the source stands at the first data byte.

#include <cstdint>

#include "cut/cut.h"
#include "wave/file.h"

namespace mv {

struct CutSource {
  File& file;
  int64_t dataStart;
  int32_t dataSize;
};

// Both return false when the run was cancelled.
bool CutAtSilences(const CutSettings& s, CutSource src, JobHost& host);
bool CutIntoPieces(const CutSettings& s, CutSource src, JobHost& host);

int32_t PieceSeconds(const CutSettings& s);

}  // namespace mv
