#include "cut/level_windows.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

#include "cut/measure.h"

namespace mv {

namespace {

// A sample in the test's units, of a coding fixed when built.
template <int Bits, bool Float>
float sampleOf(const uint8_t* p) {
  if constexpr (Float && Bits == 64) {
    double d;
    std::memcpy(&d, p, 8);
    return std::isnan(d) ? 0.0f : static_cast<float>(d * 32768.0);
  } else if constexpr (Float) {
    float x;
    std::memcpy(&x, p, 4);
    return std::isnan(x) ? 0.0f : x * 32768.0f;
  } else if constexpr (Bits == 8) {
    return static_cast<float>(p[0]) - 128.0f;
  } else if constexpr (Bits == 16) {
    return static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8)));
  } else if constexpr (Bits == 24) {
    return static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >> 8) /
           256.0f;
  } else {
    int32_t v;
    std::memcpy(&v, p, 4);
    return static_cast<float>(v) / 65536.0f;
  }
}

// A coding's reader as a type, so that a part's loop asks the format once.
template <int Bits, bool Float>
struct Coding {
  static constexpr int32_t kBytes = Bits / 8;
  static float read(const uint8_t* p) { return sampleOf<Bits, Float>(p); }
};

// Calls f with the Coding of a format.
template <class F>
decltype(auto) withCoding(const PcmFormat& f, F&& call) {
  if (f.isFloat()) return f.bitsPerSample == 64 ? call(Coding<64, true>{}) : call(Coding<32, true>{});
  switch (f.bitsPerSample) {
    case 8:
      return call(Coding<8, false>{});
    case 16:
      return call(Coding<16, false>{});
    case 24:
      return call(Coding<24, false>{});
    default:
      return call(Coding<32, false>{});
  }
}

float sampleAt(const uint8_t* p, const PcmFormat& f) {
  return withCoding(f, [&]<class C>(C) { return C::read(p); });
}

// The levels of frames of a format without a kernel, a sample at a time; the
// sustained level in blocks of a power of two frames, as the kernels take
// them. In locals, so that each sum waits only for its own last addition.
template <class C, int Channels>
void plainLevels(const uint8_t* p, int64_t take, int32_t burst, float lo[2], float hi[2], float sum[2],
                 float& sustained) {
  constexpr int32_t kFrame = Channels * C::kBytes;
  const int64_t block = burst > 0 ? std::bit_ceil(static_cast<uint32_t>(burst)) : 0;
  float l[2] = {lo[0], lo[1]}, h[2] = {hi[0], hi[1]}, s[2] = {sum[0], sum[1]};
  float most = sustained, blockLeast = INFINITY;
  int64_t inBlock = 0;
  for (int64_t f = 0; f < take; ++f, p += kFrame) {
    float loud = 0;
#pragma GCC unroll 2
    for (int c = 0; c < Channels; ++c) {
      const float v = C::read(p + c * C::kBytes);
      l[c] = std::min(l[c], v);
      h[c] = std::max(h[c], v);
      s[c] += v;
      loud = std::max(loud, std::abs(v));
    }
    blockLeast = std::min(blockLeast, loud);
    if (++inBlock == block) {
      most = std::max(most, blockLeast);
      blockLeast = INFINITY;
      inBlock = 0;
    }
  }
  for (int c = 0; c < Channels; ++c) {
    lo[c] = l[c];
    hi[c] = h[c];
    sum[c] = s[c];
  }
  sustained = most;
}

// A kernel's levels in the test's units, a channel the format lacks left
// empty; `scale` takes 24-bit samples down to 16-bit units.
inline void scaledLevels(const FrameLevels& x, int channels, float scale, float lo[2], float hi[2], float sum[2]) {
  for (int c = 0; c < 2; ++c) {
    lo[c] = c < channels ? static_cast<float>(x.lo[c]) * scale : INFINITY;
    hi[c] = c < channels ? static_cast<float>(x.hi[c]) * scale : -INFINITY;
    sum[c] = c < channels ? static_cast<float>(x.sum[c]) * scale : 0;
  }
}

// Faults in the whole pages of a buffer about to be filled, in one call
// rather than one trap a page; only a hint, which older systems ignore.
void Prefault(void* data, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto from = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
  const auto to = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
  if (to > from) (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)data, (void)bytes;
#endif
}

}  // namespace

LevelWindows::LevelWindows(const PcmFormat& format, int64_t dataBytes, int32_t burstFrames)
    : format_(format),
      frameSize_(format.frameBytes()),
      windowFrames_(std::max(1, format.sampleRate / 100)),
      burst_(burstFrames),
      groupFrames_(dataBytes > 0 ? EnvelopeFrames(format, dataBytes) : 0),
      kernels_(ScanKernelsFor(format)) {
  // Grown once: an hour's windows fill megabytes.
  if (dataBytes > 0) {
    const auto windows = static_cast<std::size_t>(dataBytes / frameSize_ / windowFrames_ + 1);
    windows_.reserve(windows);
    if (burst_ > 0) sustained_.reserve(windows);
    groups_.reserve(static_cast<std::size_t>(dataBytes / frameSize_ / groupFrames_ + 1));
    Prefault(windows_.data(), windows_.capacity() * sizeof(Window));
    Prefault(sustained_.data(), sustained_.capacity() * sizeof(float));
  }
}

