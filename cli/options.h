#pragma once
// Option values of morvane-cli, checked before any job starts. A bad value
// throws UsageError (exit status 2).

#include <cstdint>
#include <stdexcept>
#include <string>

#include "cut/cut.h"
#include "wave/duration.h"

namespace mv::cli {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "H:M:S", hours 0..215, minutes and seconds 0..59.
Duration ParseLength(const std::string& text);

// A label of either format list, however its blanks are spelt: its position.
int ParseFormatOption(const std::string& text);

// "ZL,ZR", two whole decimal numbers; a value too large for 64 bits is kept
// out of range, so that the cut reports it as any other out of range.
Correction ParseZero(const std::string& text);

}  // namespace mv::cli
