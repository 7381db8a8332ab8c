#include "play/play_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "flac/flac_source.h"
#include "wave/errors.h"
#include "wave/layout.h"

namespace mv {

int OutputSampleBytes(OutputKind kind) { return kind == OutputKind::Int16 ? 2 : 4; }

OutputKind OutputKindFor(const PcmFormat& f) {
  if (f.isFloat()) return OutputKind::Float;
  return f.bitsPerSample <= 16 ? OutputKind::Int16 : OutputKind::Int32;
}

namespace {

// An integer sample moved to the top of 32 bits; 8-bit WAVE is unsigned.
int32_t topAligned(const uint8_t* p, int bytes) {
  if (bytes == 1) return static_cast<int32_t>(static_cast<uint32_t>(p[0] ^ 0x80) << 24);
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * (4 - bytes + i));
  return static_cast<int32_t>(v);
}

double floatAt(const uint8_t* p, int bytes) {
  if (bytes == 4) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
  }
  double d;
  std::memcpy(&d, p, 8);
  return d;
}

template <class T>
T clampedScale(double x, double full) {
  const double v = std::nearbyint(x * full);
  return static_cast<T>(std::clamp(v, -full - 1, full));
}

}  // namespace

void ConvertSamples(const uint8_t* in, const PcmFormat& f, std::size_t count, OutputKind kind, void* out) {
  const int bytes = f.bytesPerSample();
  auto* o16 = static_cast<int16_t*>(out);
  auto* o32 = static_cast<int32_t*>(out);
  auto* of = static_cast<float*>(out);
  for (std::size_t i = 0; i < count; ++i, in += bytes) {
    if (f.isFloat()) {
      const double x = floatAt(in, bytes);
      if (kind == OutputKind::Float) of[i] = static_cast<float>(x);
      else if (kind == OutputKind::Int32) o32[i] = clampedScale<int32_t>(x, 2147483647.0);
      else o16[i] = clampedScale<int16_t>(x, 32767.0);
      continue;
    }
    const int32_t s = topAligned(in, bytes);
    if (kind == OutputKind::Int32) o32[i] = s;
    else if (kind == OutputKind::Int16) o16[i] = static_cast<int16_t>(s >> 16);
    else of[i] = static_cast<float>(s / 2147483648.0);
  }
}

std::unique_ptr<PlaySource> PlaySource::open(const std::string& path) {
  std::unique_ptr<PlaySource> s(new PlaySource);
  s->file_ = std::make_unique<File>(File::openRead(path));
  if (IsFlacStream(*s->file_)) {
    s->flac_ = FlacSource::open(std::move(s->file_), path);
    s->in_ = s->flac_.get();
    s->format_ = s->flac_->info().format;
    s->frames_ = s->flac_->info().frames;
  } else {
    const WaveLayout w = ReadWaveLayout(*s->file_);
    s->in_ = s->file_.get();
    s->format_ = w.format;
    s->dataOffset_ = w.dataOffset;
    const int64_t held = std::max<int64_t>(0, std::min(w.dataBytes, s->file_->size() - w.dataOffset));
    s->frames_ = held / w.format.frameBytes();
  }
  s->seek(0);
  return s;
}

PlaySource::~PlaySource() = default;

void PlaySource::seek(int64_t frame) {
  if (frame < 0 || frame > frames_) raise(msg::kRangeError);
  in_->seek(dataOffset_ + frame * format_.frameBytes());
  position_ = frame;
}

int64_t PlaySource::read(void* out, int64_t maxFrames, OutputKind kind) {
  const int64_t n = std::clamp<int64_t>(frames_ - position_, 0, maxFrames);
  const auto bytes = static_cast<std::size_t>(n * format_.frameBytes());
  raw_.resize(bytes);
  if (in_->read(raw_.data(), bytes) != bytes) in_->endedEarly();
  ConvertSamples(raw_.data(), format_, static_cast<std::size_t>(n) * format_.channels, kind, out);
  position_ += n;
  return n;
}

namespace {
int64_t framesOf(int32_t rate, double seconds) { return std::llround(seconds * rate); }
}  // namespace

FrameRange BeforeCut(int64_t cut, int64_t totalFrames, int32_t rate, double seconds) {
  const int64_t end = std::clamp<int64_t>(cut, 0, totalFrames);
  return {std::max<int64_t>(0, end - framesOf(rate, seconds)), end};
}

FrameRange AfterCut(int64_t cut, int64_t totalFrames, int32_t rate, double seconds) {
  const int64_t start = std::clamp<int64_t>(cut, 0, totalFrames);
  return {start, std::min(totalFrames, start + framesOf(rate, seconds))};
}

}  // namespace mv
