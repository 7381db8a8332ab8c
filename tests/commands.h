#pragma once
// morvane-cli run from the tests as a script runs it: where it is, the shell's
// quoting, and what a run printed and ended with. No test framework here.

#include <string>
#include <vector>

namespace mv::test {

// The program under test: $MORVANE_CLI, else morvane-cli on the PATH.
std::string CliPath();
// One word for the shell, in single quotes.
std::string Quote(const std::string& word);

struct Outcome {
  int status = -1;  // the exit status, or minus the signal that ended it
  std::string out, err;
};
// The status of a wait status as Outcome keeps it.
int StatusOf(int raw);
// morvane-cli through the shell, its input /dev/null, its output and errors
// kept in files in logs; redirect (e.g. ">>FILE") comes after them and so
// wins over them.
Outcome RunCli(const std::vector<std::string>& args, const std::string& logs, const std::string& redirect = "");

}  // namespace mv::test
