#include "cli/exports.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "cli/options.h"
#include "cut/units.h"
#include "wave/encoded.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/paths.h"

namespace mv::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kStandardOutput = "-";

std::string seconds(double v) { return DecimalText(v, 6); }

std::string folderOf(const std::string& path) {
  const std::string parent = fs::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// The name and, when it is a link, each name the link leads to.
std::vector<std::string> namesThrough(const std::string& path) {
  std::vector<std::string> names = {path};
  std::error_code ec;
  for (int hops = 0; hops < 40 && fs::is_symlink(names.back(), ec); ++hops) {
    const fs::path target = fs::read_symlink(names.back(), ec);
    if (ec) break;
    names.push_back(target.is_absolute() ? target.string() : (fs::path(folderOf(names.back())) / target).string());
  }
  return names;
}

// A piece of the save folder, there already or to be written by the run.
bool isPieceOf(const std::string& path, const std::string& saveFolder) {
  if (IsNumberedOutput(path, saveFolder)) return true;
  const auto folder = IdentityOf(saveFolder.empty() ? "/" : saveFolder);
  for (const std::string& name : namesThrough(path))
    if (IsNumberedName(fs::path(name).filename().string()) && folder && IdentityOf(folderOf(name)) == folder)
      return true;
  return false;
}

bool holdsAudio(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // One that cannot be read cannot be told from audio: its open error.
  File in = File::openRead(path);
  if (BeginsLikeAudio(in)) return true;
  // Audio comes in more forms than any list of marks (bare samples among
  // them), and a label file or cue sheet is text: only text is replaced.
  char head[65536];
  const std::size_t n = in.read(head, sizeof head);
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(head[i]);
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 0x7F) return true;
  }
  return false;
}

// Devices and pipes are written into as they are; anything else is
// replaced by a file made beside it.
bool writtenInPlace(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

void checkExport(const std::string& path, const CutSettings& s) {
  if (path == kStandardOutput) return;
  if (SameFile(path, s.source) || isPieceOf(path, s.saveFolder)) refuse(format(msg::kExportIsRunFile, path));
  if (holdsAudio(path)) refuse(format(msg::kExportIsAudio, path));
  if (writtenInPlace(path)) return;
  struct stat st{};
  if ((::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) || !IsWritableFolder(folderOf(path)))
    raise(msg::kCannotCreate, path);
}

// A cue sheet quotes the name on its FILE line, with no escapes.
bool cueCanHold(const std::string& name) {
  for (unsigned char ch : name)
    if (ch == '"' || ch < 0x20 || ch == 0x7f) return false;
  return true;
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

std::string cueText(const std::string& source, const CutResult& r, const PcmFormat& f) {
  std::string text;
  if (!r.tags.empty()) {
    text += cueTextLine("", "PERFORMER", r.tags.front().albumArtist);
    text += cueTextLine("", "TITLE", r.tags.front().album);
  }
  text += "FILE \"" + source + "\" WAVE\n";
  int32_t n = 0;
  for (const Piece& p : r.report.pieces) {
    const int64_t frames = BytesCueFrames(p.firstByte, f);
    char lines[96];
    std::snprintf(lines, sizeof lines, "  TRACK %02d AUDIO\n", ++n);
    text += lines;
    if (static_cast<std::size_t>(n) <= r.tags.size()) {
      const Tags& t = r.tags[static_cast<std::size_t>(n - 1)];
      text += cueTextLine("    ", "TITLE", t.title);
      text += cueTextLine("    ", "PERFORMER", t.artist);
    }
    std::snprintf(lines, sizeof lines, "    INDEX 01 %02lld:%02lld:%02lld\n", static_cast<long long>(frames / 75 / 60),
                  static_cast<long long>(frames / 75 % 60), static_cast<long long>(frames % 75));
    text += lines;
  }
  return text;
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

// The whole text under its name at once: the old file, if any, until the
// new one is complete on the disk.
void writeWhole(const std::string& path, const std::string& text) {
  if (path == kStandardOutput) {
    std::fflush(stdout);
    if (!writeAll(STDOUT_FILENO, text)) raise(msg::kWriteError);
    return;
  }
  if (writtenInPlace(path)) {
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

}  // namespace

std::string LabelText(const CutResult& r, const PcmFormat& f) {
  std::string text;
  int32_t n = 0;
  for (const Piece& p : r.report.pieces) {
    const std::string name = r.fileName(++n);
    text += seconds(BytesSeconds(p.firstByte, f)) + "\t" + seconds(BytesSeconds(p.firstByte + p.dataBytes, f)) +
            "\t" + name.substr(0, name.size() - r.pieceExtension.size()) + "\n";
  }
  return text;
}

bool ExportsToStandardOutput(const CutReportOptions& o) {
  return o.labels == kStandardOutput || o.cue == kStandardOutput;
}

void CheckExportUsage(const CutReportOptions& o) {
  if (o.labels == kStandardOutput && o.cue == kStandardOutput)
    throw UsageError(format(msg::kUsageTwoOnStandardOutput, "--labels -", "--cue -"));
  if (ExportsToStandardOutput(o) && o.json)
    throw UsageError(format(msg::kUsageTwoOnStandardOutput, "--json", o.labels == kStandardOutput ? "--labels -" : "--cue -"));
  if (!o.labels.empty() && !o.cue.empty() && o.labels != kStandardOutput && o.cue != kStandardOutput &&
      (o.labels == o.cue || SameFile(o.labels, o.cue) ||
       (fs::path(o.labels).filename() == fs::path(o.cue).filename() &&
        SameFile(folderOf(o.labels), folderOf(o.cue)))))
    throw UsageError(format(msg::kUsageSameExportFile, o.cue));
}

void CheckExports(const CutReportOptions& o, const CutSettings& s) {
  if (!o.labels.empty()) checkExport(o.labels, s);
  if (!o.cue.empty()) {
    checkExport(o.cue, s);
    if (!cueCanHold(s.source)) refuse(msg::kCueCannotName);
  }
}

void WriteExports(const CutReportOptions& o, const CutSettings& s, const CutResult& r) {
  // The pieces are there now: a name that became one of them is refused still.
  CheckExports(o, s);
  for (const std::string& name : r.names)
    for (const std::string* path : {&o.labels, &o.cue})
      if (!path->empty() && *path != kStandardOutput && SameFile(*path, s.saveFolder + "/" + name))
        refuse(format(msg::kExportIsRunFile, *path));
  if (!o.labels.empty()) writeWhole(o.labels, LabelText(r, s.format));
  if (!o.cue.empty()) writeWhole(o.cue, cueText(s.source, r, s.format));
}

}  // namespace mv::cli
