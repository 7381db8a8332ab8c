#include "tests/commands.h"

#include <sys/wait.h>

#include <cstdlib>

#include "tests/files.h"

namespace mv::test {

std::string CliPath() {
  const char* cli = std::getenv("MORVANE_CLI");
  return cli ? cli : "morvane-cli";
}

std::string Quote(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

int StatusOf(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw); }

Outcome RunCli(const std::vector<std::string>& args, const std::string& logs, const std::string& redirect) {
  const std::string out = logs + "/.out", err = logs + "/.err";
  std::string cmd = Quote(CliPath());
  for (const auto& a : args) cmd += " " + Quote(a);
  cmd += " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null " + redirect;
  const int raw = std::system(cmd.c_str());
  return {StatusOf(raw), ReadText(out), ReadText(err)};
}

}  // namespace mv::test
