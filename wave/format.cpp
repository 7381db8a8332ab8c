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
  // A label beyond the lists names its samples' size and rate exactly.
  if (const auto wide = ParseExtendedLabel(label)) return int64_t{wide->frameBytes()} * wide->sampleRate;
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

bool IsListedFormat(const PcmFormat& f) {
  return f.kind == SampleKind::Integer && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
         (f.channels == 1 || f.channels == 2) && FormatListPosition(f.channels, f.sampleRate, f.bitsPerSample);
}

bool IsReadableFormat(const PcmFormat& f) {
  const bool samples = f.kind == SampleKind::Float
                           ? f.bitsPerSample == 32 || f.bitsPerSample == 64
                           : f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                                 f.bitsPerSample == 32;
  if (!samples || (f.channels != 1 && f.channels != 2)) return false;
  return IsListedFormat(f) || (f.sampleRate >= kLowestRate && f.sampleRate <= kHighestRate);
}

namespace {

// The lists' rate words name 22050 and 11025 Hz, so 22000 and 11000 Hz are
// written in Hz; other whole tenths of a kilohertz in kHz.
std::string rateText(int32_t rate) {
  for (const RateToken& t : kByRank)
    if (t.rate == rate) return std::string(t.token);
  if (rate % 100 != 0 || rate == 22000 || rate == 11000) return std::to_string(rate) + "Hz";
  std::string text = std::to_string(rate / 1000);
  if (rate % 1000 != 0) text += "." + std::to_string(rate % 1000 / 100);
  return text + "kHz";
}

std::string collapseBlanks(std::string_view s) {
  std::string out;
  for (char ch : s)
    if (ch != ' ' || out.empty() || out.back() != ' ') out += ch;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (!out.empty() && out.front() == ' ') out.erase(0, 1);
  return out;
}

std::optional<int32_t> readRate(std::string_view text) {
  auto digits = [](std::string_view d) {
    return !d.empty() && d.size() <= 6 && d.find_first_not_of("0123456789") == std::string_view::npos;
  };
  auto number = [](std::string_view d) {
    int32_t v = 0;
    for (char ch : d) v = v * 10 + (ch - '0');
    return v;
  };
  for (const RateToken& t : kByRank)
    if (text == t.token) return t.rate;
  if (text.ends_with("kHz")) {
    text.remove_suffix(3);
    const auto dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    if (!digits(whole)) return std::nullopt;
    int32_t rate = number(whole) * 1000;
    if (dot != std::string_view::npos) {
      const std::string_view tenth = text.substr(dot + 1);
      if (tenth.size() != 1 || !digits(tenth)) return std::nullopt;
      rate += number(tenth) * 100;
    }
    return rate;
  }
  if (text.ends_with("Hz") && digits(text.substr(0, text.size() - 2))) return number(text.substr(0, text.size() - 2));
  return std::nullopt;
}

}  // namespace

std::string FormatLabel(const PcmFormat& f) {
  if (IsListedFormat(f)) return std::string(kCutLabels[*FormatListPosition(f.channels, f.sampleRate, f.bitsPerSample)]);
  return std::to_string(f.bitsPerSample) + (f.isFloat() ? "bit float, " : "bit, ") +
         (f.channels == 2 ? "Stereo, " : "Mono, ") + rateText(f.sampleRate);
}

std::optional<PcmFormat> ParseExtendedLabel(std::string_view label) {
  const std::string text = collapseBlanks(label);
  const auto first = text.find(", ");
  const auto second = first == std::string::npos ? first : text.find(", ", first + 2);
  if (second == std::string::npos) return std::nullopt;
  std::string_view bits = std::string_view(text).substr(0, first);
  const std::string_view channels = std::string_view(text).substr(first + 2, second - first - 2);
  const std::string_view rate = std::string_view(text).substr(second + 2);
  PcmFormat f;
  if (bits.ends_with(" float")) {
    f.kind = SampleKind::Float;
    bits.remove_suffix(6);
  }
  if (bits == "8bit") f.bitsPerSample = 8;
  else if (bits == "16bit") f.bitsPerSample = 16;
  else if (bits == "24bit") f.bitsPerSample = 24;
  else if (bits == "32bit") f.bitsPerSample = 32;
  else if (bits == "64bit") f.bitsPerSample = 64;
  else return std::nullopt;
  if (channels == "Mono") f.channels = 1;
  else if (channels == "Stereo") f.channels = 2;
  else return std::nullopt;
  const auto r = readRate(rate);
  if (!r) return std::nullopt;
  f.sampleRate = *r;
  // Only the spelling FormatLabel gives, so that one format has one label.
  if (IsListedFormat(f) || !IsReadableFormat(f) || FormatLabel(f) != text) return std::nullopt;
  return f;
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
