#include "cli/usage.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "cli/console_host.h"
#include "cli/exit_status.h"
#include "wave/errors.h"
#include "wave/format.h"

namespace mv::cli {

namespace {

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

// text in lines of at most width cells, the lines after the first indented.
std::string wrapped(const std::string& text, int width, int indent) {
  std::string out, line;
  for (const std::string& word : words(text)) {
    if (!line.empty() && DisplayCells(line) + 1 + DisplayCells(word) > width) {
      out += line + "\n" + std::string(static_cast<std::size_t>(indent), ' ');
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return out + line;
}

class TerminalHelp : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* opt, bool positional) const override {
    return row(make_option_name(opt, positional) + make_option_opts(opt), make_option_desc(opt));
  }
  std::string make_subcommand(const CLI::App* sub) const override {
    return row(sub->get_name(), sub->get_description());
  }
  std::string make_usage(const CLI::App* app, std::string name) const override {
    std::string usage = CLI::Formatter::make_usage(app, std::move(name));
    while (!usage.empty() && usage.back() == '\n') usage.pop_back();
    return wrapped(usage, columns(), 4) + "\n";
  }
  std::string make_description(const CLI::App* app) const override {
    const std::string d = app->get_description();
    return d.empty() ? d : wrapped(d, columns(), 0) + "\n";
  }
  // The labels --format takes, as many a line as fit.
  std::string make_footer(const CLI::App* app) const override {
    if (!app->get_option_no_throw("--format")) return {};
    std::size_t longest = 0;
    for (std::string_view label : kCutLabels) longest = std::max(longest, label.size());
    const std::size_t cell = longest + 2;
    const std::size_t across = std::max<std::size_t>(1, (static_cast<std::size_t>(columns()) - 2) / cell);
    std::string out = "Format labels (--format):\n";
    for (std::size_t i = 0; i < kCutLabels.size(); ++i) {
      std::string label(kCutLabels[i]);
      const bool last = (i + 1) % across == 0 || i + 1 == kCutLabels.size();
      if (!last) label.resize(cell, ' ');
      out += (i % across == 0 ? "  " : "") + label + (last ? "\n" : "");
    }
    return out + "  " + wrapped("Beyond these, the same form with 8, 16, 24 or 32bit, \"32bit float\" or \"64bit float\", "
                         "and a rate of 8 to 384 kHz: \"24bit, Stereo, 96kHz\", \"16bit, Mono, 22000Hz\".",
                                columns() - 2, 2) +
           "\n";
  }

 private:
  static int columns() { return TerminalColumns(STDOUT_FILENO) - 1; }
  // "  NAME   description", the description wrapped in its column; on a
  // narrow terminal it goes under the name.
  std::string row(const std::string& name, const std::string& description) const {
    std::string out = "  " + name;
    if (description.empty()) return out + "\n";
    const int width = columns();
    int column = static_cast<int>(column_width_);
    if (width - column < 24) column = 6;
    if (static_cast<int>(out.size()) >= column || column == 6)
      out += "\n" + std::string(static_cast<std::size_t>(column), ' ');
    else
      out.resize(static_cast<std::size_t>(column), ' ');
    return out + wrapped(description, std::max(1, width - column), column) + "\n";
  }
};

// The first word before "--" that looks like an option but is none of the
// command's or its subcommand's; the value an option takes is no such word.
std::optional<std::string> unknownOption(const CLI::App& app, int argc, char** argv) {
  std::vector<const CLI::App*> apps = {&app};
  for (const CLI::App* sub : app.get_subcommands()) apps.push_back(sub);
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (word.size() < 2 || word[0] != '-') continue;
    const std::string name = word.substr(0, word.find('='));
    const CLI::Option* known = nullptr;
    for (const CLI::App* a : apps)
      if (!known) known = a->get_option_no_throw(name);
    if (!known) return word;
    if (known->get_items_expected_min() > 0 && word.find('=') == std::string::npos) ++i;
  }
  return std::nullopt;
}

// The word is given after "--", where nothing is an option.
bool afterDashes(const std::string& word, int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--") {
      for (int j = i + 1; j < argc; ++j)
        if (word == argv[j]) return true;
      return false;
    }
  return false;
}

}  // namespace

void SetUpHelp(CLI::App& app) { app.formatter(std::make_shared<TerminalHelp>()); }

std::string UsageErrorText(const CLI::App& app, const CLI::ParseError& e, int argc, char** argv) {
  const std::string what = e.what();
  const std::size_t colon = what.find(": ");
  if (dynamic_cast<const CLI::RequiredError*>(&e)) {
    if (what.rfind("A subcommand", 0) == 0) {
      // The first word that is neither a subcommand nor --help or --version.
      for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h" || word == "--version") continue;
        const auto named = [&word](const CLI::App* sub) { return sub->check_name(word); };
        if (!app.get_subcommands(std::function<bool(const CLI::App*)>(named)).empty()) continue;
        if (word[0] == '-') return format(msg::kUsageUnknownOption, word);
        return format(msg::kUsageUnknownCommand, word);
      }
      return std::string(msg::kUsageNoCommand);
    }
    // A misspelt option leaves what it meant missing: the misspelling first.
    if (const auto word = unknownOption(app, argc, argv)) return format(msg::kUsageUnknownOption, *word);
    if (const std::size_t end = what.rfind(" is required"); end != std::string::npos)
      return format(msg::kUsageRequired, what.substr(0, end));
  } else if (dynamic_cast<const CLI::ExtrasError*>(&e) && colon != std::string::npos) {
    // Listed last first.
    std::vector<std::string> extras = words(what.substr(colon + 2));
    std::reverse(extras.begin(), extras.end());
    if (!extras.empty() && extras.front()[0] == '-' && !afterDashes(extras.front(), argc, argv))
      return format(msg::kUsageUnknownOption, extras.front());
    std::string all;
    for (const std::string& word : extras) all += (all.empty() ? "" : " ") + word;
    return format(msg::kUsageExtraArguments, all);
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) && colon != std::string::npos &&
             what.size() > 8 && what.compare(what.size() - 8, 8, " missing") == 0) {
    return format(msg::kUsageMissingValue, what.substr(0, colon));
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) && colon != std::string::npos &&
             what.find("At Most") != std::string::npos) {
    return format(msg::kUsageGivenTwice, what.substr(0, colon));
  } else if (const std::size_t is = what.find(" = "); dynamic_cast<const CLI::ConversionError*>(&e) &&
                                                       colon != std::string::npos && is != std::string::npos) {
    return format(msg::kUsageBadValue, what.substr(colon + 2, is - colon - 2), what.substr(is + 3));
  } else if (dynamic_cast<const CLI::ValidationError*>(&e)) {
    return what;  // the option's name and the check's own text
  }
  return format(msg::kUsageOther, what);
}

int ReportParseError(CLI::App& app, const CLI::ParseError& e, int argc, char** argv) {
  if (e.get_exit_code() == 0) {  // --help, --version
    app.exit(e);
    return kDone;
  }
  std::string command = "morvane-cli";
  for (const CLI::App* sub : app.get_subcommands()) command += " " + sub->get_name();
  std::fprintf(stderr, "morvane-cli: %s\n%s\n", UsageErrorText(app, e, argc, argv).c_str(),
               format(msg::kUsageSeeHelp, command).c_str());
  return kUsage;
}

}  // namespace mv::cli
