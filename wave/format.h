#pragma once
// Format labels: the texts that name a PCM format, the two fixed lists that
// carry them and the rules between labels and PCM parameters.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mv {

struct PcmFormat {
  uint16_t channels = 1;       // 1 mono, 2 stereo
  int32_t sampleRate = 0;      // Hz per channel
  uint16_t bitsPerSample = 16; // 8 (unsigned, 128 = zero) or 16 (signed LE)

  int32_t bytesPerSample() const { return bitsPerSample / 8; }
};

inline constexpr int kFormatCount = 24;
// Position 1 ("16bit, Stereo, 44.1kHz") is selected at start-up in both lists.
inline constexpr int kDefaultFormatPosition = 1;

// The cut page's list (single blanks) and the join page's list (its own
// spelling, with double blanks in some labels); same formats, same order.
extern const std::array<std::string_view, kFormatCount> kCutLabels;
extern const std::array<std::string_view, kFormatCount> kJoinLabels;

PcmFormat ParseFormatLabel(std::string_view label);

// Position in the fixed lists of a format read from a file; empty for a rate
// the system does not know.
std::optional<int> FormatListPosition(uint32_t channels, int64_t sampleRate,
                                      uint32_t bitsPerSample);

// Position in the fixed lists of a recording-list label.
int RecordingLabelPosition(std::string_view label);

// The capacity estimate's own reading of a label, straight to bytes/second.
int64_t LabelBytesPerSecond(std::string_view label);

// Finds a label of either list, however its blanks are spelt; empty if it
// names none of the 24.
std::optional<int> FindLabelPosition(std::string_view label);

}  // namespace mv
