#include "cut/level_windows.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "cut/measure.h"

namespace mv {

namespace {

// A sample in the test's units, exactly, a NaN kept (which a range passes by).
double exactAt(const uint8_t* p, const PcmFormat& f) {
  if (f.isFloat() && f.bitsPerSample == 32) {
    float x;
    std::memcpy(&x, p, 4);
    return x * 32768.0;
  }
  if (f.isFloat()) {
    double x;
    std::memcpy(&x, p, 8);
    return x * 32768.0;
  }
  switch (f.bitsPerSample) {
    case 8:
      return p[0] - 128.0;
    case 16:
      return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
    case 24:
      return (static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >> 8) / 256.0;
    default: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v / 65536.0;
    }
  }
}

}  // namespace

LevelWindows::LevelWindows(const PcmFormat& format, int64_t dataBytes, int32_t burstFrames)
    : format_(format),
      frameSize_(format.frameBytes()),
      windowFrames_(std::max(1, format.sampleRate / 100)),
      channels_(format.channels),
      narrow_(!format.isFloat() && format.bitsPerSample <= 16),
      burst_(burstFrames),
      groupFrames_(dataBytes > 0 ? EnvelopeFrames(format, dataBytes) : 0),
      exact_(format.bitsPerSample >= 32),
      scale_(std::ldexp(1.0f, -std::max(0, format.bitsPerSample - 16))),
      kernels_(ScanKernelsFor(format)) {
  x_.burst = fx_.burst = burst_;
  // Grown once: an hour's windows fill megabytes.
  if (dataBytes > 0) {
    const auto windows = static_cast<std::size_t>(dataBytes / frameSize_ / windowFrames_ + 1);
    const auto each = windows * static_cast<std::size_t>(channels_);
    if (narrow_)
      narrowBounds_.reserve(each);
    else
      bounds_.reserve(each);
    sums_.reserve(each);
    if (burst_ > 0) (narrow_ ? narrowSustained_.reserve(windows) : sustained_.reserve(windows));
    if (exact_) ranges_.reserve(windows);
    groups_.reserve(static_cast<std::size_t>(dataBytes / frameSize_ / groupFrames_ + 1));
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

// The levels of frames by a kernel, in the test's units: a window's part
// (a float's NaN counting as 0), its sustained level and its exact range.
inline void LevelWindows::measure(const uint8_t* p, int32_t count, Window& w, float& sustained, Range& exact) {
  const int channels = format_.channels;
  for (int c = 0; c < 2; ++c) {
    w.lo[c] = INFINITY;
    w.hi[c] = -INFINITY;
    w.sum[c] = 0;
    exact.lo[c] = INFINITY;
    exact.hi[c] = -INFINITY;
  }
  if (kernels_.floatLevels) {
    kernels_.floatLevels(p, count, fx_);
    for (int c = 0; c < channels; ++c) {
      exact.lo[c] = fx_.lo[c] * 32768.0;
      exact.hi[c] = fx_.hi[c] * 32768.0;
      w.lo[c] = static_cast<float>(exact.lo[c]);
      w.hi[c] = static_cast<float>(exact.hi[c]);
      if (fx_.nan[c]) {
        w.lo[c] = std::min(w.lo[c], 0.0f);
        w.hi[c] = std::max(w.hi[c], 0.0f);
      }
      w.sum[c] = static_cast<float>(fx_.sum[c]);
    }
    sustained = fx_.sustained;
    return;
  }
  kernels_.levels(p, count, x_);
  scaled(x_, w, &exact);
  sustained = static_cast<float>(x_.sustained) * scale_;
}

// An integer kernel's levels in the test's units, with their exact range
// when asked; a channel the format lacks is left empty.
inline void LevelWindows::scaled(const FrameLevels& x, Window& w, Range* exact) const {
  for (int c = 0; c < 2; ++c) {
    const bool has = c < format_.channels;
    w.lo[c] = has ? static_cast<float>(x.lo[c]) * scale_ : INFINITY;
    w.hi[c] = has ? static_cast<float>(x.hi[c]) * scale_ : -INFINITY;
    w.sum[c] = has ? static_cast<float>(x.sum[c]) * scale_ : 0;
    if (exact) {
      exact->lo[c] = has ? x.lo[c] * double{scale_} : INFINITY;
      exact->hi[c] = has ? x.hi[c] * double{scale_} : -INFINITY;
    }
  }
}

// 8- and 16-bit levels are whole and within int16_t, scaled by 1.
inline void LevelWindows::append(const Window& w) {
  for (int c = 0; c < channels_; ++c) {
    if (narrow_)
      narrowBounds_.push_back({static_cast<int16_t>(w.lo[c]), static_cast<int16_t>(w.hi[c])});
    else
      bounds_.push_back({w.lo[c], w.hi[c]});
    sums_.push_back(w.sum[c]);
  }
  ++count_;
}

// 8- and 16-bit levels are whole, and at most 32768.
void LevelWindows::appendSustained(float level) {
  if (narrow_)
    narrowSustained_.push_back(static_cast<uint16_t>(level));
  else
    sustained_.push_back(level);
}

void LevelWindows::raiseSustained(float level) {
  if (narrow_)
    narrowSustained_.back() = std::max(narrowSustained_.back(), static_cast<uint16_t>(level));
  else
    sustained_.back() = std::max(sustained_.back(), level);
}

void LevelWindows::merge(const Window& part) {
  const std::size_t at = (count_ - 1) * static_cast<std::size_t>(channels_);
  for (int c = 0; c < channels_; ++c) {
    const std::size_t i = at + static_cast<std::size_t>(c);
    if (narrow_) {
      auto& b = narrowBounds_[i];
      b.lo = std::min(b.lo, static_cast<int16_t>(part.lo[c]));
      b.hi = std::max(b.hi, static_cast<int16_t>(part.hi[c]));
    } else {
      auto& b = bounds_[i];
      b.lo = std::min(b.lo, part.lo[c]);
      b.hi = std::max(b.hi, part.hi[c]);
    }
    sums_[i] += part.sum[c];
  }
}

void LevelWindows::addFrames(const uint8_t* p, int64_t count) {
  const int channels = format_.channels;
  // Groups shorter than a window (a short source) are measured apart, so
  // that windows are not cut into parts too short to hold a sound.
  const bool fineGroups = groupFrames_ > 0 && groupFrames_ < windowFrames_;
  // A group's range grows by a part of its frames, which never pass its end.
  auto toGroup = [&](const auto& lo, const auto& hi, int64_t take) __attribute__((always_inline)) {
    if (inGroup_ == 0) groups_.push_back({{INFINITY, INFINITY}, {-INFINITY, -INFINITY}});
    Range& g = groups_.back();
    for (int c = 0; c < channels; ++c) {
      g.lo[c] = std::min<double>(g.lo[c], lo[c]);
      g.hi[c] = std::max<double>(g.hi[c], hi[c]);
    }
    inGroup_ += take;
    if (inGroup_ == groupFrames_) inGroup_ = 0;
  };
  Range exact;
  while (count > 0) {
    // Whole windows within a group, each from one call.
    if (inWindow_ == 0 && !fineGroups) {
      const int64_t W = windowFrames_;
      // Integer windows many at a time, their levels then scaled into the
      // lists.
      while ((narrow_ ? kernels_.narrowWindowLevels != nullptr : kernels_.windowLevels != nullptr) && count >= W) {
        // Narrow ones need no room of the batch's.
        int64_t n = narrow_ ? count / W : std::min<int64_t>(count / W, kBatch);
        if (groupFrames_ > 0) n = std::min(n, (groupFrames_ - inGroup_) / W);
        if (n == 0) break;
        if (!narrow_) kernels_.windowLevels(p, windowFrames_, static_cast<int32_t>(n), burst_, batch_.data());
        // The batch lies within one group: its range once, of the integers
        // (scaled by a power of two, exactly, after).
        int32_t least[2] = {INT32_MAX, INT32_MAX}, most[2] = {INT32_MIN, INT32_MIN};
        // Sized first and written by index: a push_back a value asks for
        // room each time.
        const auto m = static_cast<std::size_t>(n);
        const std::size_t at = count_ * static_cast<std::size_t>(channels_);
        sums_.resize(at + m * static_cast<std::size_t>(channels_));
        float* sum = sums_.data() + at;
        // In locals, which the stores through the lists' pointers may not
        // alias.
        // Of 24- and 32-bit samples: the narrow ones are written below.
        const auto fill = [&]<int Channels>() {
          bounds_.resize(sums_.size());
          float* sustained = nullptr;
          if (burst_ > 0) {
            sustained_.resize(sustained_.size() + m);
            sustained = sustained_.data() + sustained_.size() - m;
          }
          auto* b = bounds_.data() + at;
          const float scale = scale_;
          int32_t lo[2] = {INT32_MAX, INT32_MAX}, hi[2] = {INT32_MIN, INT32_MIN};
          for (std::size_t k = 0; k < m; ++k) {
            const FrameLevels& x = batch_[k];
#pragma GCC unroll 2
            for (int c = 0; c < Channels; ++c) {
              const int32_t l = x.lo[c], h = x.hi[c];
              b[k * Channels + c] = {static_cast<float>(l) * scale, static_cast<float>(h) * scale};
              sum[k * Channels + c] = static_cast<float>(x.sum[c]) * scale;
              lo[c] = std::min(lo[c], l);
              hi[c] = std::max(hi[c], h);
            }
            if (sustained) sustained[k] = static_cast<float>(x.sustained) * scale;
          }
          for (int c = 0; c < Channels; ++c) {
            least[c] = lo[c];
            most[c] = hi[c];
          }
        };
        if (narrow_) {
          // Written by the kernel as the lists keep them, with the batch's
          // range.
          narrowBounds_.resize(sums_.size());
          uint16_t* sustained = nullptr;
          if (burst_ > 0) {
            narrowSustained_.resize(narrowSustained_.size() + m);
            sustained = narrowSustained_.data() + narrowSustained_.size() - m;
          }
          static_assert(sizeof(Bounds<int16_t>) == 2 * sizeof(int16_t));
          NarrowLevels out;
          out.bounds = reinterpret_cast<int16_t*>(narrowBounds_.data() + at);
          out.sums = sum;
          out.sustained = sustained;
          kernels_.narrowWindowLevels(p, windowFrames_, static_cast<int32_t>(n), burst_, out);
          for (int c = 0; c < 2; ++c) {
            least[c] = out.lo[c];
            most[c] = out.hi[c];
          }
        } else {
          channels == 2 ? fill.template operator()<2>() : fill.template operator()<1>();
        }
        count_ += m;
        if (exact_)
          for (std::size_t k = 0; k < m; ++k) {
            Window kept;  // in the lists already
            scaled(batch_[k], kept, &ranges_.emplace_back());
          }
        if (groupFrames_ > 0) {
          const double lo[2] = {least[0] * double{scale_}, least[1] * double{scale_}};
          const double hi[2] = {most[0] * double{scale_}, most[1] * double{scale_}};
          toGroup(lo, hi, n * W);
        }
        p += n * W * frameSize_;
        count -= n * W;
        frames_ += n * W;
      }
      while (count >= W && (groupFrames_ == 0 || groupFrames_ - inGroup_ >= W)) {
        Window w;
        float sustained = 0;
        measure(p, windowFrames_, w, sustained, exact);
        append(w);
        if (burst_ > 0) appendSustained(sustained);
        if (exact_) ranges_.push_back(exact);
        if (groupFrames_ > 0) toGroup(exact.lo, exact.hi, W);
        p += W * frameSize_;
        count -= W;
        frames_ += W;
      }
      if (count == 0) break;
    }
    if (inWindow_ == 0) {
      // Of a part's bounds, the least and most a window may hold: a part
      // holds a frame at least.
      if (narrow_)
        append(Window{{INT16_MAX, INT16_MAX}, {INT16_MIN, INT16_MIN}, {0, 0}});
      else
        append(Window{{INFINITY, INFINITY}, {-INFINITY, -INFINITY}, {0, 0}});
      if (burst_ > 0) appendSustained(0);
      if (exact_) ranges_.push_back({{INFINITY, INFINITY}, {-INFINITY, -INFINITY}});
    }
    int64_t take = std::min<int64_t>(count, windowFrames_ - inWindow_);
    if (groupFrames_ > 0 && !fineGroups) take = std::min(take, groupFrames_ - inGroup_);
    Window part;
    float sustained = 0;
    measure(p, static_cast<int32_t>(take), part, sustained, exact);
    if (burst_ > 0) raiseSustained(sustained);
    merge(part);
    for (int c = 0; c < channels; ++c) {
      if (exact_) {
        ranges_.back().lo[c] = std::min(ranges_.back().lo[c], exact.lo[c]);
        ranges_.back().hi[c] = std::max(ranges_.back().hi[c], exact.hi[c]);
      }
    }
    if (fineGroups) {
      const uint8_t* s = p;
      const int32_t bytes = format_.bytesPerSample();
      for (int64_t f = 0; f < take; ++f, s += frameSize_) {
        double one[2] = {INFINITY, INFINITY};
        for (int c = 0; c < channels; ++c) one[c] = exactAt(s + c * bytes, format_);
        toGroup(one, one, 1);
      }
    } else if (groupFrames_ > 0) {
      toGroup(exact.lo, exact.hi, take);
    }
    p += take * frameSize_;
    count -= take;
    frames_ += take;
    inWindow_ = static_cast<int32_t>((inWindow_ + take) % windowFrames_);
  }
}

}  // namespace mv
