#pragma once
// morvane-cli record: a timed recording from the desktop's default sound
// input or a chosen one, cut at once when asked.

#include <CLI/CLI.hpp>

#include <string>

#include "cli/album_options.h"
#include "cli/options.h"
#include "record/wave_device.h"
#include "wave/messages.h"
#include "wave/paths.h"

namespace mv::cli {

struct RecordOptions {
  std::string out;              // folder of morvntmp.wav
  std::string length = "0:00:10";
  std::string format;           // default: 16bit, Stereo, 44.1kHz, else the input's first
  std::string input;            // the input's id; default: the desktop's default input
  bool listInputs = false;
  bool yes = false;
  // The cut right after the recording, at silences.
  bool cut = false;
  std::string cutOut;           // folder of the pieces; default: out
  SilenceCutOptions silence;
  AlbumOptions album;
};

// The record command's options, the same in morvane-cli (for --help and
// checking) and in morvane-cli-record, which does the recording: only that
// program links Qt Multimedia, so the other commands stay small.
inline CLI::App* AddRecordCommand(CLI::App& app, RecordOptions& o) {
  auto* cmd = app.add_subcommand("record", "a timed recording into DIR/morvntmp.wav");
  cmd->add_option("--out", o.out, "folder of the recording")
      ->check(NotEmpty([](const std::string& folder) {
        CheckNotStandardStream(FolderText(folder) + "/" + kRecordingFileName);
      }));
  cmd->add_option("--length", o.length, "length H:M:S, M:S or seconds such as 90s (default 0:00:10)")
      ->check(NotEmpty(ParseLength));
  cmd->add_option("--format", o.format, "format label (default: 16bit, Stereo, 44.1kHz when offered)")
      ->check(NotEmpty(ParseFormatOption));
  cmd->add_option("--input", o.input, "the input to record (--list-inputs names them)")->check(NotEmpty());
  cmd->add_flag("--list-inputs", o.listInputs, "list the inputs, the default marked with *");
  cmd->add_flag("--yes", o.yes, "answer Yes to the overwrite questions");
  cmd->add_flag("--cut", o.cut, "cut the recording at silences when it ends");
  cmd->add_option("--cut-out", o.cutOut, "save folder of the pieces (must exist; default: --out)")
      ->check(NotEmpty());
  AddSilenceCutOptions(*cmd, o.silence, "cut: ");
  AddAlbumOptions(*cmd, o.album, "cut: ");
  cmd->callback([&o, cmd] {
    if (!o.listInputs && o.out.empty()) throw CLI::RequiredError("--out");
    // The cut's options mean nothing without the cut: wrong usage, not ignored.
    if (!o.cut) {
      if (cmd->count("--cut-out") > 0) throw CLI::ValidationError("--cut-out", std::string(msg::kUsageOnlyWithCut));
      for (const char* name : kSilenceCutOptionNames)
        if (cmd->count(name) > 0) throw CLI::ValidationError(name, std::string(msg::kUsageOnlyWithCut));
      for (const char* name : kAlbumOptionNames)
        if (cmd->count(name) > 0) throw CLI::ValidationError(name, std::string(msg::kUsageOnlyWithCut));
    }
  });
  return cmd;
}

int RunRecord(const RecordOptions& o, int argc, char** argv);

}  // namespace mv::cli
