#include "cli/options.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <limits>
#include <system_error>

#include "cut/units.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/paths.h"

namespace mv::cli {

namespace {

bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string notANumber(const std::string& text) { return format(msg::kUsageNotNumber, quoted(text)); }

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string OutOfRangeText(const std::string& value, const std::string& range) {
  return format(msg::kUsageOutOfRange, value, range);
}

int64_t ParseNumber(const std::string& text) {
  const std::string t = trimmed(text);
  std::size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) i = 1;
  if (i == t.size()) throw UsageError(notANumber(text));
  // Digit by digit, so that no library reads a base into the text.
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (!isDigit(t[i])) throw UsageError(notANumber(text));
    const int digit = t[i] - '0';
    v = v > (kMax - digit) / 10 ? kMax : v * 10 + digit;
  }
  return negative ? -v : v;
}

int64_t ParseNumber(const std::string& text, int64_t min, int64_t max) {
  const int64_t v = ParseNumber(text);
  if (v < min || v > max)
    throw UsageError(OutOfRangeText(text, std::to_string(min) + ".." + std::to_string(max)));
  return v;
}

namespace {

// A decimal number with a fraction ("2.5"), or nullopt.
std::optional<double> decimalFraction(const std::string& text) {
  std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
  bool digits = false, point = false;
  for (std::size_t k = i; k < text.size(); ++k) {
    if (isDigit(text[k])) digits = true;
    else if (text[k] == '.' && !point) point = true;
    else return std::nullopt;
  }
  if (!digits) return std::nullopt;
  // Read by from_chars, which knows no locale: strtod in a process whose
  // locale writes "0,5" would stop at the point and read 0.
  double v = 0;
  const char* first = text.data() + i;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), v, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Too large is out of any range; too small is 0.
    const bool large = text.find_first_not_of("0", i) < text.find('.');
    v = large ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return text[0] == '-' ? -v : v;
}

// The number before a unit ("-40dB", "3s"), or nullopt when text does not
// end with the unit.
std::optional<double> withUnit(const std::string& text, const std::string& unit) {
  const std::string t = trimmed(text);
  if (t.size() <= unit.size() || t.compare(t.size() - unit.size(), unit.size(), unit) != 0) return std::nullopt;
  const auto v = decimalFraction(t.substr(0, t.size() - unit.size()));
  if (!v) throw UsageError(notANumber(text));
  return v;
}

}  // namespace

Duration ParseLength(const std::string& text) {
  auto field = [](const std::string& digits, int64_t max, const char* what) {
    try {
      return ParseNumber(digits, 0, max);
    } catch (const UsageError& e) {
      throw UsageError(std::string(what) + ": " + e.what());
    }
  };
  constexpr int64_t kMaxSeconds = (int64_t{kMaxHours} * 60 + 59) * 60 + 59;
  int64_t total;
  const auto first = text.find(':');
  if (first == std::string::npos) {
    const std::string t = trimmed(text);
    if (t.size() < 2 || t.back() != 's') throw UsageError(format(msg::kUsageLengthForm, text));
    total = field(t.substr(0, t.size() - 1), kMaxSeconds, "秒");
  } else {
    const auto second = text.find(':', first + 1);
    if (second != std::string::npos && text.find(':', second + 1) != std::string::npos)
      throw UsageError(format(msg::kUsageLengthForm, text));
    if (second == std::string::npos) {
      total = field(text.substr(0, first), kMaxSeconds / 60, "分") * 60 +
              field(text.substr(first + 1), 59, "秒");
    } else {
      total = (field(text.substr(0, first), kMaxHours, "時間") * 60 +
               field(text.substr(first + 1, second - first - 1), 59, "分")) * 60 +
              field(text.substr(second + 1), 59, "秒");
    }
  }
  if (total > kMaxSeconds) throw UsageError(OutOfRangeText(text, "0:00:00..215:59:59"));
  return {static_cast<int32_t>(total / 3600), static_cast<int32_t>(total / 60 % 60),
          static_cast<int32_t>(total % 60)};
}

