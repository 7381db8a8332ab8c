#include "wave/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>
#include <filesystem>

namespace mv {

namespace fs = std::filesystem;

std::string FolderText(std::string folder) {
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string PieceName(const std::string& folder, int32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "/mv%6.6d.wav", number);
  return folder + name;
}

namespace {

bool isPieceName(const char* name) {
  // Exactly "mv??????.wav": twelve characters, each "?" one of them.
  std::string_view n(name);
  return n.size() == 12 && n.starts_with("mv") && n.ends_with(".wav");
}

bool isNumberedName(std::string_view n) {
  if (!n.starts_with("mv") || !n.ends_with(".wav") || n.size() <= 6) return false;
  for (char ch : n.substr(2, n.size() - 6))
    if (ch < '0' || ch > '9') return false;
  return true;
}

bool statOf(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

std::string existingParent(const std::string& folder) {
  fs::path p = fs::absolute(folder.empty() ? "/" : folder);
  std::error_code ec;
  while (!fs::exists(p, ec) && p.has_parent_path() && p != p.parent_path()) p = p.parent_path();
  return p.string();
}

}  // namespace

bool HasNumberedFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  // A folder that is not there holds nothing; one that cannot be read may.
  if (!dir) return errno != ENOENT && errno != ENOTDIR;
  bool found = false;
  while (dirent* e = ::readdir(dir)) {
    if (isPieceName(e->d_name)) {
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
    if (!isNumberedName(e->d_name)) continue;
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

std::optional<RunLock> RunLock::onFolder(const std::string& folder) {
  const std::string name = folder.empty() ? "/" : folder;
  int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    // A folder its user may write but not read: lock a file named after it.
    if (const auto id = IdentityOf(name)) {
      const std::string path = "/tmp/morvane-folder-" + std::to_string(id->device) + "-" +
                               std::to_string(id->inode) + ".lock";
      fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    }
  }
  if (fd < 0) return RunLock(-1);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return RunLock(fd);
}

RunLock::RunLock(RunLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

RunLock::~RunLock() {
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
