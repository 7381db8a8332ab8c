// morvane-cli-record: the record command of morvane-cli, which hands it
// over to this program with its arguments unchanged.

#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/console_host.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/record.h"
#include "wave/errors.h"

int main(int argc, char** argv) {
  using namespace mv::cli;
  KeepStandardStreamsOpen();
  CLI::App app{"Morvane: a timed recording", "morvane-cli"};
  app.require_subcommand(1);
  RecordOptions o;
  AddRecordCommand(app, o);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kDone : kUsage;
  }
  InstallCancelHandler();
  try {
    return RunRecord(o, argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "morvane-cli: %s\n", e.what());
    return kUsage;
  } catch (const mv::Error& e) {
    PrintMessage(e.shownText());
    return kRefused;
  }
}
