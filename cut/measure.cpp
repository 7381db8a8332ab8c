#include "cut/measure.h"

#include <algorithm>
#include <cstring>

namespace mv {

namespace {

// Groups of the envelope: about this many over the whole data.
constexpr int64_t kEnvelopePoints = 4096;

int32_t peak16(const uint8_t* p, std::size_t samples) {
  int16_t lo = 0, hi = 0;
  constexpr std::size_t kRun = 32;
  std::size_t i = 0;
  // Whole runs through a local array, so that the compiler keeps them in
  // vector registers.
  for (; i + kRun <= samples; i += kRun) {
    int16_t v[kRun];
    std::memcpy(v, p + i * 2, sizeof v);
    for (std::size_t k = 0; k < kRun; ++k) {
      lo = std::min(lo, v[k]);
      hi = std::max(hi, v[k]);
    }
  }
  for (; i < samples; ++i) {
    const auto v = static_cast<int16_t>(static_cast<uint16_t>(p[i * 2] | p[i * 2 + 1] << 8));
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  return std::max<int32_t>(hi, -int32_t{lo});
}

int32_t peak8(const uint8_t* p, std::size_t samples) {
  uint8_t lo = 128, hi = 128;
  for (std::size_t i = 0; i < samples; ++i) {
    lo = std::min(lo, p[i]);
    hi = std::max(hi, p[i]);
  }
  return std::max(hi - 128, 128 - lo);
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
