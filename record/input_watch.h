#pragma once
// Whether an input has stopped delivering, judged on a watch's regular
// ticks by a monotonic clock in milliseconds. A tick long overdue means this
// process was held up (stopped, or its event loop blocked): the gap is its
// own, not the input's, which gets its full time again from that tick.

#include <cstdint>

namespace mv {

class InputWatch {
 public:
  InputWatch(int64_t silentMs, int64_t stallMs) : silentMs_(silentMs), stallMs_(stallMs) {}

  void start(int64_t now) { lastTick_ = lastData_ = now; }
  void delivered(int64_t now) { lastData_ = now; }
  // The watch's tick: true when the input has sent nothing for longer than
  // the silent time while this process was there to take it.
  bool silent(int64_t now);

 private:
  int64_t silentMs_, stallMs_;
  int64_t lastTick_ = 0, lastData_ = 0;
};

}  // namespace mv
