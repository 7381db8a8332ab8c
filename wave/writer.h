#pragma once
// One output WAVE file of a job: created with its header, appended to, and
// finished. Its sizes are brought up to date after every block, so that a
// file on disk is valid at any moment, even if the process is killed; a file
// left by a cancel or an error is finished with what it holds.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wave/file.h"
#include "wave/format.h"
#include "wave/layout.h"
#include "wave/paths.h"

namespace mv {

// Told of each file once it is closed for good (finished or left as it is),
// with its size as the open file had it.
using FileClosed = std::function<void(const std::string& path, int64_t size)>;

// What an output must never be: one of the job's sources (refused with
// sourceMessage before the file is touched), or, when exclusive, a file
// another run is writing.
struct OutputRules {
  std::vector<FileId> sources;
  std::string_view sourceMessage;
  bool exclusive = false;
};

// The header of a job's outputs: a listed format's 44 bytes, or one for a
// format outside the lists; with info (a piece's tags, InfoChunk's), that
// chunk goes between the format and the data. Without, not a byte changes.
struct OutputHeader {
  OutputHeader() = default;
  OutputHeader(const PcmFormat& f, std::nullopt_t) : format(f) {}
  OutputHeader(const PcmFormat& f, const std::optional<ExtendedHeader>& e, std::vector<uint8_t> i = {})
      : format(f), extended(e), info(std::move(i)) {}
  PcmFormat format;
  std::optional<ExtendedHeader> extended;
  std::vector<uint8_t> info;
};

class WaveWriter {
 public:
  explicit WaveWriter(FileClosed closed = {}, OutputRules rules = {})
      : closed_(std::move(closed)), rules_(std::move(rules)) {}
  WaveWriter(const WaveWriter&) = delete;
  WaveWriter& operator=(const WaveWriter&) = delete;
  ~WaveWriter() { abandon(); }

  // Creates (or empties) the file and writes the header for the format.
  void create(const std::string& path, const PcmFormat& format);
  // The same with a header for a format outside the lists.
  void create(const std::string& path, const ExtendedHeader& header);
  void create(const std::string& path, const OutputHeader& header);
  int64_t headerSize() const { return headerSize_; }
  void append(const void* data, std::size_t n);
  // Copies n bytes from src in chunks, the sizes brought up to date after
  // each; undeclared, they stay behind the declared data until declare().
  void appendFrom(ByteStream& src, int64_t n, std::size_t chunk, bool declared = true);
  // Brings the sizes up to date now.
  void declare();
  int64_t size() const { return file_.size(); }
  // Patches the sizes and closes the file.
  void finish();
  // The same on a way out that must not throw.
  void abandon() noexcept;
  // Closes the file as it was at `size` bytes: what was appended after that
  // goes, and is never declared.
  void abandonAt(int64_t size) noexcept;
  bool isOpen() const { return file_.isOpen(); }

 private:
  // A name that is a link (symbolic, or one of several hard links) is
  // removed, to be made anew; true then.
  bool replaceLink(const std::string& path) const;
  void open(const std::string& path, const std::vector<uint8_t>& header);
  // Both sizes (and all between them) in one write, so that no moment shows
  // one without the other.
  void writeSizes(int64_t fileSize);
  // A file must stay below 2 GiB for its header's sizes to hold (4 GiB, or
  // any size with room for RF64, outside the lists).
  void grow(int64_t n);
  void finishHeader();
  void close(int64_t size) noexcept;
  // Brings the header's sizes up to date for written bytes.
  void refresh(int64_t written, bool now);
  static constexpr int64_t kRefreshBytes = 1 << 20;

  FileClosed closed_;
  OutputRules rules_;
  File file_ = File::closed();
  PcmFormat format_;
  // Written whole from the first byte when there is one: a format outside
  // the lists, or a header with info.
  std::optional<ExtendedHeader> extended_;
  int64_t headerSize_ = 0;
  int64_t limit_ = 0;  // the largest file the header's sizes can describe
  int64_t size_ = 0;
  int64_t refreshed_ = 0;  // the size the header says
  std::vector<char> buffer_;
};

}  // namespace mv
