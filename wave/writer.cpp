#include "wave/writer.h"

#include <limits>

#include "wave/errors.h"
#include "wave/header.h"

namespace mv {

void WaveWriter::create(const std::string& path, const PcmFormat& format) {
  file_ = File::create(path);
  size_ = 0;
  grow(kHeaderSize);
  WriteWaveHeader(file_, format);
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
  close(file_.size());
}

void WaveWriter::abandon() noexcept {
  if (!file_.isOpen()) return;
  int64_t size = 0;
  try {
    size = file_.size();
    if (size >= kHeaderSize) FinishWaveHeader(file_);
  } catch (...) {
    // The file keeps what it has; the error that brought us here is reported.
  }
  close(size);
}

void WaveWriter::close(int64_t size) noexcept {
  file_.close();
  if (!closed_) return;
  try {
    closed_(file_.path(), size);
  } catch (...) {
  }
}

}  // namespace mv
