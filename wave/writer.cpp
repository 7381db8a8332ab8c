#include "wave/writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>

#include "wave/errors.h"
#include "wave/header.h"

namespace mv {

bool WaveWriter::replaceLink(const std::string& path) const {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return false;
  // A hard link shares its file with another name, perhaps outside the
  // folder: writing through it would change that file too.
  if (!S_ISLNK(st.st_mode) && !(S_ISREG(st.st_mode) && st.st_nlink > 1)) return false;
  // A link to a source stays refused as the source itself would be; any
  // other link goes, so that nothing is written where it points.
  if (const auto id = IdentityOf(path))
    if (std::find(rules_.sources.begin(), rules_.sources.end(), *id) != rules_.sources.end())
      refuse(rules_.sourceMessage);
  if (!DeleteFile(path)) raise(msg::kCannotCreate, path);
  return true;
}

void WaveWriter::create(const std::string& path, const PcmFormat& format) {
  format_ = format;
  extended_.reset();
  headerSize_ = kHeaderSize;
  limit_ = std::numeric_limits<int32_t>::max();
  const auto header = WaveHeader(format, kHeaderSize);
  open(path, std::vector<uint8_t>(header.begin(), header.end()));
}

void WaveWriter::create(const std::string& path, const ExtendedHeader& header) {
  extended_ = header;
  headerSize_ = header.size();
  limit_ = headerSize_ + header.maxDataBytes();
  open(path, header.bytes(0));
}

void WaveWriter::create(const std::string& path, const OutputHeader& header) {
  if (header.info.empty()) {
    if (header.extended)
      create(path, *header.extended);
    else
      create(path, header.format);
    return;
  }
  // A listed format's header made the extended way is its 44 bytes (a plain
  // PCM record, no fact chunk, no room for RF64); the info goes in before
  // the data chunk.
  ExtendedHeader full = header.extended ? *header.extended : ExtendedHeader(header.format, {}, false);
  full.setInfo(header.info);
  format_ = header.format;
  extended_ = full;
  headerSize_ = full.size();
  // A listed format keeps its 2 GiB: its readers take the sizes as signed.
  limit_ = header.extended ? headerSize_ + full.maxDataBytes() : std::numeric_limits<int32_t>::max();
  open(path, full.bytes(0));
}

void WaveWriter::open(const std::string& path, const std::vector<uint8_t>& header) {
  size_ = 0;
  grow(headerSize_);
  // A new name appears with its whole header, so that no moment shows an
  // empty file; it can be neither a source nor another run's output.
  if (std::optional<File> fresh = File::createWith(path, header.data(), header.size(), rules_.exclusive)) {
    file_ = std::move(*fresh);
    refreshed_ = size_;
    return;
  }
  if (replaceLink(path)) {
    if (std::optional<File> fresh = File::createWith(path, header.data(), header.size(), rules_.exclusive)) {
      file_ = std::move(*fresh);
      refreshed_ = size_;
      return;
    }
  }
  File file = File::openForWriting(path);
  // Checked on the open file, before anything is emptied or written.
  const auto [device, inode] = file.identity();
  const FileId id{device, inode};
  if (std::find(rules_.sources.begin(), rules_.sources.end(), id) != rules_.sources.end())
    refuse(rules_.sourceMessage);
  if (rules_.exclusive && !file.tryLock()) refuse(msg::kOutputInUse);
  try {
    // The header of an empty file first, then the old bytes behind it go:
    // valid at every step.
    file.writeAt(0, header.data(), header.size());
    file.truncate(headerSize_);
    file.seek(headerSize_);
  } catch (...) {
    // Without its whole header the file would be no WAVE file at all.
    file.close();
    DeleteFile(path);
    throw;
  }
  file_ = std::move(file);
  refreshed_ = size_;
}

void WaveWriter::grow(int64_t n) {
  if (size_ + n > limit_) raise(msg::kOverflow);
  size_ += n;
}

void WaveWriter::writeSizes(int64_t fileSize) {
  if (!extended_) {
    WriteWaveSizes(file_, format_, static_cast<int32_t>(fileSize));
    return;
  }
  // From the first byte: past 4 GiB the file's first word becomes RF64.
  const std::vector<uint8_t> h = extended_->bytes(fileSize - headerSize_);
  file_.writeAt(0, h.data(), h.size());
}

void WaveWriter::append(const void* data, std::size_t n) {
  grow(static_cast<int64_t>(n));
  file_.write(data, n);
  refresh(size_, false);
}

void WaveWriter::refresh(int64_t written, bool now) {
  // Small blocks share a refresh, so that the sizes lag at most 1 MiB.
  if (!now && written - refreshed_ < kRefreshBytes) return;
  writeSizes(written);
  refreshed_ = written;
}

void WaveWriter::declare() { refresh(size_, true); }

void WaveWriter::appendFrom(ByteStream& src, int64_t n, std::size_t chunk, bool declared) {
  grow(n);
  int64_t done = size_ - n;
  // Through memory rather than copy_file_range: pieces start at odd offsets
  // (behind a 44-byte header), where the kernel's copy is the slower one.
  buffer_.resize(std::min<std::size_t>(chunk, static_cast<std::size_t>(n)));
  while (n > 0) {
    // On a short source only the whole chunks read stay.
    const auto step = static_cast<std::size_t>(std::min<int64_t>(n, static_cast<int64_t>(chunk)));
    src.readFull(buffer_.data(), step);
    file_.write(buffer_.data(), step);
    done += static_cast<int64_t>(step);
    n -= static_cast<int64_t>(step);
    if (declared) refresh(done, n == 0);
  }
}

void WaveWriter::finish() {
  if (!file_.isOpen()) return;
  try {
    finishHeader();
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
    if (size >= headerSize_) finishHeader();
  } catch (...) {
    // The file keeps what it has; the error that brought us here is reported.
  }
  close(size);
}

void WaveWriter::abandonAt(int64_t size) noexcept {
  if (!file_.isOpen()) return;
  try {
    // The sizes first: should the bytes after them stay, they stay undeclared.
    writeSizes(size);
    file_.truncate(size);
  } catch (...) {
    // The error that brought us here is reported.
  }
  close(size);
}

void WaveWriter::finishHeader() {
  if (!extended_) {
    FinishWaveHeader(file_);
    return;
  }
  const int64_t size = file_.size();
  writeSizes(size);
  file_.seek(size);
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
