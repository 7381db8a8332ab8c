// The message table's structure: every entry of wave/messages.h is used by
// the program, and every use fills exactly the blanks ("%s") its text holds.
// The tests name the texts through the table; only the few texts that
// scripts match on are written out here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "wave/errors.h"  // and the table

namespace mv {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The code with its comments and the insides of its literals blanked out,
// line breaks kept: what is left are names, quotes and punctuation.
std::string CodeOnly(const std::string& text) {
  std::string code = text;
  enum { Code, Line, Block, String, Char } state = Code;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char ch = text[i], next = i + 1 < text.size() ? text[i + 1] : '\0';
    switch (state) {
      case Code:
        if (ch == '/' && next == '/')
          state = Line;
        else if (ch == '/' && next == '*')
          state = Block;
        else if (ch == '"')
          state = String;
        else if (ch == '\'')
          state = Char;
        if (state == Line || state == Block) code[i] = ' ';
        continue;
      case Line:
        if (ch == '\n') state = Code;
        break;
      case Block:
        if (ch == '*' && next == '/') {
          code[i++] = ' ';
          state = Code;
        }
        break;
      case String:
      case Char:
        if (ch == '\\') {
          code[i++] = ' ';
        } else if (ch == (state == String ? '"' : '\'')) {
          state = Code;
          continue;
        }
        break;
    }
    if (code[i] != '\n') code[i] = ' ';
  }
  return code;
}

struct Entry {
  std::string name, text;
};

// The entries as the header defines them, each text's literals joined.
std::vector<Entry> TableEntries() {
  const std::string header = ReadText(MORVANE_MESSAGES_H), code = CodeOnly(header);
  const std::string_view entry = "inline constexpr std::string_view ";
  std::vector<Entry> entries;
  for (std::size_t at = code.find(entry); at != std::string::npos; at = code.find(entry, at)) {
    at += entry.size();
    const std::size_t nameEnd = code.find_first_of(" =", at), end = code.find(';', nameEnd);
    Entry e{code.substr(at, nameEnd - at), {}};
    // A literal's text is where the blanked code has spaces between quotes.
    for (std::size_t open = code.find('"', nameEnd); open < end; open = code.find('"', open)) {
      const std::size_t close = code.find('"', open + 1);
      for (std::size_t i = open + 1; i < close; ++i) {
        if (header[i] == '\\') ++i;
        e.text += header[i];
      }
      open = close + 1;
    }
    entries.push_back(e);
  }
  return entries;
}

struct Blanks {
  int count = 0;
  bool othersFound = false;  // "%" followed by anything but "s": format leaves it as it is
};

Blanks BlanksOf(std::string_view text) {
  Blanks b;
  for (std::size_t at = text.find('%'); at != std::string_view::npos; at = text.find('%', at + 1)) {
    if (at + 1 < text.size() && text[at + 1] == 's') {
      ++b.count;
      ++at;
    } else {
      b.othersFound = true;
    }
  }
  return b;
}

struct Use {
  std::string where;  // file:line
  int filled;         // blanks the use fills
};

// The function called with the "(" just before at, if it is a call.
std::string CalleeBefore(const std::string& code, std::size_t at) {
  while (at > 0 && std::isspace(static_cast<unsigned char>(code[at - 1]))) --at;
  if (at == 0 || code[at - 1] != '(') return {};
  --at;
  while (at > 0 && std::isspace(static_cast<unsigned char>(code[at - 1]))) --at;
  std::size_t start = at;
  while (start > 0 && (std::isalnum(static_cast<unsigned char>(code[start - 1])) || code[start - 1] == '_')) --start;
  return code.substr(start, at - start);
}

// The arguments after the first one of the call that at is in.
int FurtherArguments(const std::string& code, std::size_t at) {
  int depth = 0, commas = 0;
  for (; at < code.size(); ++at) {
    const char ch = code[at];
    if (ch == '(' || ch == '[' || ch == '{')
      ++depth;
    else if ((ch == ')' || ch == ']' || ch == '}') && depth-- == 0)
      break;
    else if (ch == ',' && depth == 0)
      ++commas;
  }
  return commas;
}

