#include "cut/list_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "cut/units.h"
#include "wave/errors.h"

namespace mv {

namespace {

constexpr const char* kStandardOutput = "-";

std::string folderOf(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// A TITLE or PERFORMER line, when there is a text: its quotes, which the
// line cannot hold, become apostrophes, and line breaks blanks.
std::string cueTextLine(const char* indent, const char* word, std::string value) {
  if (value.empty()) return "";
  for (char& ch : value)
    if (ch == '"') ch = '\'';
    else if (ch == '\n' || ch == '\r') ch = ' ';
  return std::string(indent) + word + " \"" + value + "\"\n";
}

bool writeAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    done += static_cast<std::size_t>(w);
  }
  return true;
}

// A new file of a name no one else has, beside the target: -1 when none
// can be made.
int createBeside(const std::string& path, std::string& made) {
  std::random_device seed;
  // Short, so that a name near the file system's limit still gets one.
  const std::string stem = folderOf(path) + "/.morvane-";
  for (int attempt = 0; attempt < 16; ++attempt) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "%08x", seed());
    made = stem + tag;
    const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::string LabelText(const std::vector<Piece>& pieces, const std::vector<std::string>& labels, const PcmFormat& f) {
  std::string text;
  for (std::size_t n = 0; n < pieces.size(); ++n) {
    const Piece& p = pieces[n];
    text += DecimalText(BytesSeconds(p.firstByte, f), 6) + "\t" + DecimalText(BytesSeconds(p.firstByte + p.dataBytes, f), 6);
    if (n < labels.size() && !labels[n].empty()) text += "\t" + labels[n];
    text += "\n";
  }
  return text;
}

std::string CueText(const std::string& source, const std::vector<Piece>& pieces, const std::vector<Tags>& tags,
                    const PcmFormat& f) {
  std::string text;
  if (!tags.empty()) {
    text += cueTextLine("", "PERFORMER", tags.front().albumArtist);
    text += cueTextLine("", "TITLE", tags.front().album);
  }
  text += "FILE \"" + source + "\" WAVE\n";
  int32_t n = 0;
  for (const Piece& p : pieces) {
    const int64_t frames = BytesCueFrames(p.firstByte, f);
    char lines[96];
    std::snprintf(lines, sizeof lines, "  TRACK %02d AUDIO\n", ++n);
    text += lines;
    if (static_cast<std::size_t>(n) <= tags.size()) {
      const Tags& t = tags[static_cast<std::size_t>(n - 1)];
      text += cueTextLine("    ", "TITLE", t.title);
      text += cueTextLine("    ", "PERFORMER", t.artist);
    }
    std::snprintf(lines, sizeof lines, "    INDEX 01 %02lld:%02lld:%02lld\n", static_cast<long long>(frames / 75 / 60),
                  static_cast<long long>(frames / 75 % 60), static_cast<long long>(frames % 75));
    text += lines;
  }
  return text;
}

bool CueCanName(const std::string& name) {
  for (unsigned char ch : name)
    if (ch == '"' || ch < 0x20 || ch == 0x7f) return false;
  return true;
}

bool WrittenInPlace(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

void WriteWhole(const std::string& path, const std::string& text) {
  if (path == kStandardOutput) {
    std::fflush(stdout);
    if (!writeAll(STDOUT_FILENO, text)) raise(msg::kWriteError);
    return;
  }
  if (WrittenInPlace(path)) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) raise(msg::kCannotCreate, path);
    const bool written = writeAll(fd, text);
    ::close(fd);
    if (!written) raise(msg::kWriteError);
    return;
  }
  std::string temporary;
  const int fd = createBeside(path, temporary);
  if (fd < 0) raise(msg::kCannotCreate, path);
  const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    if (!written) raise(msg::kWriteError);
    raise(msg::kCannotCreate, path);
  }
}

}  // namespace mv
