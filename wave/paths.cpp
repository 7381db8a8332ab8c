#include "wave/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <utility>
#include <filesystem>

#include "wave/errors.h"

namespace mv {

namespace fs = std::filesystem;

std::string FolderText(std::string folder) {
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string PieceName(const std::string& folder, int32_t number, std::string_view extension) {
  char name[32];
  std::snprintf(name, sizeof name, "/mv%6.6d", number);
  return folder + name + std::string(extension);
}

namespace {

bool isPieceName(const char* name, std::string_view extension) {
  // Exactly "mv??????.wav": eight characters and the extension, each "?" one of them.
  std::string_view n(name);
  return n.size() == 8 + extension.size() && n.starts_with("mv") && n.ends_with(extension);
}

bool statOf(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

std::string existingParent(const std::string& folder) {
  fs::path p = fs::absolute(folder.empty() ? "/" : folder);
  std::error_code ec;
  while (!fs::exists(p, ec) && p.has_parent_path() && p != p.parent_path()) p = p.parent_path();
  return p.string();
}

}  // namespace

bool IsNumberedName(std::string_view n) {
  if (!n.starts_with("mv") || !n.ends_with(".wav") || n.size() <= 6) return false;
  for (char ch : n.substr(2, n.size() - 6))
    if (ch < '0' || ch > '9') return false;
  return true;
}

bool HasNumberedFiles(const std::string& folder, std::string_view extension) {
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  // A folder that is not there holds nothing; one that cannot be read may.
  if (!dir) return errno != ENOENT && errno != ENOTDIR;
  bool found = false;
  while (dirent* e = ::readdir(dir)) {
    if (isPieceName(e->d_name, extension)) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

bool IsNumberedOutput(const std::string& source, const std::string& folder) {
  struct stat src{};
  if (!statOf(source, src)) return false;
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return false;
  bool same = false;
  while (dirent* e = ::readdir(dir)) {
    if (!IsNumberedName(e->d_name)) continue;
    struct stat out{};
    if (statOf(folder + "/" + e->d_name, out) && out.st_dev == src.st_dev &&
        out.st_ino == src.st_ino) {
      same = true;
      break;
    }
  }
  ::closedir(dir);
  return same;
}

bool SameFile(const std::string& a, const std::string& b) {
  const auto ia = IdentityOf(a);
  return ia && ia == IdentityOf(b);
}

bool HeldByAnotherRun(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

std::optional<FileId> IdentityOf(const std::string& path) {
  struct stat st{};
  if (!statOf(path, st)) return std::nullopt;
  return FileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

namespace {

// Owned by the user and closed to everyone else.
bool isPrivateFolder(int fd, bool closed = true) {
  struct stat st{};
  return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (!closed || (st.st_mode & 077) == 0);
}

// A folder inside parent, made if need be, never through a link; -1 unless
// it is the user's own (and, when closed, no one else's to enter).
int ownFolderIn(int parent, const char* name, bool closed) {
  ::mkdirat(parent, name, 0700);
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 && !isPrivateFolder(fd, closed)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

struct LockFolder {
  int fd = -1;
  std::string path;  // also named in the refusal when there is none
};

// Where the user's lock files live: the runtime folder when it is the
// user's private one, else ~/.cache/morvane/locks. No one else can create,
// hold or link a name there first.
LockFolder lockFolder() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && run[0] == '/') {
    const int base = ::open(run, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int fd = base >= 0 && isPrivateFolder(base) ? ownFolderIn(base, "morvane", true) : -1;
    if (base >= 0) ::close(base);
    if (fd >= 0) return {fd, std::string(run) + "/morvane"};
  }
  const char* home = std::getenv("HOME");
  LockFolder f{-1, std::string(home && home[0] == '/' ? home : "~") + "/.cache/morvane/locks"};
  if (!home || home[0] != '/') return f;
  int fd = ::open(home, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const char* name : {".cache", "morvane", "locks"}) {
    if (fd < 0) break;
    const int inner = ownFolderIn(fd, name, std::string_view(name) == "locks");
    ::close(fd);
    fd = inner;
  }
  f.fd = fd;
  return f;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

std::optional<RunLock> RunLock::lockFile(const FileId& id) {
  const LockFolder folder = lockFolder();
  const std::string name = "folder-" + std::to_string(id.device) + "-" + std::to_string(id.inode) + ".lock";
  const std::string path = folder.path + "/" + name;
  // A holder removes its file while it still holds it: a file taken just
  // then is one no longer named, and is taken anew.
  for (int attempt = 0; folder.fd >= 0 && attempt < 8; ++attempt) {
    const int fd = ::openat(folder.fd, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) break;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const bool busy = errno == EWOULDBLOCK;
      ::close(fd);
      if (!busy) break;
      ::close(folder.fd);
      return std::nullopt;
    }
    struct stat held{}, named{};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::fstatat(folder.fd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(held, named)) {
      ::close(folder.fd);
      return RunLock(fd, path);
    }
    ::close(fd);
  }
  if (folder.fd >= 0) ::close(folder.fd);
  refuse(format(msg::kCannotLockFolder, folder.path));
}

std::optional<RunLock> RunLock::onFolder(const std::string& folder) {
  const std::string name = folder.empty() ? "/" : folder;
  // A folder that is not there, or no folder, is reported by the run.
  const auto id = IdentityOf(name);
  if (!id) return RunLock(-1);
  const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && (errno == ENOTDIR || errno == ENOENT)) return RunLock(-1);
  if (fd >= 0) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return RunLock(fd);
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    if (busy) return std::nullopt;
  }
  // A folder its user may write but not read, or one whose file system
  // locks no folders: a lock file named after it instead.
  return lockFile(*id);
}

RunLock::RunLock(RunLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), file_(std::move(other.file_)) {}

RunLock::~RunLock() {
  // Removed while still held, so that no one takes a file about to go.
  if (!file_.empty() && fd_ >= 0) ::unlink(file_.c_str());
  if (fd_ >= 0) ::close(fd_);
}

bool IsWritableFolder(const std::string& folder) {
  const std::string name = folder.empty() ? "/" : folder;
  struct stat st{};
  return statOf(name, st) && S_ISDIR(st.st_mode) && ::access(name.c_str(), W_OK | X_OK) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st{};
  return statOf(path, st);
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

void SyncFolder(const std::string& folder) {
  const int fd = ::open(existingParent(folder).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::syncfs(fd) != 0) ::sync();
  if (fd >= 0) ::close(fd);
}

int64_t FreeSpace(const std::string& folder) {
  struct statvfs vfs{};
  if (::statvfs(existingParent(folder).c_str(), &vfs) != 0) return -1;
  return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

uint64_t FileSystemKey(const std::string& folder) {
  struct stat st{};
  if (!statOf(existingParent(folder), st)) return 0;
  return static_cast<uint64_t>(st.st_dev);
}

}  // namespace mv
