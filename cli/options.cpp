#include "cli/options.h"

#include <cctype>
#include <limits>

#include "wave/format.h"

namespace mv::cli {

namespace {

int32_t field(std::string digits, int32_t max, const char* what) {
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 6 || std::stoi(digits) > max)
    throw UsageError(std::string(what) + " out of range (0.." + std::to_string(max) + ")");
  return std::stoi(digits);
}

bool allDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char ch : s)
    if (!std::isdigit(static_cast<unsigned char>(ch))) return false;
  return true;
}

int64_t wholeNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::string rest = text.substr(i);
  while (!rest.empty() && rest.back() == ' ') rest.pop_back();
  bool negative = false;
  if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) {
    negative = rest[0] == '-';
    rest.erase(0, 1);
  }
  if (!allDigits(rest)) throw UsageError("not a whole number: " + text);
  rest.erase(0, std::min(rest.find_first_not_of('0'), rest.size() - 1));
  const int64_t v = rest.size() > 18 ? std::numeric_limits<int64_t>::max() : std::stoll(rest);
  return negative ? -v : v;
}

}  // namespace

Duration ParseLength(const std::string& text) {
  const auto first = text.find(':');
  const auto second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos) throw UsageError("length must be H:M:S: " + text);
  const std::string h = text.substr(0, first), m = text.substr(first + 1, second - first - 1),
                    sec = text.substr(second + 1);
  if (!allDigits(h) || !allDigits(m) || !allDigits(sec)) throw UsageError("length must be H:M:S: " + text);
  return {field(h, kMaxHours, "hours"), field(m, 59, "minutes"), field(sec, 59, "seconds")};
}

int ParseFormatOption(const std::string& text) {
  auto position = FindLabelPosition(text);
  if (!position) throw UsageError("unknown format label: " + text);
  return *position;
}

Correction ParseZero(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) throw UsageError("--zero takes ZL,ZR: " + text);
  return {wholeNumber(text.substr(0, comma)), wholeNumber(text.substr(comma + 1))};
}

}  // namespace mv::cli
