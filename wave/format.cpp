#include "wave/format.h"

#include <algorithm>

namespace mv {

const std::array<std::string_view, kFormatCount> kCutLabels = {
    "16bit, Stereo, 48kHz", "16bit, Stereo, 44.1kHz", "16bit, Stereo, 32kHz",
    "16bit, Stereo, 22kHz", "16bit, Stereo, 11kHz",   "16bit, Stereo, 5kHz",
    "16bit, Mono, 48kHz",   "16bit, Mono, 44.1kHz",   "16bit, Mono, 32kHz",
    "16bit, Mono, 22kHz",   "16bit, Mono, 11kHz",     "16bit, Mono, 5kHz",
    "8bit, Stereo, 48kHz",  "8bit, Stereo, 44.1kHz",  "8bit, Stereo, 32kHz",
    "8bit, Stereo, 22kHz",  "8bit, Stereo, 11kHz",    "8bit, Stereo, 5kHz",
    "8bit, Mono, 48kHz",    "8bit, Mono, 44.1kHz",    "8bit, Mono, 32kHz",
    "8bit, Mono, 22kHz",    "8bit, Mono, 11kHz",      "8bit, Mono, 5kHz",
};

const std::array<std::string_view, kFormatCount> kJoinLabels = {
    "16bit, Stereo, 48kHz", "16bit, Stereo, 44.1kHz", "16bit, Stereo, 32kHz",
    "16bit, Stereo, 22kHz", "16bit, Stereo, 11kHz",   "16bit, Stereo, 5kHz",
    "16bit, Mono,  48kHz",  "16bit, Mono,  44.1kHz",  "16bit, Mono,  32kHz",
    "16bit, Mono,  22kHz",  "16bit, Mono,  11kHz",    "16bit, Mono,  5kHz",
    "8bit,  Stereo, 48kHz", "8bit,  Stereo, 44.1kHz", "8bit,  Stereo, 32kHz",
    "8bit, Stereo, 22kHz",  "8bit, Stereo, 11kHz",    "8bit, Stereo, 5kHz",
    "8bit, Mono,  48kHz",   "8bit, Mono,  44.1kHz",   "8bit, Mono,  32kHz",
    "8bit, Mono,  22kHz",   "8bit, Mono,  11kHz",     "8bit, Mono,  5kHz",
};

namespace {

bool has(std::string_view text, std::string_view token) {
  return text.find(token) != std::string_view::npos;
}

struct RateToken {
  std::string_view token;
  int32_t rate;
};

// Ranks follow the table: 48 kHz is rank 0, 5 kHz rank 5.
constexpr std::array<RateToken, 6> kByRank = {{{"48kHz", 48000},
                                               {"44.1kHz", 44100},
                                               {"32kHz", 32000},
                                               {"22kHz", 22050},
                                               {"11kHz", 11025},
                                               {"5kHz", 5000}}};

}  // namespace

PcmFormat ParseFormatLabel(std::string_view label) {
  PcmFormat f;
  f.channels = has(label, "Stereo") ? 2 : 1;
  // Tried in this order; the first token found wins.
  for (int rank : {4, 3, 2, 1, 0, 5}) {
    if (has(label, kByRank[rank].token)) {
      f.sampleRate = kByRank[rank].rate;
      break;
    }
  }
  f.bitsPerSample = has(label, "8bit") ? 8 : 16;
  return f;
}

std::optional<int> FormatListPosition(uint32_t channels, int64_t sampleRate,
                                      uint32_t bitsPerSample) {
  auto it = std::find_if(kByRank.begin(), kByRank.end(),
                         [&](const RateToken& t) { return t.rate == sampleRate; });
  if (it == kByRank.end()) return std::nullopt;
  int position = static_cast<int>(it - kByRank.begin());
  if (channels == 1) position += 6;
  if (bitsPerSample == 8) position += 12;
  return position;
}

int RecordingLabelPosition(std::string_view label) {
  int position = 0;
  for (int rank = 0; rank < 6; ++rank) {
    if (has(label, kByRank[rank].token)) {
      position = rank;
      break;
    }
  }
  if (has(label, "Mono")) position += 6;
  if (has(label, "8bit")) position += 12;
  return position;
}

int64_t LabelBytesPerSecond(std::string_view label) {
  int64_t bytes = has(label, "16bit") ? 2 : 1;
  if (has(label, "Stereo")) bytes *= 2;
  int64_t rate = 48000;
  for (int rank : {4, 3, 2, 1, 5}) {
    if (has(label, kByRank[rank].token)) {
      rate = kByRank[rank].rate;
      break;
    }
  }
  return bytes * rate;
}

std::optional<int> FindLabelPosition(std::string_view label) {
  auto squeeze = [](std::string_view s) {
    std::string out;
    for (char ch : s)
      if (ch != ' ') out += ch;
    return out;
  };
  const std::string wanted = squeeze(label);
  for (int p = 0; p < kFormatCount; ++p)
    if (squeeze(kCutLabels[p]) == wanted) return p;
  return std::nullopt;
}

}  // namespace mv