void LevelWindows::add(const uint8_t* data, std::size_t n) {
  const auto fs = static_cast<std::size_t>(frameSize_);
  if (!partial_.empty()) {
    const std::size_t take = std::min(n, fs - partial_.size());
    partial_.insert(partial_.end(), data, data + take);
    data += take;
    n -= take;
    if (partial_.size() < fs) return;
    addFrames(partial_.data(), 1);
    partial_.clear();
  }
  addFrames(data, static_cast<int64_t>(n / fs));
  partial_.assign(data + n / fs * fs, data + n);
}

void LevelWindows::addFrames(const uint8_t* p, int64_t count) {
  const int channels = format_.channels;
  // Groups shorter than a window (a short source) are measured apart, so
  // that windows are not cut into parts too short to hold a sound.
  const bool fineGroups = groupFrames_ > 0 && groupFrames_ < windowFrames_;
  // A kernel's levels are of the samples' own units; 24-bit ones are 256
  // times the test's.
  const float scale = format_.bitsPerSample == 24 ? 1.0f / 256 : 1.0f;
  FrameLevels x;
  x.burst = burst_;
  // A group's range grows by a part of its frames, which never pass its end.
  auto toGroup = [&](const float lo[2], const float hi[2], int64_t take) __attribute__((always_inline)) {
    if (inGroup_ == 0) groups_.push_back({{INFINITY, INFINITY}, {-INFINITY, -INFINITY}});
    Range& g = groups_.back();
    for (int c = 0; c < channels; ++c) {
      g.lo[c] = std::min(g.lo[c], lo[c]);
      g.hi[c] = std::max(g.hi[c], hi[c]);
    }
    inGroup_ += take;
    if (inGroup_ == groupFrames_) inGroup_ = 0;
  };
  while (count > 0) {
    // Whole windows within a group, each from one call.
    if (inWindow_ == 0 && kernels_.levels && !fineGroups) {
      const int64_t W = windowFrames_;
      while (count >= W && (groupFrames_ == 0 || groupFrames_ - inGroup_ >= W)) {
        kernels_.levels(p, windowFrames_, x);
        // Written in place: a copy of a window just written field by field
        // waits for every field's store.
        Window& w = windows_.emplace_back();
        scaledLevels(x, channels, scale, w.lo, w.hi, w.sum);
        if (burst_ > 0) sustained_.push_back(static_cast<float>(x.sustained) * scale);
        if (groupFrames_ > 0) toGroup(w.lo, w.hi, W);
        p += W * frameSize_;
        count -= W;
        frames_ += W;
      }
      if (count == 0) break;
    }
    if (inWindow_ == 0) {
      windows_.push_back({{INFINITY, INFINITY}, {-INFINITY, -INFINITY}, {0, 0}});
      if (burst_ > 0) sustained_.push_back(0);
    }
    Window& w = windows_.back();
    int64_t take = std::min<int64_t>(count, windowFrames_ - inWindow_);
    if (groupFrames_ > 0 && !fineGroups) take = std::min(take, groupFrames_ - inGroup_);
    float lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY}, sum[2] = {0, 0};
    float sustained = 0;
    if (kernels_.levels) {
      kernels_.levels(p, static_cast<int32_t>(take), x);
      scaledLevels(x, channels, scale, lo, hi, sum);
      sustained = static_cast<float>(x.sustained) * scale;
    } else {
      withCoding(format_, [&]<class C>(C) {
        if (channels == 2)
          plainLevels<C, 2>(p, take, burst_, lo, hi, sum, sustained);
        else
          plainLevels<C, 1>(p, take, burst_, lo, hi, sum, sustained);
      });
    }
    if (burst_ > 0) sustained_.back() = std::max(sustained_.back(), sustained);
    for (int c = 0; c < channels; ++c) {
      w.lo[c] = std::min(w.lo[c], lo[c]);
      w.hi[c] = std::max(w.hi[c], hi[c]);
      w.sum[c] += sum[c];
    }
    if (fineGroups) {
      const uint8_t* s = p;
      const int32_t bytes = format_.bytesPerSample();
      for (int64_t f = 0; f < take; ++f, s += frameSize_) {
        float flo[2] = {INFINITY, INFINITY}, fhi[2] = {-INFINITY, -INFINITY};
        for (int c = 0; c < channels; ++c) flo[c] = fhi[c] = sampleAt(s + c * bytes, format_);
        toGroup(flo, fhi, 1);
      }
    } else if (groupFrames_ > 0) {
      toGroup(lo, hi, take);
    }
    p += take * frameSize_;
    count -= take;
    frames_ += take;
    inWindow_ = static_cast<int32_t>((inWindow_ + take) % windowFrames_);
  }
}

}  // namespace mv
