#include "wave/writer.h"

#include "wave/header.h"

namespace mv {

void WaveWriter::create(const std::string& path, std::string_view label) {
  file_ = File::create(path);
  WriteWaveHeader(file_, label);
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
