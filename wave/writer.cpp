#include "wave/writer.h"

#include "wave/header.h"

#include <limits>

#include "wave/errors.h"

namespace mv {

void WaveWriter::create(const std::string& path, std::string_view label) {
  file_ = File::create(path);
  size_ = 0;
  grow(kHeaderSize);
  WriteWaveHeader(file_, label);
}

void WaveWriter::grow(int64_t n) {
  if (size_ + n > std::numeric_limits<int32_t>::max()) raise(msg::kOverflow);
  size_ += n;
}

void WaveWriter::finish() {
  if (!file_.isOpen()) return;
  try {
    FinishWaveHeader(file_);
  } catch (...) {
    abandon();
    throw;
  }
  file_.close();
  host_.fileWritten(file_.path());
}

void WaveWriter::abandon() noexcept {
  if (!file_.isOpen()) return;
  try {
    if (file_.size() >= kHeaderSize) FinishWaveHeader(file_);
  } catch (...) {
    // The file keeps what it has; the error that brought us here is reported.
  }
  file_.close();
  try {
    host_.fileWritten(file_.path());
  } catch (...) {
  }
}

}  // namespace mv
