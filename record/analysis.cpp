#include "record/analysis.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace mv {

namespace {

// A sample in 16-bit units: exact for 8 and 16 bits.
double sampleAt(const uint8_t* p, int bits, SampleKind kind) {
  if (kind == SampleKind::Float) {
    if (bits == 32) {
      float x;
      std::memcpy(&x, p, 4);
      return static_cast<double>(x) * 32768.0;
    }
    double x;
    std::memcpy(&x, p, 8);
    return x * 32768.0;
  }
  switch (bits) {
    case 8: return p[0] - 128;
    case 16: return static_cast<int16_t>(p[0] | p[1] << 8);
    case 24: return static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) / 65536.0;
    default: return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24) / 65536.0;
  }
}

// Floats may lie beyond full scale, or be no number at all.
int32_t toInt(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

}  // namespace

CorrectionValues AnalyseInput(ByteStream& in, int64_t offset, int channels, int bits, SampleKind kind, int64_t end) {
  const int bytes = bits / 8;
  const int frameSize = bytes * channels;
  CorrectionValues out;
  const int64_t last = end < 0 ? in.size() : std::min(end, in.size());
  out.frames = std::max<int64_t>(last - offset, 0) / frameSize;
  if (out.frames == 0) return out;

  double sum[2] = {0, 0};
  // Not the 16-bit extremes: the maximum starts one above the lowest value.
  double hi[2] = {-32767, -32767};
  double lo[2] = {32768, 32768};
  if (channels == 1) hi[1] = lo[1] = 0;

  in.seek(offset);
  std::vector<uint8_t> block(static_cast<std::size_t>(frameSize) * 16384);
  int64_t left = out.frames;
  while (left > 0) {
    const int64_t take = std::min<int64_t>(left, 16384);
    const std::size_t n = static_cast<std::size_t>(take * frameSize);
    in.readFull(block.data(), n);
    const uint8_t* p = block.data();
    for (int64_t f = 0; f < take; ++f) {
      for (int c = 0; c < channels; ++c, p += bytes) {
        const double v = sampleAt(p, bits, kind);
        sum[c] += v;
        if (v > hi[c]) hi[c] = v;
        if (v < lo[c]) lo[c] = v;
      }
    }
    left -= take;
  }

  const double frames = static_cast<double>(out.frames);
  const double mean[2] = {sum[0] / frames, channels == 2 ? sum[1] / frames : 0.0};
  for (int c = 0; c < 2; ++c) {
    out.zero[c] = toInt(mean[c]);
    out.maximum[c] = toInt(hi[c]);
    out.minimum[c] = toInt(lo[c]);
  }
  double spread = hi[1] - mean[1];
  spread = std::max(spread, mean[1] - lo[1]);
  spread = std::max(spread, hi[0] - mean[0]);
  spread = std::max(spread, mean[0] - lo[0]);
  spread *= 1.2;
  const double cap = bits == 8 ? 128 : 32768;
  out.spread = std::min(spread, cap);
  return out;
}

}  // namespace mv
