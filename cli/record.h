#pragma once
// morvane-cli record: a timed recording from the default sound input.

#include <CLI/CLI.hpp>

#include <string>

#include "cli/options.h"
#include "record/wave_device.h"
#include "wave/paths.h"

namespace mv::cli {

struct RecordOptions {
  std::string out;              // folder of morvntmp.wav
  std::string length = "0:00:10";
  std::string format;           // default: the first label the input offers
  bool yes = false;
};

// The record command's options, the same in morvane-cli (for --help and
// checking) and in morvane-cli-record, which does the recording: only that
// program links Qt Multimedia, so the other commands stay small.
inline CLI::App* AddRecordCommand(CLI::App& app, RecordOptions& o) {
  auto* cmd = app.add_subcommand("record", "a timed recording into DIR/morvntmp.wav");
  cmd->add_option("--out", o.out, "folder of the recording")
      ->required()
      ->check(NotEmpty([](const std::string& folder) {
        CheckNotStandardStream(FolderText(folder) + "/" + kRecordingFileName);
      }));
  cmd->add_option("--length", o.length, "length H:M:S (default 0:00:10)")
      ->check(NotEmpty(ParseLength));
  cmd->add_option("--format", o.format, "format label (default: the input's first)")
      ->check(NotEmpty(ParseFormatOption));
  cmd->add_flag("--yes", o.yes, "answer Yes to the overwrite question");
  return cmd;
}

int RunRecord(const RecordOptions& o, int argc, char** argv);

}  // namespace mv::cli
