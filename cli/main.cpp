// morvane-cli: cut, split, join, info, measure; the window's engines with the
// settings taken from options.

#include <CLI/CLI.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/album_options.h"
#include "cli/cut_list_options.h"
#include "cli/console_host.h"
#include "cli/cut_report.h"
#include "cli/exit_status.h"
#include "cli/exports.h"
#include "cli/options.h"
#include "cli/record.h"
#include "cli/usage.h"
#include "cut/cut.h"
#include "flac/flac_source.h"
#include "flac/source_check.h"
#include "join/join.h"
#include "record/analysis.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/format.h"
#include "wave/header.h"
#include "wave/layout.h"
#include "wave/paths.h"

namespace mv::cli {
namespace {

struct CutOptions {
  std::string source, out, format, length = "0:01:00";
  SilenceCutOptions silence;  // the defaults for split
  AlbumOptions album;
  CutListOptions cuts;  // cut only
  bool deleteSource = false, yes = false, dryRun = false;
  CutReportOptions report;
};

struct JoinOptions {
  std::vector<std::string> sources;
  std::string out, format;
  bool deleteSources = false, yes = false, allowMixed = false;
};

struct FileOptions {
  std::string file, format;
};

// The cut page's source intake: a WAVE file's own format, else the default.
PcmFormat intakeFormat(const std::string& source) {
  if (const auto checked = CheckSourceFormat(source)) return checked->format;
  return ParseFormatLabel(kCutLabels[kDefaultFormatPosition]);
}

int runCut(const CutOptions& o, CutMode mode) {
  CheckExportUsage(o.report);
  CutSettings s;
  s.source = o.source;
  s.saveFolder = o.out;
  s.mode = mode;
  s.deleteSource = o.deleteSource;
  s.dryRun = o.dryRun;
  if (mode == CutMode::EqualLengths) s.pieceLength = ParseLength(o.length);
  std::optional<PcmFormat> chosen;
  if (!o.format.empty()) chosen = ParseFormatOption(o.format).format;
  s.format = chosen ? *chosen : intakeFormat(o.source);
  o.silence.applyTo(s);
  const std::optional<TrackList> tracks = o.album.applyTo(s);
  o.cuts.applyTo(s, o.album);

  CheckStreamsSpare({s.source}, s.saveFolder);
  // Label and cue files are written by the run, before it may delete the
  // source; names they must not take are refused before it starts.
  CheckExports(o.report, s);
  s.onComplete = [&o, &s](const CutResult& r) { WriteExports(o.report, s, r); };

  // With --json, in a dry run, or with an export on stdout, the files are
  // told in the report instead.
  const bool exportOnStdout = ExportsToStandardOutput(o.report);
  ConsoleHost host(o.yes, true, !o.report.json && !o.dryRun && !exportOnStdout);
  const CutResult r = RunCut(s, host);
  if (r.end == CutEnd::Cancelled) return CancelledStatus();
  if (r.end != CutEnd::Complete) return kRefused;
  if (o.report.json)
    PrintJson(s, r, !o.dryRun);
  else if (o.dryRun && !exportOnStdout)
    PrintPieceLines(r, s.format);
  if (s.mode == CutMode::AtSilences) PrintSummary(s, r);
  if (tracks) WarnLengths(*tracks, s, r);
  // The window leaves a source it could not delete in silence; a script
  // must not take it for gone.
  if (s.deleteSource && !s.dryRun && !r.sourceDeleted) {
    PrintMessage(format(msg::kCannotDelete, s.source));
    return kRefused;
  }
  return kDone;
}

// The join list of the command line: its sources in order and the selector.
// Its one question, the differing format, is answered by --allow-mixed-formats.
class ListIntake : public JoinIntake {
 public:
  explicit ListIntake(bool allowMixed) : allowMixed_(allowMixed) {}
  int formatPosition() const override { return position_; }
  void setFormatPosition(int p) override {
    position_ = p;
    extended_.reset();
  }
  std::optional<PcmFormat> extendedFormat() const override { return extended_; }
  void setExtendedFormat(const PcmFormat& f) override {
    position_ = kExtendedPosition;
    extended_ = f;
  }
  PcmFormat chosenFormat() const { return extended_ ? *extended_ : ParseFormatLabel(kJoinLabels[position_]); }
  void append(const std::string& name) override { entries_.push_back(name); }
  bool ask(const Message& question) override {
    PrintMessage(question.text);
    if (!allowMixed_) PrintMessage(format(msg::kDeclinedWithoutOption, "--allow-mixed-formats"));
    return allowMixed_;
  }
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  bool allowMixed_;
  int position_ = kDefaultFormatPosition;
  std::optional<PcmFormat> extended_;
  std::vector<std::string> entries_;
};

bool isRegularFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int runJoin(const JoinOptions& o) {
  std::optional<PcmFormat> chosen;
  if (!o.format.empty()) chosen = ParseFormatOption(o.format).format;
  ListIntake list(o.allowMixed);
  if (AddJoinFiles(o.sources, list) == IntakeEnd::Declined) return kRefused;

  // An existing output is the save dialog's overwrite question; the join's
  // refusal of an output among the sources comes first, as it would without
  // the question.
  ConsoleHost host(o.yes, false);
  CheckStreamsSpare(list.entries());
  for (const std::string& source : list.entries())
    if (SameFile(o.out, source)) refuse(msg::kJoinOutputIsSource);
  if (HeldByAnotherRun(o.out)) refuse(msg::kOutputInUse);
  if (isRegularFile(o.out) && !host.ask({msg::kOverwritePieces, msg::kOverwriteCaption, Icon::None}))
    return kRefused;

  JoinSettings s;
  s.sources = list.entries();
  s.output = o.out;
  s.format = chosen ? *chosen : list.chosenFormat();
  s.deleteSources = o.deleteSources;
  const JoinResult r = RunJoin(s, host);
  switch (r.end) {
    case JoinEnd::Complete:
      // The window leaves a source it could not delete in silence; a script
      // must not take it for gone.
      for (const std::string& source : r.notDeleted) PrintMessage(format(msg::kCannotDelete, source));
      return r.notDeleted.empty() ? kDone : kRefused;
    case JoinEnd::Cancelled: return CancelledStatus();
    default: return kRefused;
  }
}

int runInfo(const FileOptions& o) {
  File in = File::openRead(o.file);
  const CheckedFormat checked = IsFlacFile(o.file) ? *CheckSourceFormat(o.file) : CheckWaveFormat(in);
  std::printf("position: %d\nlabel: %s\n", checked.position, FormatLabel(checked.format).c_str());
  return kDone;
}

int printMeasurement(const CorrectionValues& v);

int runMeasure(const FileOptions& o) {
  File in = File::openRead(o.file);
  if (IsFlacFile(o.file)) {
    // Its decoded samples, in its own format.
    const auto decoded = FlacSource::open(o.file);
    const PcmFormat& f = decoded->info().format;
    return printMeasurement(AnalyseInput(*decoded, 0, f.channels, f.bitsPerSample, f.kind));
  }
  const PcmFormat f = o.format.empty() ? CheckWaveFormat(in).format : ParseFormatOption(o.format).format;
  int64_t start = kHeaderSize, end = -1;
  if (IsListedFormat(f) && !IsLongWave(in)) {
    // Refused like a cut's source: 32-bit sizes cannot reach 2 GiB.
    narrow<int32_t>(in.size());
    // The samples of a WAVE file start where the cut and the join find them.
    if (IsWaveFileName(o.file)) start = LocateWaveData(in).offset;
  } else if (IsWaveFileName(o.file)) {
    const WaveLayout w = ReadWaveLayout(in);
    start = w.dataOffset;
    end = w.dataOffset + w.dataBytes;
  }
  return printMeasurement(AnalyseInput(in, start, f.channels, f.bitsPerSample, f.kind, end));
}

int printMeasurement(const CorrectionValues& v) {
  std::printf("zero-point: %d %d\n", v.zero[0], v.zero[1]);
  std::printf("maximum: %d %d\n", v.maximum[0], v.maximum[1]);
  std::printf("minimum: %d %d\n", v.minimum[0], v.minimum[1]);
  if (v.frames > 0) std::printf("threshold: %d\n", v.threshold());
  return kDone;
}

// The recording program does the record command: installed in its own
// folder, reached from this one's; in the build tree beside this one.
int execRecorder(char** argv) {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv[0]);
  path = path.substr(0, path.rfind('/') + 1);
  const std::string installed = path + MORVANE_RECORDER_FROM_BINDIR "/morvane-cli-record";
  path = ::access(installed.c_str(), X_OK) == 0 ? installed : path + "morvane-cli-record";
  // Its handlers come only once it runs; until then a signal waits.
  HoldCancelSignals(true);
  if (CancelWasPressed()) return CancelledStatus();
  ::execv(path.c_str(), argv);
  HoldCancelSignals(false);
  std::fprintf(stderr, "morvane-cli: recording is not available (%s)\n", path.c_str());
  return kRefused;
}

// "-" is the standard output itself; any other name of it would mix the
// export with the report.
void CheckExportName(const std::string& path) {
  if (path != "-") CheckNotStandardStream(path);
}

// The dry run and the reports; label and cue files for the cut at silences.
void AddReportOptions(CLI::App& cmd, CutOptions& o, bool exports) {
  cmd.add_flag("--dry-run", o.dryRun, "every check and the whole scan; list the files, write nothing");
  cmd.add_flag("--json", o.report.json, "print one JSON object instead of the lines");
  if (!exports) return;
  cmd.add_option("--labels", o.report.labels, "write a label file of the pieces (- : standard output)")
      ->check(NotEmpty(CheckExportName));
  cmd.add_option("--cue", o.report.cue, "write a cue sheet of the pieces (- : standard output)")
      ->check(NotEmpty(CheckExportName));
}

// What cut and split share; the mode's own options (the format among them)
// come between the save folder and the deletion.
CLI::App* AddCuttingCommand(CLI::App& app, CutOptions& o, const std::string& name, const std::string& description,
                            const std::string& sourceHelp, bool exports,
                            const std::function<void(CLI::App&)>& addOwnOptions) {
  auto* cmd = app.add_subcommand(name, description);
  cmd->add_option("SOURCE", o.source, sourceHelp)->required()->check(NotEmpty());
  cmd->add_option("--out", o.out, "save folder (must exist)")->required()->check(NotEmpty());
  addOwnOptions(*cmd);
  AddAlbumOptions(*cmd, o.album);
  cmd->add_flag("--delete-source", o.deleteSource, "delete the source after a complete run");
  cmd->add_flag("--yes", o.yes, "answer Yes to the overwrite question");
  AddReportOptions(*cmd, o, exports);
  return cmd;
}

CLI::App* AddCutCommand(CLI::App& app, CutOptions& o) {
  return AddCuttingCommand(app, o, "cut", "cut one file per song at silences", "file to cut (.wav, or headerless PCM)",
                           true, [&o](CLI::App& cmd) {
    cmd.add_option("--format", o.format, "format label, e.g. \"16bit, Mono, 22kHz\"")
        ->check(NotEmpty(ParseFormatOption));
    AddSilenceCutOptions(cmd, o.silence);
    cmd.add_option("--songs", o.silence.songs, "cut at the N-1 longest quiet runs instead of at every long one")
        ->check(NotEmpty(ParseSongs));
    AddCutListOptions(cmd, o.cuts);
  });
}

CLI::App* AddSplitCommand(CLI::App& app, CutOptions& o) {
  return AddCuttingCommand(app, o, "split", "cut into pieces of equal length", "file to cut", false,
                           [&o](CLI::App& cmd) {
    cmd.add_option("--length", o.length, "piece length H:M:S, M:S or seconds such as 90s (default 0:01:00)")
        ->check(NotEmpty(ParseLength));
    cmd.add_option("--format", o.format, "format label")->check(NotEmpty(ParseFormatOption));
  });
}

CLI::App* AddJoinCommand(CLI::App& app, JoinOptions& o) {
  auto* cmd = app.add_subcommand("join", "join files into one");
  cmd->add_option("SOURCE", o.sources, "files to join, in order")->required()->check(NotEmpty());
  cmd->add_option("--out", o.out, "file to make")
      ->required()
      ->check(NotEmpty(CheckNotStandardStream));
  cmd->add_option("--format", o.format, "format label of the output")
      ->check(NotEmpty(ParseFormatOption));
  cmd->add_flag("--delete-sources", o.deleteSources, "delete the sources after the join");
  cmd->add_flag("--yes", o.yes, "answer Yes to the overwrite question");
  cmd->add_flag("--allow-mixed-formats", o.allowMixed,
                "answer Yes to the question about a source of another format");
  return cmd;
}

CLI::App* AddInfoCommand(CLI::App& app, FileOptions& o) {
  auto* cmd = app.add_subcommand("info", "the format check of a WAVE file");
  cmd->add_option("FILE", o.file, "WAVE file")->required();
  return cmd;
}

CLI::App* AddMeasureCommand(CLI::App& app, FileOptions& o) {
  auto* cmd = app.add_subcommand("measure", "correction values of a recorded file");
  cmd->add_option("FILE", o.file, "recorded file")->required();
  cmd->add_option("--format", o.format, "format label (default: the file's own)")
      ->check(NotEmpty(ParseFormatOption));
  return cmd;
}

int run(int argc, char** argv) {
  KeepStandardStreamsOpen();
  CLI::App app{"Morvane: cut, split and join PCM WAVE files", "morvane-cli"};
  SetUpHelp(app);
  app.set_version_flag("--version", std::string(msg::kVersion));
  app.require_subcommand(1);

  CutOptions cut, split;
  JoinOptions join;
  FileOptions info, measure;
  RecordOptions record;
  const std::vector<std::pair<CLI::App*, std::function<int()>>> commands = {
      {AddCutCommand(app, cut), [&] { return runCut(cut, CutMode::AtSilences); }},
      {AddSplitCommand(app, split), [&] { return runCut(split, CutMode::EqualLengths); }},
      {AddJoinCommand(app, join), [&] { return runJoin(join); }},
      {AddInfoCommand(app, info), [&] { return runInfo(info); }},
      {AddMeasureCommand(app, measure), [&] { return runMeasure(measure); }},
      // Its options are checked here too, so that --help and wrong usage
      // answer without starting the recorder.
      {AddRecordCommand(app, record), [&] { return execRecorder(argv); }},
  };

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ReportParseError(app, e, argc, argv);
  }

  InstallCancelHandler();
  try {
    for (const auto& [cmd, runCommand] : commands)
      if (*cmd) return runCommand();
  } catch (const UsageError& e) {
    std::fprintf(stderr, "morvane-cli: %s\n", e.what());
    return kUsage;
  } catch (const Error& e) {
    PrintMessage(e.shownText());
    return kRefused;
  }
  return kUsage;
}

}  // namespace
}  // namespace mv::cli

int main(int argc, char** argv) { return mv::cli::run(argc, argv); }
