#pragma once
// FLAC pieces of a WAVE source whose pieces are known before any is written
// (a dry pass found them). The pieces are independent: two workers each read
// their own piece from their own handle on the source, correct it and encode
// it, so both cores encode and memory stays flat, whatever the pieces'
// lengths. Everything the host hears (progress, files, errors) comes on the
// calling thread, in the pieces' order, as from a cut that writes one piece
// after another: a piece gets its name only after the ones before it, and a
// piece after one that failed, or after the one a cancel cut short, is never
// named.

#include <cstdint>
#include <string>
#include <vector>

#include "cut/piece_outputs.h"
#include "cut/scan_kernels.h"
#include "flac/flac_source.h"
#include "wave/job.h"
#include "wave/source.h"
#include "wave/writer.h"

namespace mv {

// Bytes of the data that make a piece: whole frames, but for a part of a
// frame at the end of the data, which goes in as it is.
struct PieceRange {
  int64_t offset = 0;  // from the start of the data
  int64_t bytes = 0;
};

struct FlacRangesJob {
  OpenSource open;         // each worker opens the source for itself
  std::string source;
  int64_t dataStart = 0;   // bytes before the data in the file
  FlacStreamInfo info;     // the pieces' layout and depth
  ZeroPoints zero;         // subtracted from every whole frame, as the cut does
  PieceOutputs paths;      // piece n of ranges[n - 1]
  FileClosed closed;       // told of each file as it is finished, on the calling thread
  OutputRules rules;
  bool verify = true;      // libFLAC decodes each frame again and compares
};

// Writes piece n from ranges[n - 1]; false when a cancel stopped it, the
// piece it stopped in kept, complete, as far as it was encoded. An error
// raises the first failed piece's, once the pieces before it are in place.
bool WriteFlacRanges(const FlacRangesJob& job, const std::vector<PieceRange>& ranges, JobHost& host);

}  // namespace mv
