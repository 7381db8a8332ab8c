#include "cut/measure.h"

#include <algorithm>
#include <cstring>

namespace mv {

namespace {

// Groups of the envelope: about this many over the whole data.
constexpr int64_t kEnvelopePoints = 4096;

// Lowest and highest samples in vector registers, 16 bytes at a time; the
// rest one by one.
using V16 = int16_t __attribute__((vector_size(16)));
using V8 = uint8_t __attribute__((vector_size(16)));

int32_t peak16(const uint8_t* p, std::size_t samples) {
  V16 lo = {}, hi = {};
  std::size_t i = 0;
  for (; i + 8 <= samples; i += 8) {
    V16 x;
    std::memcpy(&x, p + i * 2, 16);
    lo = x < lo ? x : lo;
    hi = x > hi ? x : hi;
  }
  int32_t low = 0, high = 0;
  for (int k = 0; k < 8; ++k) {
    low = std::min<int32_t>(low, lo[k]);
    high = std::max<int32_t>(high, hi[k]);
  }
  for (; i < samples; ++i) {
    const auto v = static_cast<int16_t>(static_cast<uint16_t>(p[i * 2] | p[i * 2 + 1] << 8));
    low = std::min<int32_t>(low, v);
    high = std::max<int32_t>(high, v);
  }
  return std::max(high, -low);
}

int32_t peak8(const uint8_t* p, std::size_t samples) {
  V8 lo = {}, hi = {};
  lo += 128;
  hi += 128;
  std::size_t i = 0;
  for (; i + 16 <= samples; i += 16) {
    V8 x;
    std::memcpy(&x, p + i, 16);
    lo = x < lo ? x : lo;
    hi = x > hi ? x : hi;
  }
  int32_t low = 128, high = 128;
  for (int k = 0; k < 16; ++k) {
    low = std::min<int32_t>(low, lo[k]);
    high = std::max<int32_t>(high, hi[k]);
  }
  for (; i < samples; ++i) {
    low = std::min<int32_t>(low, p[i]);
    high = std::max<int32_t>(high, p[i]);
  }
  return std::max(high - 128, 128 - low);
}

}  // namespace

int32_t PeakOf(const uint8_t* data, std::size_t n, int bits) {
  return bits == 8 ? peak8(data, n) : peak16(data, n / 2);
}

PieceMeter::PieceMeter(const PcmFormat& format, int64_t dataBytes, ScanReport& report)
    : bits_(format.bitsPerSample), report_(report) {
  const int64_t frameSize = format.channels * format.bytesPerSample();
  const int64_t frames = dataBytes / frameSize;
  report_.envelopeFrames = std::max<int64_t>(1, (frames + kEnvelopePoints - 1) / kEnvelopePoints);
  envelopeBytes_ = static_cast<std::size_t>(report_.envelopeFrames * frameSize);
  report_.envelope.reserve(static_cast<std::size_t>(frames / report_.envelopeFrames + 1));
}

void PieceMeter::start() { report_.pieces.push_back({offset_, 0, 0}); }

void PieceMeter::add(const uint8_t* data, std::size_t n) {
  Piece& piece = report_.pieces.back();
  piece.dataBytes += static_cast<int64_t>(n);
  offset_ += static_cast<int64_t>(n);
  // Envelope groups may run across pieces; each part is measured once.
  while (n > 0) {
    if (inBucket_ == 0) report_.envelope.push_back(0);
    const std::size_t take = std::min(n, envelopeBytes_ - inBucket_);
    const int32_t peak = PeakOf(data, take, bits_);
    int32_t& bucket = report_.envelope.back();
    bucket = std::max(bucket, peak);
    piece.peak = std::max(piece.peak, peak);
    blockPeak_ = std::max(blockPeak_, peak);
    inBucket_ = (inBucket_ + take) % envelopeBytes_;
    data += take;
    n -= take;
  }
}

void PieceMeter::blockDone() {
  if (!report_.quietestBlockPeak || blockPeak_ < *report_.quietestBlockPeak) report_.quietestBlockPeak = blockPeak_;
  blockPeak_ = 0;
}

}  // namespace mv
