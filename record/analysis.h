#pragma once
// The correction values of a measurement: per channel the zero point (mean),
// maximum and minimum of the idle input, and the noise spread that becomes the
// silence threshold.

#include <cstdint>

#include "wave/file.h"
#include "wave/format.h"

namespace mv {

struct CorrectionValues {
  int64_t frames = 0;   // complete frames analysed; 0 leaves everything at 0
  int32_t zero[2] = {0, 0};     // left, right; truncated means
  int32_t maximum[2] = {0, 0};
  int32_t minimum[2] = {0, 0};
  double spread = 0;    // 1.2 x the largest distance of an extreme from its mean, capped
  int32_t threshold() const { return static_cast<int32_t>(spread); }
};

// Reads frames from offset to the end (or to end, when given); 8-bit samples
// are centred at 128. Wider samples and floats are measured in 16-bit units,
// the units of the threshold and the zero points at every width.
CorrectionValues AnalyseInput(ByteStream& in, int64_t offset, int channels, int bitsPerSample,
                              SampleKind kind = SampleKind::Integer, int64_t end = -1);

}  // namespace mv
