#pragma once
// What morvane-cli's exit status says, for both of its programs.

namespace mv::cli {

inline constexpr int kDone = 0;
inline constexpr int kRefused = 1;    // refused, declined, or stopped by an error
inline constexpr int kUsage = 2;      // unknown option, bad value, missing argument
// A cancelled run: 128 + the signal (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP),
// see CancelledStatus().

}  // namespace mv::cli
