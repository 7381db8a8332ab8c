#pragma once
// Option values of morvane-cli, checked while the command line is read, so
// that wrong usage (exit status 2) is found before any job starts. A bad
// value throws UsageError; the validators carry its text into CLI11's error.

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cut/cut.h"
#include "wave/duration.h"
#include "wave/layout.h"

namespace mv::cli {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The wrong-usage text of a value outside its range ("0..59").
std::string OutOfRangeText(const std::string& value, const std::string& range);

// A whole decimal number, blanks around it and a sign allowed: a leading 0
// is not octal, "0x" is not hex. A number too large for 64 bits is kept as
// the largest (or smallest) one, so that it is out of any range.
int64_t ParseNumber(const std::string& text);
// The same within min..max.
int64_t ParseNumber(const std::string& text, int64_t min, int64_t max);

// "H:M:S" (minutes and seconds 0..59), "M:S" (seconds 0..59) or a number of
// seconds with "s" ("90s"), normalised; hours 0..215.
Duration ParseLength(const std::string& text);

// The threshold: a sample value 0..65536, or a level in dBFS at most 0
// ("-40dB", "-42.5dB"), known in sample units once the format is.
struct ThresholdOption {
  int32_t value = kDefaultThreshold;
  std::optional<double> dB;
  int32_t resolve(const PcmFormat& format) const;
};
ThresholdOption ParseThreshold(const std::string& text);

// The run length: frames 0..441000, or seconds ("3s", "2.5s"), in frames
// once the rate is known; the range holds then too.
struct RunOption {
  int32_t frames = kDefaultRunLength;
  std::optional<double> seconds;
  int32_t resolve(const PcmFormat& format) const;
};
RunOption ParseRun(const std::string& text);

// Clicks a quiet run may hold: frames, or milliseconds ("5ms").
struct ClicksOption {
  int32_t frames = 0;
  std::optional<double> ms;
  int32_t resolve(const PcmFormat& format) const;
};
ClicksOption ParseClicks(const std::string& text);
// The shortest song in seconds, at least 0.
double ParseMinSong(const std::string& text);
// Seconds 0..86400, a decimal fraction allowed.
double ParseSeconds(const std::string& text);

// The options of the cut at silences as given, declared once for `cut` and
// `record --cut`; their values are known once the format is.
struct SilenceCutOptions {
  std::string threshold = std::to_string(kDefaultThreshold);
  std::string run = std::to_string(kDefaultRunLength);
  std::string zero;           // "ZL,ZR"; empty: no correction
  std::string clicks = "0";   // frames, or "5ms"
  std::string minSong = "0";  // seconds
  std::string songs;          // a number of songs; empty: every long enough quiet run ends one
  // Into s, whose format is set.
  void applyTo(CutSettings& s) const;
};
inline constexpr const char* kSilenceCutOptionNames[] = {"--threshold", "--run", "--zero", "--ignore-clicks",
                                                          "--min-song"};
// "--songs N": 1..9999.
int32_t ParseSongs(const std::string& text);
// helpPrefix goes before each help text (record's "cut: ").
void AddSilenceCutOptions(CLI::App& cmd, SilenceCutOptions& o, const std::string& helpPrefix = "");

// A label of either format list, however its blanks are spelt, or of a
// format outside them: its position and format.
CheckedFormat ParseFormatOption(const std::string& text);

// "ZL,ZR", two whole numbers; their range is the cut's to check.
Correction ParseZero(const std::string& text);

// An output must not be the file behind the standard output or error, which
// would get messages mixed into its data.
void CheckNotStandardStream(const std::string& path);
// Neither the standard output nor the standard error is a source or a piece
// of the save folder, which the lines written there would change.
void CheckStreamsSpare(const std::vector<std::string>& sources,
                       const std::optional<std::string>& saveFolder = std::nullopt);

// As CLI11 checks: a name or value that may not be empty, then the parse's
// own check.
CLI::Validator NotEmpty(std::function<void(const std::string&)> parse = {});

}  // namespace mv::cli
