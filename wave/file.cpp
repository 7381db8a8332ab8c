#include "wave/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "wave/errors.h"

namespace mv {

void ByteStream::readFull(void* buf, std::size_t n) {
  if (read(buf, n) != n) endedEarly();
}

void ByteStream::endedEarly() { raise(msg::kReadError); }

namespace {

// Opens without blocking on a FIFO, then insists on a regular file.
int openRegular(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

File File::openRead(const std::string& path) {
  int fd = openRegular(path, O_RDONLY);
  if (fd < 0) raise(msg::kCannotOpen, path);
  return File(fd, path);
}

File File::create(const std::string& path) {
  // Emptied only after the check, so that a FIFO or device is never touched;
  // and only when not empty, since ext4 flushes a truncated file on close.
  int fd = openRegular(path, O_RDWR | O_CREAT);
  struct stat st{};
  if (fd < 0 || ::fstat(fd, &st) != 0 || (st.st_size != 0 && ::ftruncate(fd, 0) != 0)) {
    if (fd >= 0) ::close(fd);
    raise(msg::kCannotCreate, path);
  }
  return File(fd, path);
}

File File::openForWriting(const std::string& path) {
  const int fd = openRegular(path, O_RDWR | O_CREAT | O_NOFOLLOW);
  if (fd < 0) raise(msg::kCannotCreate, path);
  return File(fd, path);
}

std::optional<File> File::createWith(const std::string& path, const void* first, std::size_t n, bool lock) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) return std::nullopt;
  File file(fd, path);
  if (lock) file.tryLock();
  file.write(first, n);
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) return std::nullopt;
  return file;
}

void File::writeAt(int64_t pos, const void* buf, std::size_t n) {
  const auto* p = static_cast<const char*>(buf);
  while (n > 0) {
    const ssize_t w = ::pwrite(fd_, p, n, pos);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) raise(msg::kWriteError);
    p += w;
    pos += w;
    n -= static_cast<std::size_t>(w);
  }
}

bool File::tryLock() { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }

std::pair<uint64_t, uint64_t> File::identity() const {
  struct stat st{};
  if (::fstat(fd_, &st) != 0) return {0, 0};
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

File File::openReadWrite(const std::string& path) {
  int fd = openRegular(path, O_RDWR);
  if (fd < 0) raise(msg::kCannotOpen, path);
  return File(fd, path);
}

void File::truncate(int64_t n) {
  if (::ftruncate(fd_, n) != 0) raise(msg::kWriteError);
}

void File::sync() {
  if (::fdatasync(fd_) != 0) raise(msg::kWriteError);
}

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

File::~File() { close(); }

void File::close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::size_t File::read(void* buf, std::size_t n) {
  std::size_t got = 0;
  auto* p = static_cast<char*>(buf);
  while (got < n) {
    ssize_t r = ::read(fd_, p + got, n - got);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) raise(msg::kReadError);
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

void File::write(const void* buf, std::size_t n) {
  const auto* p = static_cast<const char*>(buf);
  while (n > 0) {
    ssize_t w = ::write(fd_, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) raise(msg::kWriteError);
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

void File::seek(int64_t pos) {
  if (::lseek(fd_, pos, SEEK_SET) < 0) raise(msg::kReadError);
}

int64_t File::position() const { return ::lseek(fd_, 0, SEEK_CUR); }

int64_t File::size() const {
  struct stat st{};
  if (::fstat(fd_, &st) != 0) raise(msg::kReadError);
  return st.st_size;
}

std::size_t MemoryStream::read(void* buf, std::size_t n) {
  if (pos_ >= size()) return 0;
  std::size_t got = std::min<std::size_t>(n, static_cast<std::size_t>(size() - pos_));
  std::memcpy(buf, bytes_.data() + pos_, got);
  pos_ += static_cast<int64_t>(got);
  return got;
}

void MemoryStream::write(const void* buf, std::size_t n) {
  if (static_cast<std::size_t>(pos_) + n > bytes_.size()) bytes_.resize(pos_ + n);
  std::memcpy(bytes_.data() + pos_, buf, n);
  pos_ += static_cast<int64_t>(n);
}

}  // namespace mv
