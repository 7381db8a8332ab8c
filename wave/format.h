#pragma once
// Format labels: the texts that name a PCM format, the two fixed lists that
// carry them and the rules between labels and PCM parameters.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mv {

enum class SampleKind : uint8_t { Integer, Float };

struct PcmFormat {
  uint16_t channels = 1;       // 1 mono, 2 stereo
  int32_t sampleRate = 0;      // Hz per channel
  // Integers: 8 (unsigned, 128 = zero), 16, 24 or 32 (signed LE); floats: 32
  // or 64 (full scale 1.0). Integers narrower than their bytes (from FLAC)
  // stand in the high bits, as WAVE stores them.
  uint16_t bitsPerSample = 16;
  SampleKind kind = SampleKind::Integer;

  int32_t bytesPerSample() const { return bitsPerSample / 8; }
  int32_t frameBytes() const { return channels * bytesPerSample(); }
  bool isFloat() const { return kind == SampleKind::Float; }
  bool operator==(const PcmFormat&) const = default;
};

// The rates a format may have beyond the six of the lists.
inline constexpr int32_t kLowestRate = 8000;
inline constexpr int32_t kHighestRate = 384000;

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

// One of the 24 formats of the lists, whose every rule stays as it was.
bool IsListedFormat(const PcmFormat& format);
// Whether Morvane reads and writes the format at all: 1 or 2 channels, the
// sample kinds above, a rate from kLowestRate to kHighestRate.
bool IsReadableFormat(const PcmFormat& format);

// The label of any readable format: "24bit, Stereo, 96kHz", "32bit float,
// Mono, 48kHz", "16bit, Mono, 22000Hz"; a listed format gets its list label.
std::string FormatLabel(const PcmFormat& format);
// A label of a readable format outside the lists, spelt as FormatLabel spells
// it (runs of blanks count as one); empty for every other text, the labels of
// the lists among them, which keep their own rules.
std::optional<PcmFormat> ParseExtendedLabel(std::string_view label);

// Finds a label of either list, however its blanks are spelt; empty if it
// names none of the 24.
std::optional<int> FindLabelPosition(std::string_view label);

}  // namespace mv
