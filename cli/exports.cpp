#include "cli/exports.h"

#include <sys/stat.h>

#include <filesystem>

#include "cli/options.h"
#include "cut/list_files.h"
#include "wave/encoded.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/paths.h"

namespace mv::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* kStandardOutput = "-";

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

void checkExport(const std::string& path, const CutSettings& s) {
  if (path == kStandardOutput) return;
  if (SameFile(path, s.source) || isPieceOf(path, s.saveFolder)) refuse(format(msg::kExportIsRunFile, path));
  if (holdsAudio(path)) refuse(format(msg::kExportIsAudio, path));
  if (WrittenInPlace(path)) return;
  struct stat st{};
  if ((::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) || !IsWritableFolder(folderOf(path)))
    raise(msg::kCannotCreate, path);
}

}  // namespace

std::string LabelText(const CutResult& r, const PcmFormat& f) {
  std::vector<std::string> labels;
  for (std::size_t n = 1; n <= r.report.pieces.size(); ++n) {
    const std::string name = r.fileName(static_cast<int32_t>(n));
    labels.push_back(name.substr(0, name.size() - r.pieceExtension.size()));
  }
  return mv::LabelText(r.report.pieces, labels, f);
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
    if (!CueCanName(s.source)) refuse(msg::kCueCannotName);
  }
}

void WriteExports(const CutReportOptions& o, const CutSettings& s, const CutResult& r) {
  // The pieces are there now: a name that became one of them is refused still.
  CheckExports(o, s);
  for (const std::string& name : r.names)
    for (const std::string* path : {&o.labels, &o.cue})
      if (!path->empty() && *path != kStandardOutput && SameFile(*path, s.saveFolder + "/" + name))
        refuse(format(msg::kExportIsRunFile, *path));
  if (!o.labels.empty()) WriteWhole(o.labels, LabelText(r, s.format));
  if (!o.cue.empty()) WriteWhole(o.cue, CueText(s.source, r.report.pieces, r.tags, s.format));
}

}  // namespace mv::cli
