#pragma once
// Levels of the samples a cut writes, taken in the pass that writes them.

#include <cstdint>
#include <vector>

#include "cut/scan.h"
#include "cut/scan_kernels.h"
#include "wave/format.h"

namespace mv {

// The frames of each group of a report's envelope, for data of that size.
int64_t EnvelopeFrames(const PcmFormat& format, int64_t dataBytes);

// Keeps a cut's report up to date with every byte that goes into a piece.
class PieceMeter {
 public:
  // With blockBytes, the peak of every whole block of that many bytes from
  // the start of the data counts for the quietest stretch.
  PieceMeter(const PcmFormat& format, int64_t dataBytes, ScanReport& report, int64_t blockBytes = 0);

  void start();
  // Bytes of the current piece, in order; whole samples are measured, a
  // trailing part of a sample is counted but not measured.
  void add(const uint8_t* data, std::size_t n);

 private:
  int32_t (*peak_)(const uint8_t*, std::size_t);
  std::size_t envelopeBytes_;
  ScanReport& report_;
  int64_t offset_ = 0;          // bytes of data measured so far
  std::size_t inBucket_ = 0;    // bytes of the current envelope group
  std::size_t blockBytes_;
  std::size_t inBlock_ = 0;
  int32_t blockPeak_ = 0;
};

}  // namespace mv
