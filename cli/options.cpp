#include "cli/options.h"

#include <limits>
#include <regex>

#include "wave/format.h"

namespace mv::cli {

namespace {

int32_t field(const std::string& digits, int32_t max, const char* what) {
  if (digits.size() > 6 || std::stoi(digits) > max)
    throw UsageError(std::string(what) + " out of range (0.." + std::to_string(max) + ")");
  return std::stoi(digits);
}

std::string integerText(const std::string& text) {
  static const std::regex kInteger(R"(^\s*([+-]?)0*([0-9]{1,30})\s*$)");
  std::smatch m;
  if (!std::regex_match(text, m, kInteger)) throw UsageError("not a whole number: " + text);
  const std::string digits = m[2];
  long long v = digits.size() > 12 ? std::numeric_limits<int32_t>::max() : std::stoll(digits);
  if (m[1] == "-") v = -v;
  if (v > std::numeric_limits<int32_t>::max()) v = std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) v = std::numeric_limits<int32_t>::min();
  return std::to_string(v);
}

}  // namespace

Length ParseLength(const std::string& text, int32_t maxHours) {
  static const std::regex kLength(R"(^([0-9]+):([0-9]+):([0-9]+)$)");
  std::smatch m;
  if (!std::regex_match(text, m, kLength)) throw UsageError("length must be H:M:S: " + text);
  return {field(m[1], maxHours, "hours"), field(m[2], 59, "minutes"), field(m[3], 59, "seconds")};
}

int ParseFormatOption(const std::string& text) {
  auto position = FindLabelPosition(text);
  if (!position) throw UsageError("unknown format label: " + text);
  return *position;
}

ZeroOption ParseZero(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) throw UsageError("--zero takes ZL,ZR: " + text);
  return {integerText(text.substr(0, comma)), integerText(text.substr(comma + 1))};
}

}  // namespace mv::cli
