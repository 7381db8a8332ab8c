// morvane-cli: cut, split, join, info, measure; the window's engines with the
// settings taken from options.

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "cli/options.h"
#include "cli/record.h"
#include "cut/cut.h"
#include "join/join.h"
#include "record/analysis.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/format.h"
#include "wave/header.h"

namespace mv::cli {
namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;
constexpr int kCancelled = 130;

struct CutOptions {
  std::string source, out, format, length = "0:01:00", zero;
  int32_t threshold = 100;
  int32_t run = 132300;
  bool deleteSource = false, yes = false;
};

struct JoinOptions {
  std::vector<std::string> sources;
  std::string out, format;
  bool deleteSources = false, yes = false;
};

struct FileOptions {
  std::string file, format;
};

// The cut page's source intake: a WAVE file's own format, else the default.
int intakePosition(const std::string& source) {
  return IsWaveFileName(source) ? ReadWaveFormat(source) : kDefaultFormatPosition;
}

int runCut(const CutOptions& o, bool silence) {
  CutSettings s;
  s.source = o.source;
  s.saveFolder = o.out;
  s.silenceMode = silence;
  s.threshold = o.threshold;
  s.runLength = o.run;
  s.deleteSource = o.deleteSource;
  if (!silence) {
    const Length len = ParseLength(o.length, 215);
    s.hours = len.hours;
    s.minutes = len.minutes;
    s.seconds = len.seconds;
  }
  std::optional<int> chosen;
  if (!o.format.empty()) chosen = ParseFormatOption(o.format);
  if (silence && !o.zero.empty()) {
    const ZeroOption z = ParseZero(o.zero);
    s.correct = true;
    s.zeroLeft = z.left;
    s.zeroRight = z.right;
  }
  s.formatLabel = kCutLabels[intakePosition(o.source)];
  if (chosen) s.formatLabel = kCutLabels[*chosen];

  ConsoleHost host(o.yes, true);
  switch (RunCut(s, host).end) {
    case CutEnd::Complete: return kDone;
    case CutEnd::Cancelled: return kCancelled;
    default: return kRefused;
  }
}

// The join list of the command line: its sources in order and the selector.
class ListIntake : public JoinIntake {
 public:
  explicit ListIntake(bool yes) : yes_(yes) {}
  int formatPosition() const override { return position_; }
  void setFormatPosition(int p) override { position_ = p; }
  void append(const std::string& name) override { entries_.push_back(name); }
  bool ask(const Message& question) override {
    PrintMessage(question.text);
    return yes_;
  }
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  bool yes_;
  int position_ = kDefaultFormatPosition;
  std::vector<std::string> entries_;
};

int runJoin(const JoinOptions& o) {
  std::optional<int> chosen;
  if (!o.format.empty()) chosen = ParseFormatOption(o.format);
  ListIntake list(o.yes);
  if (AddJoinFiles(o.sources, list) == IntakeEnd::Declined) return kRefused;

  JoinSettings s;
  s.sources = list.entries();
  s.output = o.out;
  s.formatLabel = kJoinLabels[chosen.value_or(list.formatPosition())];
  s.deleteSources = o.deleteSources;
  ConsoleHost host(o.yes, false);
  switch (RunJoin(s, host).end) {
    case JoinEnd::Complete: return kDone;
    case JoinEnd::Cancelled: return kCancelled;
    default: return kRefused;
  }
}

int runInfo(const FileOptions& o) {
  const int position = ReadWaveFormat(o.file);
  std::printf("position: %d\nlabel: %s\n", position, std::string(kCutLabels[position]).c_str());
  return kDone;
}

int runMeasure(const FileOptions& o) {
  const std::string label = o.format.empty() ? std::string(kCutLabels[ReadWaveFormat(o.file)])
                                             : std::string(kCutLabels[ParseFormatOption(o.format)]);
  const PcmFormat f = ParseFormatLabel(label);
  File in = File::openRead(o.file);
  // The samples of a WAVE file start where the cut and the join find them.
  const int64_t start = IsWaveFileName(o.file) ? LocateWaveData(in).offset : kHeaderSize;
  const CorrectionValues v = AnalyseInput(in, start, f.channels, f.bitsPerSample);
  std::printf("zero-point: %d %d\n", v.zero[0], v.zero[1]);
  std::printf("maximum: %d %d\n", v.maximum[0], v.maximum[1]);
  std::printf("minimum: %d %d\n", v.minimum[0], v.minimum[1]);
  if (v.frames > 0) std::printf("threshold: %d\n", v.threshold());
  return kDone;
}

// The recording program beside this one does the record command.
int execRecorder(char** argv) {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv[0]);
  path = path.substr(0, path.rfind('/') + 1) + "morvane-cli-record";
  ::execv(path.c_str(), argv);
  std::fprintf(stderr, "morvane-cli: recording is not available (%s)\n", path.c_str());
  return kRefused;
}

