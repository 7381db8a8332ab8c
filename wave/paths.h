#pragma once
// Folders and names as the edit boxes hold them ("folder text": no trailing
// "/", so "/" itself is the empty text), and the file-system questions the
// engines ask.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace mv {

// Drops one trailing "/".
std::string FolderText(std::string folder);
// "<folder>/mv" + number as "%6.6d" + ".wav" (or the extension given).
std::string PieceName(const std::string& folder, int32_t number, std::string_view extension = ".wav");

// "mv", digits, ".wav": a name the cut numbers its pieces by.
bool IsNumberedName(std::string_view name);
// Any name of exactly the pattern mv??????.wav (or the extension given) in
// the folder; true as well when the folder cannot be listed, since such files
// cannot be ruled out.
bool HasNumberedFiles(const std::string& folder, std::string_view extension = ".wav");
// The source is one of the folder's numbered outputs ("mv" digits ".wav"),
// however its path is spelt.
bool IsNumberedOutput(const std::string& source, const std::string& folder);
// Both names reach the same existing file (device and inode); a name that
// reaches no file is the same as none.
bool SameFile(const std::string& a, const std::string& b);

// Another run holds the file (a join writing it); false when it is not there.
bool HeldByAnotherRun(const std::string& path);

// A file's identity: device and inode.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileId&) const = default;
};
std::optional<FileId> IdentityOf(const std::string& path);

// An exclusive hold on a save folder for one run, given up when it goes out
// of scope; none is had while another run holds it.
class RunLock {
 public:
  // The folder's own lock; for a folder that cannot be opened for reading, a
  // lock file named after its identity in the user's own place (the runtime
  // folder, else ~/.cache/morvane/locks), removed again on release. A
  // folder that is not there gets an empty hold: the run reports it when it
  // creates its first file. A lock that cannot be taken at all is refused.
  static std::optional<RunLock> onFolder(const std::string& folder);
  // A hold on nothing.
  static RunLock none() { return RunLock(-1); }
  RunLock(RunLock&& other) noexcept;
  RunLock& operator=(RunLock&&) = delete;
  ~RunLock();

 private:
  static std::optional<RunLock> lockFile(const FileId& folder);
  explicit RunLock(int fd, std::string file = {}) : fd_(fd), file_(std::move(file)) {}
  int fd_ = -1;
  std::string file_;  // the lock file to remove, if any
};

// A folder (the empty text is "/") in which files can be created.
bool IsWritableFolder(const std::string& folder);
bool FileExists(const std::string& path);
// Makes what was written to the folder's file system durable, before a
// source that it replaces goes.
void SyncFolder(const std::string& folder);
bool DeleteFile(const std::string& path);

// Space available to the user on the file system holding the folder (or its
// nearest existing parent); -1 when it cannot be read.
int64_t FreeSpace(const std::string& folder);
// Identifies that file system; equal keys share their space.
uint64_t FileSystemKey(const std::string& folder);

}  // namespace mv
