#pragma once
// The command line's progress window: a bar on stderr when it is a terminal,
// Ctrl-C, SIGTERM and SIGHUP as the cancel button, questions answered by
// --yes.

#include <string>

#include "wave/job.h"

namespace mv::cli {

// Installs the handlers of SIGINT, SIGTERM and SIGHUP, whose flag is the
// cancel request, and ignores SIGPIPE and SIGXFSZ: a closed standard output
// does not stop a job, and a file-size limit ends it through its write error.
void InstallCancelHandler();
bool CancelWasPressed();
// Holds the three back (or lets them through again), so that one sent while
// another program takes over this process waits for its handler instead of
// ending it.
void HoldCancelSignals(bool hold);
// The exit status of a cancelled run: 128 + the first signal received.
int CancelledStatus();

// Opens /dev/null on a closed standard stream, so that no output file takes
// its number and gets messages written into it.
void KeepStandardStreamsOpen();

// The columns of the terminal on fd; else $COLUMNS, else 80.
int TerminalColumns(int fd);
// The cells text takes on a terminal: a wide (East Asian) character two,
// a combining mark none, any other one.
int DisplayCells(std::string_view text);
// The longest start of text, in whole characters, that takes at most cells.
std::string FitCells(std::string_view text, int cells);

class ConsoleHost : public JobHost {
 public:
  // Pieces are listed by their names in the save folder; a join's output by
  // the name it was given.
  // listFiles false: the files are told elsewhere (a report).
  ConsoleHost(bool yes, bool baseNames, bool listFiles = true)
      : yes_(yes), baseNames_(baseNames), listFiles_(listFiles) {}

  bool ask(const Message& question) override;
  void inform(const Message& message) override;
  void begin() override;
  void end() override;
  void status(std::string_view text) override;
  void progress(int percent) override;
  bool cancelRequested() override { return CancelWasPressed(); }
  void fileWritten(const std::string& path, int64_t size) override;

 private:
  void draw();

  bool yes_;
  bool baseNames_;
  bool listFiles_;
  bool tty_ = false;
  bool running_ = false;
  int percent_ = 0;
  std::string status_;
  std::string drawn_;  // the line the terminal shows, empty for none
};

// Prints a system message on stderr, on a line of its own.
void PrintMessage(std::string_view text);

}  // namespace mv::cli
