#pragma once
// One output WAVE file of a job: created with its header, appended to, and
// finished. A file left unfinished by a cancel or an error still gets its
// sizes patched, so that every file on disk holds exactly what was written.

#include <string>
#include <string_view>

#include "wave/file.h"
#include "wave/job.h"

namespace mv {

class WaveWriter {
 public:
  explicit WaveWriter(JobHost& host) : host_(host) {}
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;
  ~WaveWriter() { abandon(); }

  // Creates (or empties) the file and writes the header for the label.
  void create(const std::string& path, std::string_view label);
  void append(const void* data, std::size_t n) {
    grow(static_cast<int64_t>(n));
    file_.write(data, n);
  }
  void appendFrom(File& src, int64_t n, std::size_t chunk) {
    grow(n);
    file_.copyFrom(src, n, chunk);
  }
  int64_t size() const { return file_.size(); }
  // Patches the sizes and closes the file.
  void finish();
  // The same on a way out that must not throw.
  void abandon() noexcept;
  bool isOpen() const { return file_.isOpen(); }

 private:
  // A file must stay below 2 GiB for its header's sizes to hold.
  void grow(int64_t n);

  JobHost& host_;
  File file_ = File::closed();
  int64_t size_ = 0;
};

}  // namespace mv