// Every use of every table entry in the program's sources. A text named
// first in a call of format or raise has its blanks filled there, one an
// argument after it; anywhere else a text is shown as it stands.
std::map<std::string, std::vector<Use>> UsesInSources() {
  std::map<std::string, std::vector<Use>> uses;
  const fs::path root = MORVANE_SOURCE_DIR;
  for (const char* folder : {"wave", "flac", "cut", "join", "album", "cutlist", "record", "play", "app", "cli"}) {
    for (const auto& file : fs::recursive_directory_iterator(root / folder)) {
      const std::string ext = file.path().extension().string();
      if ((ext != ".cpp" && ext != ".h" && ext != ".inc") || fs::equivalent(file.path(), MORVANE_MESSAGES_H)) continue;
      const std::string code = CodeOnly(ReadText(file.path()));
      for (std::size_t at = code.find("msg::k"); at != std::string::npos; at = code.find("msg::k", at + 1)) {
        std::size_t end = at + 5;
        while (end < code.size() && (std::isalnum(static_cast<unsigned char>(code[end])) || code[end] == '_')) ++end;
        const std::string callee = CalleeBefore(code, at);
        const int filled = callee == "format" || callee == "raise" ? FurtherArguments(code, end) : 0;
        const auto line = std::count(code.begin(), code.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1;
        uses[code.substr(at + 5, end - at - 5)].push_back(
            {fs::relative(file.path(), root).string() + ":" + std::to_string(line), filled});
      }
    }
  }
  return uses;
}

TEST(Messages, TheTableIsReadAsTheCompilerReadsIt) {
  std::map<std::string, std::string> texts;
  for (const Entry& e : TableEntries()) texts[e.name] = e.text;
  // One literal, one with a blank, one joined from literals on two lines.
  EXPECT_EQ(texts["kErrorCaption"], msg::kErrorCaption);
  EXPECT_EQ(texts["kCannotOpen"], msg::kCannotOpen);
  EXPECT_EQ(texts["kNoBreakFound"], msg::kNoBreakFound);
}

TEST(Messages, EveryEntryIsUsedByTheProgram) {
  const auto uses = UsesInSources();
  for (const Entry& e : TableEntries()) EXPECT_TRUE(uses.contains(e.name)) << e.name << " is used nowhere";
}

TEST(Messages, EveryUseFillsTheBlanksOfItsText) {
  const auto uses = UsesInSources();
  for (const Entry& e : TableEntries()) {
    const Blanks blanks = BlanksOf(e.text);
    EXPECT_FALSE(blanks.othersFound) << e.name << ": a \"%\" that is not a blank \"%s\": " << e.text;
    if (!uses.contains(e.name)) continue;
    for (const Use& u : uses.at(e.name))
      EXPECT_EQ(u.filled, blanks.count) << u.where << " fills " << u.filled << " of the " << blanks.count
                                        << " blanks of " << e.name << " (one call fills them all)";
  }
}

// The texts the command line's documentation quotes, which scripts match on.
TEST(Messages, TextsScriptsMatchOn) {
  EXPECT_EQ(msg::kOverwritePieces, "ファイルがすでに存在しますが、上書きしますか?");
  EXPECT_EQ(msg::kCannotCreate, "ファイル %s を作成できません");
  EXPECT_EQ(msg::kRangeError, "範囲チェックエラー");
}

// A file name may hold "%s": it is not a blank of the message it goes into.
TEST(Messages, ABlankInAnArgumentStaysAsItIs) {
  EXPECT_EQ(format(msg::kCannotOpen, "%s.wav"), "ファイル %s.wav は開けません");
  EXPECT_EQ(format("%s: %s", "a%s", "b"), "a%s: b");
  EXPECT_EQ(format("%s: %s", "a"), "a: %s");
}

}  // namespace
}  // namespace mv
