#include "cut/measure.h"

#include <algorithm>

namespace mv {

namespace {

// Groups of the envelope: about this many over the whole data.
constexpr int64_t kEnvelopePoints = 4096;

}  // namespace

int64_t EnvelopeFrames(const PcmFormat& format, int64_t dataBytes) {
  const int64_t frames = dataBytes / (format.channels * format.bytesPerSample());
  return std::max<int64_t>(1, (frames + kEnvelopePoints - 1) / kEnvelopePoints);
}

PieceMeter::PieceMeter(const PcmFormat& format, int64_t dataBytes, ScanReport& report, int64_t blockBytes)
    : peak_(ScanKernelsFor(format).peak), report_(report), blockBytes_(static_cast<std::size_t>(blockBytes)) {
  const int64_t frameSize = format.channels * format.bytesPerSample();
  const int64_t frames = dataBytes / frameSize;
  report_.envelopeFrames = EnvelopeFrames(format, dataBytes);
  envelopeBytes_ = static_cast<std::size_t>(report_.envelopeFrames * frameSize);
  report_.envelope.reserve(static_cast<std::size_t>(frames / report_.envelopeFrames + 1));
}

void PieceMeter::start() {
  Piece p;
  p.firstByte = offset_;
  report_.pieces.push_back(p);
}

void PieceMeter::add(const uint8_t* data, std::size_t n) {
  Piece& piece = report_.pieces.back();
  piece.dataBytes += static_cast<int64_t>(n);
  offset_ += static_cast<int64_t>(n);
  // Envelope groups and blocks may run across pieces; each part is measured
  // once.
  while (n > 0) {
    if (inBucket_ == 0) report_.envelope.push_back(0);
    std::size_t take = std::min(n, envelopeBytes_ - inBucket_);
    if (blockBytes_ > 0) take = std::min(take, blockBytes_ - inBlock_);
    const int32_t peak = peak_(data, take);
    int32_t& bucket = report_.envelope.back();
    bucket = std::max(bucket, peak);
    piece.peak = std::max(piece.peak, peak);
    blockPeak_ = std::max(blockPeak_, peak);
    inBucket_ = (inBucket_ + take) % envelopeBytes_;
    if (blockBytes_ > 0 && (inBlock_ += take) == blockBytes_) {
      if (!report_.quietestBlockPeak || blockPeak_ < *report_.quietestBlockPeak)
        report_.quietestBlockPeak = blockPeak_;
      blockPeak_ = 0;
      inBlock_ = 0;
    }
    data += take;
    n -= take;
  }
}

}  // namespace mv
