#pragma once
// The recording formats offered for an input's capability flags.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "wave/format.h"

namespace mv {

// One flag per rate (11025, 22050, 44100 Hz), channel count and sample size,
// with the values of the classic wave-input capability word.
enum CapabilityFlag : uint32_t {
  kCap11kMono8 = 0x0001,
  kCap11kStereo8 = 0x0002,
  kCap11kMono16 = 0x0004,
  kCap11kStereo16 = 0x0008,
  kCap22kMono8 = 0x0010,
  kCap22kStereo8 = 0x0020,
  kCap22kMono16 = 0x0040,
  kCap22kStereo16 = 0x0080,
  kCap44kMono8 = 0x0100,
  kCap44kStereo8 = 0x0200,
  kCap44kMono16 = 0x0400,
  kCap44kStereo16 = 0x0800,
  // Beyond the classic word: 24-bit capture (taken as 32-bit integers) at
  // the rates of kWideRates.
  kCap44kMono24 = 0x1000,
  kCap44kStereo24 = 0x2000,
  kCap48kMono24 = 0x4000,
  kCap48kStereo24 = 0x8000,
  kCap88kMono24 = 0x10000,
  kCap88kStereo24 = 0x20000,
  kCap96kMono24 = 0x40000,
  kCap96kStereo24 = 0x80000,
};

// The rates asked for 24-bit capture.
inline constexpr int kWideRates[] = {44100, 48000, 88200, 96000};

// The flag for a rate of 11025, 22050 or 44100 Hz at 8 or 16 bits, or of
// kWideRates at 24 bits; 0 for any other.
uint32_t CapabilityFlagFor(int rate, int channels, int bits);

// The sample types an input is asked for: 8, 16, and 32-bit integers, of
// which a 24-bit recording keeps the top three bytes.
enum class CaptureSample { UInt8, Int16, Int32 };
// The flags of an input that can capture what `supports` says it can.
uint32_t CapabilityFlags(const std::function<bool(int rate, int channels, CaptureSample sample)>& supports);

// The recording list: labels for the 8 and 16-bit flags, sorted ascending
// ignoring case; after them the 24-bit ones, stereo then mono, by rate.
std::vector<std::string> RecordingLabels(uint32_t flags);

// The format a recording-list label names, 24-bit ones included.
PcmFormat RecordingFormat(std::string_view label);

}  // namespace mv
