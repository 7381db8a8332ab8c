#pragma once
// The recording formats offered for an input's capability flags.

#include <cstdint>
#include <string>
#include <vector>

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
};

// The flag for a rate of 11025, 22050 or 44100 Hz; 0 for any other.
uint32_t CapabilityFlagFor(int rate, int channels, int bits);

// The recording list: labels for the flags, sorted ascending ignoring case.
std::vector<std::string> RecordingLabels(uint32_t flags);

}  // namespace mv
