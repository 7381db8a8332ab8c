#pragma once
// Option values of morvane-cli, checked before any job starts. A bad value
// throws UsageError (exit status 2).

#include <cstdint>
#include <stdexcept>
#include <string>

namespace mv::cli {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Length {
  int32_t hours = 0, minutes = 0, seconds = 0;
};

// "H:M:S", hours 0..maxHours, minutes and seconds 0..59.
Length ParseLength(const std::string& text, int32_t maxHours);

// A label of either format list, however its blanks are spelt: its position.
int ParseFormatOption(const std::string& text);

struct ZeroOption {
  std::string left, right;  // as the captions would hold them
};
// "ZL,ZR", two whole numbers; a value beyond 32 bits is kept out of range
// so that the cut reports it as the window would.
ZeroOption ParseZero(const std::string& text);

}  // namespace mv::cli
