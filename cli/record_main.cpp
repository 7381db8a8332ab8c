// morvane-cli-record: the record command of morvane-cli, which hands it
// over to this program with its arguments unchanged.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>

#include "cli/console_host.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/record.h"
#include "cli/usage.h"
#include "wave/errors.h"

int main(int argc, char** argv) {
  using namespace mv::cli;
  InstallCancelHandler();
  KeepStandardStreamsOpen();
  CLI::App app{"Morvane: a timed recording", "morvane-cli"};
  SetUpHelp(app);
  app.require_subcommand(1);
  RecordOptions o;
  AddRecordCommand(app, o);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ReportParseError(app, e, argc, argv);
  }
  int status;
  try {
    status = RunRecord(o, argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "morvane-cli: %s\n", e.what());
    status = kUsage;
  } catch (const mv::Error& e) {
    PrintMessage(e.shownText());
    status = kRefused;
  }
  // Everything of the recording is closed and on the disk by now. Qt 6.4
  // frees its PulseAudio connection among the program's static objects
  // without holding the client library's lock while the library's thread
  // still runs, which now and then aborts inside the library: the process
  // ends here instead, and the server sees the connection close.
  std::fflush(nullptr);
  std::_Exit(status);
}
