#pragma once
// The command line's level meter: one line on stderr, redrawn in place while
// a recording runs, when stderr is a terminal: the time, a bar per channel
// with its peak in dBFS (held a moment), and CLIP once a sample has reached
// full scale. Never wider than the terminal.

#include <chrono>
#include <string>

#include "record/capture_file.h"

namespace mv::cli {

class ConsoleMeter {
 public:
  void start(int channels, int32_t lengthSeconds);
  void feed(const InputLevel& level, int32_t elapsedSeconds);
  // Clears the line.
  void end();

  // The line for a width of columns (without the carriage return).
  std::string line(int columns) const;

 private:
  using Clock = std::chrono::steady_clock;
  bool tty_ = false;
  bool drawn_ = false;
  int channels_ = 2;
  int32_t length_ = 0, elapsed_ = 0;
  double peakDb_[2] = {-90, -90};
  Clock::time_point heldAt_[2];
  bool clipped_ = false;
  std::string shown_;  // the line on the terminal
};

}  // namespace mv::cli
