#pragma once
// The file layer: a small byte-stream interface (so header code runs on memory
// in tests and fuzzing) and the POSIX file behind it. Failures raise the file
// layer's messages.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mv {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to n bytes; fewer only at the end of the data.
  virtual std::size_t read(void* buf, std::size_t n) = 0;
  // Writes all n bytes or raises the write error.
  virtual void write(const void* buf, std::size_t n) = 0;
  virtual void seek(int64_t pos) = 0;
  virtual int64_t position() const = 0;
  virtual int64_t size() const = 0;
  // Cuts the stream to n bytes.
  virtual void truncate(int64_t n) = 0;
  // Puts what was written on the disk, or raises the write error; memory
  // has nothing to do.
  virtual void sync() {}

  // Reads exactly n bytes or raises the read error.
  void readFull(void* buf, std::size_t n);
  // Raises why a read gave fewer bytes than the stream's size promised: the
  // read error, or the stream's own reason.
  [[noreturn]] virtual void endedEarly();
};


class File final : public ByteStream {
 public:
  // Regular files only: a directory or a FIFO cannot be opened.
  static File openRead(const std::string& path);
  // Creates or empties the file, for reading and writing.
  static File create(const std::string& path);
  // An existing regular file, for reading and writing.
  static File openReadWrite(const std::string& path);
  // Opens or creates the file for writing without emptying it; a name that
  // is a symbolic link is not followed and cannot be opened.
  static File openForWriting(const std::string& path);
  // A new file that appears under its name only once it holds its first
  // bytes; nothing when the name is taken or the file system cannot make
  // such a file.
  // With lock, it is locked (see tryLock) before it appears.
  static std::optional<File> createWith(const std::string& path, const void* first, std::size_t n,
                                        bool lock = false);
  // A File that holds nothing yet.
  static File closed() { return File(-1, {}); }

  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() override;

  std::size_t read(void* buf, std::size_t n) override;
  void write(const void* buf, std::size_t n) override;
  void seek(int64_t pos) override;
  int64_t position() const override;
  int64_t size() const override;

  void truncate(int64_t n) override;
  // fdatasync: the data and the size, not the times.
  void sync() override;
  // Writes at a position without moving the file's own.
  void writeAt(int64_t pos, const void* buf, std::size_t n);
  // Takes an exclusive lock for as long as the file is open; false when
  // another holds it.
  bool tryLock();
  // Device and inode of the open file, in one look.
  std::pair<uint64_t, uint64_t> identity() const;
  void close() noexcept;
  bool isOpen() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_ = -1;
  std::string path_;
};

class MemoryStream final : public ByteStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::size_t read(void* buf, std::size_t n) override;
  void write(const void* buf, std::size_t n) override;
  void seek(int64_t pos) override { pos_ = pos; }
  int64_t position() const override { return pos_; }
  int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
  void truncate(int64_t n) override { bytes_.resize(static_cast<std::size_t>(n)); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int64_t pos_ = 0;
};

}  // namespace mv
