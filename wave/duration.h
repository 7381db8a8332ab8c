#pragma once
// A length as the window's three fields and the command line give it.

#include <cstdint>
#include <cstdio>
#include <string>

#include "wave/checked.h"

namespace mv {

// Hours run up to 215 in every length field; minutes and seconds to 59.
inline constexpr int32_t kMaxHours = 215;

struct Duration {
  int32_t hours = 0;
  int32_t minutes = 0;
  int32_t seconds = 0;

  // (h × 60 + m) × 60 + s, in the checked 32-bit arithmetic of the runs.
  int32_t totalSeconds() const { return add32(mul32(add32(mul32(hours, 60), minutes), 60), seconds); }
};

// ms as H:MM:SS.mmm, the way lengths and positions are printed.
inline std::string ClockTextMs(int64_t ms) {
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
  return text;
}

}  // namespace mv