ThresholdOption ParseThreshold(const std::string& text) {
  ThresholdOption o;
  if (const auto dB = withUnit(text, "dB")) {
    if (*dB > 0) throw UsageError(OutOfRangeText(text, "..0dB"));
    o.dB = dB;
  } else {
    o.value = static_cast<int32_t>(ParseNumber(text, 0, kMaxThreshold));
  }
  return o;
}

int32_t ThresholdOption::resolve(const PcmFormat& format) const {
  return dB ? ThresholdFromDb(*dB, format) : value;
}

RunOption ParseRun(const std::string& text) {
  RunOption o;
  if (const auto seconds = withUnit(text, "s")) {
    if (*seconds < 0) throw UsageError(OutOfRangeText(text, "0.." + std::to_string(kMaxRunLength)));
    o.seconds = seconds;
  } else {
    o.frames = static_cast<int32_t>(ParseNumber(text, 0, kMaxRunLength));
  }
  return o;
}

int32_t RunOption::resolve(const PcmFormat& format) const {
  if (!seconds) return frames;
  const int64_t n = FramesFromSeconds(*seconds, format);
  if (n < 0 || n > kMaxRunLength)
    throw UsageError("--run: " + OutOfRangeText(std::to_string(n) + "ｻﾝﾌﾟﾙ",
                                                "0.." + std::to_string(kMaxRunLength) + "ｻﾝﾌﾟﾙ"));
  return static_cast<int32_t>(n);
}

ClicksOption ParseClicks(const std::string& text) {
  ClicksOption o;
  if (const auto ms = withUnit(text, "ms")) {
    if (*ms < 0 || *ms > 10000) throw UsageError(OutOfRangeText(text, "0..10000ms"));
    o.ms = ms;
  } else {
    o.frames = static_cast<int32_t>(ParseNumber(text, 0, kMaxRunLength));
  }
  return o;
}

int32_t ClicksOption::resolve(const PcmFormat& format) const {
  return ms ? static_cast<int32_t>(FramesFromSeconds(*ms / 1000.0, format)) : frames;
}

double ParseMinSong(const std::string& text) { return ParseSeconds(text); }

double ParseSeconds(const std::string& text) {
  const auto v = decimalFraction(trimmed(text));
  if (!v) throw UsageError(notANumber(text));
  if (*v < 0 || *v > 86400) throw UsageError(OutOfRangeText(text, "0..86400"));
  return *v;
}

namespace {

// "auto": the value is chosen from the source itself.
constexpr std::string_view kAuto = "auto";

// A check that takes "auto" as well.
std::function<void(const std::string&)> orAuto(std::function<void(const std::string&)> parse) {
  return [parse = std::move(parse)](const std::string& text) {
    if (text != kAuto) parse(text);
  };
}

}  // namespace

int32_t ParseSongs(const std::string& text) { return static_cast<int32_t>(ParseNumber(text, 1, 9999)); }

void SilenceCutOptions::applyTo(CutSettings& s) const {
  // Levels in dBFS and lengths in seconds mean samples once the format is known.
  s.detect.threshold = threshold == kAuto;
  s.detect.runLength = run == kAuto;
  s.detect.zero = zero == kAuto;
  if (!songs.empty()) s.detect.songs = ParseSongs(songs);
  if (!s.detect.threshold) s.threshold = ParseThreshold(threshold).resolve(s.format);
  if (!s.detect.runLength) s.runLength = ParseRun(run).resolve(s.format);
  if (!zero.empty() && !s.detect.zero) s.correction = ParseZero(zero);
  s.ignoreClicks = ParseClicks(clicks).resolve(s.format);
  s.minSongSeconds = ParseMinSong(minSong);
}

