#include "record/input_watch.h"

namespace mv {

bool InputWatch::silent(int64_t now) {
  if (now - lastTick_ > stallMs_) lastData_ = now;
  lastTick_ = now;
  return now - lastData_ > silentMs_;
}

}  // namespace mv
