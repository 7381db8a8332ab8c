#pragma once
// What morvane-cli's exit status says, for both of its programs.

namespace mv::cli {

inline constexpr int kDone = 0;
inline constexpr int kRefused = 1;    // refused, declined, or stopped by an error
inline constexpr int kUsage = 2;      // unknown option, bad value, missing argument
inline constexpr int kCancelled = 130;  // Ctrl-C

}  // namespace mv::cli