void AddSilenceCutOptions(CLI::App& cmd, SilenceCutOptions& o, const std::string& helpPrefix) {
  cmd.add_option("--threshold", o.threshold,
                 helpPrefix + "silence below this |sample| (default 100), or a level such as -50dB, or auto")
      ->check(NotEmpty(orAuto(ParseThreshold)));
  cmd.add_option("--run", o.run,
                 helpPrefix + "silent frames that end a song (default 132300), or seconds such as 3s, or auto")
      ->check(NotEmpty(orAuto(ParseRun)));
  cmd.add_option("--zero", o.zero, helpPrefix + "correct by the zero points ZL,ZR, or auto")
      ->check(NotEmpty(orAuto(ParseZero)));
  cmd.add_option("--ignore-clicks", o.clicks,
                 helpPrefix + "sounds of at most K frames (or 5ms) inside a silence do not end it (default 0)")
      ->check(NotEmpty(ParseClicks));
  cmd.add_option("--min-song", o.minSong, helpPrefix + "a song shorter than S seconds joins its neighbour (default 0)")
      ->check(NotEmpty(ParseMinSong));
}

CheckedFormat ParseFormatOption(const std::string& text) {
  if (const auto position = FindLabelPosition(text)) return {*position, ParseFormatLabel(kCutLabels[*position])};
  if (const auto extended = ParseExtendedLabel(text)) return {kExtendedPosition, *extended};
  throw UsageError(format(msg::kUsageUnknownFormat, quoted(text)));
}

Correction ParseZero(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) throw UsageError(format(msg::kUsageZeroForm, text));
  return {ParseNumber(text.substr(0, comma)), ParseNumber(text.substr(comma + 1))};
}

void CheckNotStandardStream(const std::string& path) {
  struct stat out{};
  if (::stat(path.c_str(), &out) != 0) return;  // not there yet: a new file
  for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream{};
    if (::fstat(fd, &stream) != 0 || stream.st_dev != out.st_dev || stream.st_ino != out.st_ino) continue;
    if (fd == STDOUT_FILENO) throw UsageError(format(msg::kUsageStandardOutput, path));
    throw UsageError(format(msg::kUsageStandardError, path));
  }
}

void CheckStreamsSpare(const std::vector<std::string>& sources, const std::optional<std::string>& saveFolder) {
  const auto spare = [&](int fd) {
    struct stat stream{};
    if (::fstat(fd, &stream) != 0 || !S_ISREG(stream.st_mode)) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (saveFolder && IsNumberedOutput(self, *saveFolder)) return false;
    for (const std::string& source : sources)
      if (SameFile(self, source)) return false;
    return true;
  };
  for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    if (spare(fd)) continue;
    const std::string name = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)).string();
    if (fd == STDERR_FILENO) {
      // Its own message must not go there either: to the standard output
      // when that may take it, else nowhere but the status.
      const int elsewhere = spare(STDOUT_FILENO) ? STDOUT_FILENO : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
      if (elsewhere >= 0) ::dup2(elsewhere, STDERR_FILENO);
    }
    throw UsageError(format(msg::kUsageStreamIsJobFile, name));
  }
}

namespace {

// A check's message from the UsageError it throws.
CLI::Validator checked(std::function<std::string(const std::string&)> check, std::string desc,
                       const char* name) {
  return CLI::Validator(
      [check = std::move(check)](std::string& value) -> std::string {
        try {
          value = check(value);
          return {};
        } catch (const UsageError& e) {
          return e.what();
        }
      },
      std::move(desc), name);
}

}  // namespace

CLI::Validator NotEmpty(std::function<void(const std::string&)> parse) {
  return checked(
      [parse = std::move(parse)](const std::string& text) {
        if (text.empty()) throw UsageError(std::string(msg::kUsageEmpty));
        if (parse) parse(text);
        return text;
      },
      "", "NOT EMPTY");
}

}  // namespace mv::cli