int run(int argc, char** argv) {
  CLI::App app{"Morvane: cut, split and join PCM WAVE files", "morvane-cli"};
  app.set_version_flag("--version", std::string(msg::kVersion));
  app.require_subcommand(1);

  CutOptions cut, split;
  auto* cutCmd = app.add_subcommand("cut", "cut one file per song at silences");
  cutCmd->add_option("SOURCE", cut.source, "file to cut (.wav, or headerless PCM)")->required();
  cutCmd->add_option("--out", cut.out, "save folder (must exist)")->required();
  cutCmd->add_option("--format", cut.format, "format label, e.g. \"16bit, Mono, 22kHz\"");
  cutCmd->add_option("--threshold", cut.threshold, "silence below this |sample| (default 100)")
      ->check(CLI::Range(0, 65536));
  cutCmd->add_option("--run", cut.run, "silent frames that end a song (default 132300)")
      ->check(CLI::Range(0, 441000));
  cutCmd->add_option("--zero", cut.zero, "correct by the zero points ZL,ZR");
  cutCmd->add_flag("--delete-source", cut.deleteSource, "delete the source after a complete run");
  cutCmd->add_flag("--yes", cut.yes, "answer Yes to the overwrite question");

  auto* splitCmd = app.add_subcommand("split", "cut into pieces of equal length");
  splitCmd->add_option("SOURCE", split.source, "file to cut")->required();
  splitCmd->add_option("--out", split.out, "save folder (must exist)")->required();
  splitCmd->add_option("--length", split.length, "piece length H:M:S (default 0:01:00)");
  splitCmd->add_option("--format", split.format, "format label");
  splitCmd->add_flag("--delete-source", split.deleteSource, "delete the source after a complete run");
  splitCmd->add_flag("--yes", split.yes, "answer Yes to the overwrite question");

  JoinOptions join;
  auto* joinCmd = app.add_subcommand("join", "join files into one");
  joinCmd->add_option("SOURCE", join.sources, "files to join, in order")->required();
  joinCmd->add_option("--out", join.out, "file to make")->required();
  joinCmd->add_option("--format", join.format, "format label of the output");
  joinCmd->add_flag("--delete-sources", join.deleteSources, "delete the sources after the join");
  joinCmd->add_flag("--yes", join.yes, "answer Yes to the format question");

  FileOptions info, measure;
  auto* infoCmd = app.add_subcommand("info", "the format check of a WAVE file");
  infoCmd->add_option("FILE", info.file, "WAVE file")->required();
  auto* measureCmd = app.add_subcommand("measure", "correction values of a recorded file");
  measureCmd->add_option("FILE", measure.file, "recorded file")->required();
  measureCmd->add_option("--format", measure.format, "format label (default: the file's own)");

  RecordOptions record;
  auto* recordCmd = AddRecordCommand(app, record);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kDone : kUsage;
  }

  InstallCancelHandler();
  try {
    if (*cutCmd) {
      if (cut.source.empty()) throw UsageError("SOURCE is empty");
      return runCut(cut, true);
    }
    if (*splitCmd) {
      if (split.source.empty()) throw UsageError("SOURCE is empty");
      return runCut(split, false);
    }
    if (*joinCmd) {
      if (join.out.empty()) throw UsageError("--out is empty");
      return runJoin(join);
    }
    if (*infoCmd) return runInfo(info);
    if (*recordCmd) {
      ParseLength(record.length, 215);
      if (!record.format.empty()) ParseFormatOption(record.format);
      return execRecorder(argv);
    }
    if (*measureCmd) return runMeasure(measure);
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
