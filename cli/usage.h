#pragma once
// What morvane-cli says about its own command line: the help, fitted to the
// terminal and listing the format labels, and wrong usage in the words of
// the message table.

#include <CLI/CLI.hpp>

#include <string>

namespace mv::cli {

// Before any subcommand is added: they take the help of app.
void SetUpHelp(CLI::App& app);

// The text of a wrong usage that CLI11 found, naming what is wrong.
std::string UsageErrorText(const CLI::App& app, const CLI::ParseError& e, int argc, char** argv);

// Prints the help or version asked for, or the wrong usage on stderr with
// where the help is; the exit status.
int ReportParseError(CLI::App& app, const CLI::ParseError& e, int argc, char** argv);

}  // namespace mv::cli
