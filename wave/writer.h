#pragma once
// One output WAVE file of a job: created with its header, appended to, and
// finished. A file left unfinished by a cancel or an error still gets its
// sizes patched, so that every file on disk holds exactly what was written.

#include <cstdint>
#include <functional>
#include <string>

#include "wave/file.h"
#include "wave/format.h"

namespace mv {

// Told of each file once it is closed for good (finished or left as it is),
// with its size as the open file had it.
using FileClosed = std::function<void(const std::string& path, int64_t size)>;

class WaveWriter {
 public:
  explicit WaveWriter(FileClosed closed = {}) : closed_(std::move(closed)) {}
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;
  ~WaveWriter() { abandon(); }

  // Creates (or empties) the file and writes the header for the format.
  void create(const std::string& path, const PcmFormat& format);
  void append(const void* data, std::size_t n) {
    grow(static_cast<int64_t>(n));
    file_.write(data, n);
  }
  void appendFrom(ByteStream& src, int64_t n, std::size_t chunk) {
    grow(n);
    CopyBytes(src, file_, n, chunk);
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
  void close(int64_t size) noexcept;

  FileClosed closed_;
  File file_ = File::closed();
  int64_t size_ = 0;
};

}  // namespace mv
