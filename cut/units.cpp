#include "cut/units.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "cut/scan_kernels.h"
#include "wave/duration.h"

namespace mv {

namespace {
int64_t bytesPerSecond(const PcmFormat& f) {
  return int64_t{f.sampleRate} * f.channels * f.bytesPerSample();
}
}  // namespace

int32_t FullScale(const PcmFormat& format) { return format.bitsPerSample == 8 ? 128 : 32768; }

int32_t ThresholdFromDb(double dB, const PcmFormat& format) {
  return static_cast<int32_t>(std::trunc(FullScale(format) * std::pow(10.0, dB / 20.0)));
}

double ThresholdDb(int32_t threshold, const PcmFormat& format) {
  if (threshold <= 0) return -std::numeric_limits<double>::infinity();
  return 20.0 * std::log10(static_cast<double>(threshold) / FullScale(format));
}

double PeakDb(int32_t peak, const PcmFormat& format) {
  if (peak <= 0) return -std::numeric_limits<double>::infinity();
  return 20.0 * std::log10(static_cast<double>(peak) / PeakFullScale(format));
}

int64_t FramesFromSeconds(double seconds, const PcmFormat& format) {
  return static_cast<int64_t>(std::floor(seconds * format.sampleRate + 0.5));
}

double FramesSeconds(int64_t frames, const PcmFormat& format) {
  return static_cast<double>(frames) / format.sampleRate;
}

double BytesSeconds(int64_t bytes, const PcmFormat& format) {
  return static_cast<double>(bytes) / static_cast<double>(bytesPerSecond(format));
}

int64_t BytesCueFrames(int64_t bytes, const PcmFormat& format) {
  return bytes * 75 / bytesPerSecond(format);
}

std::string ClockText(double seconds) {
  return ClockTextMs(static_cast<int64_t>(std::floor(seconds * 1000 + 1e-6)));
}

namespace {
std::string charsText(double value, std::chars_format form, int precision) {
  char text[400];  // room for the largest double in fixed notation
  const auto r = std::to_chars(text, text + sizeof text, value, form, precision);
  return std::string(text, r.ptr);
}
}  // namespace

std::string DecimalText(double value, int decimals) {
  return charsText(value, std::chars_format::fixed, decimals);
}

std::string ShortDecimalText(double value) { return charsText(value, std::chars_format::general, 6); }

}  // namespace mv
