#include "record/capabilities.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace mv {

uint32_t CapabilityFlagFor(int rate, int channels, int bits) {
  if (bits == 24) {
    if (channels != 1 && channels != 2) return 0;
    for (int i = 0; i < static_cast<int>(std::size(kWideRates)); ++i)
      if (kWideRates[i] == rate) return uint32_t{1} << (12 + 2 * i + (channels == 2 ? 1 : 0));
    return 0;
  }
  int shift;
  switch (rate) {
    case 11025: shift = 0; break;
    case 22050: shift = 4; break;
    case 44100: shift = 8; break;
    default: return 0;
  }
  if (channels != 1 && channels != 2) return 0;
  if (bits != 8 && bits != 16) return 0;
  shift += (channels == 2 ? 1 : 0) + (bits == 16 ? 2 : 0);
  return uint32_t{1} << shift;
}

uint32_t CapabilityFlags(const std::function<bool(int rate, int channels, CaptureSample sample)>& supports) {
  uint32_t flags = 0;
  for (int rate : {11025, 22050, 44100}) {
    for (int channels : {1, 2}) {
      for (int bits : {8, 16}) {
        if (supports(rate, channels, bits == 8 ? CaptureSample::UInt8 : CaptureSample::Int16))
          flags |= CapabilityFlagFor(rate, channels, bits);
      }
    }
  }
  for (int rate : kWideRates)
    for (int channels : {1, 2})
      if (supports(rate, channels, CaptureSample::Int32)) flags |= CapabilityFlagFor(rate, channels, 24);
  return flags;
}

std::vector<std::string> RecordingLabels(uint32_t flags) {
  std::vector<std::string> labels;
  for (int bits : {8, 16}) {
    for (int channels : {1, 2}) {
      const std::string prefix = (bits == 16 ? "16bit, " : "8bit, ") +
                                 std::string(channels == 2 ? "Stereo, " : "Mono, ");
      const bool at11 = flags & CapabilityFlagFor(11025, channels, bits);
      const bool at22 = flags & CapabilityFlagFor(22050, channels, bits);
      const bool at44 = flags & CapabilityFlagFor(44100, channels, bits);
      if (at11) labels.push_back(prefix + "11kHz");
      if (at22) labels.push_back(prefix + "22kHz");
      // 32 kHz where both neighbours are there; 48 kHz wherever 44.1 kHz is.
      if (at22 && at44) labels.push_back(prefix + "32kHz");
      if (at44) {
        labels.push_back(prefix + "44.1kHz");
        labels.push_back(prefix + "48kHz");
      }
    }
  }
  auto lower = [](std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
  };
  std::sort(labels.begin(), labels.end(),
            [&](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
  for (int channels : {2, 1})
    for (int rate : kWideRates)
      if (flags & CapabilityFlagFor(rate, channels, 24))
        labels.push_back(FormatLabel({static_cast<uint16_t>(channels), rate, 24, SampleKind::Integer}));
  return labels;
}

PcmFormat RecordingFormat(std::string_view label) {
  if (const auto wide = ParseExtendedLabel(label)) return *wide;
  return ParseFormatLabel(label);
}

}  // namespace mv
