#pragma once
// The text of a list a user writes (the track list, the cut list): UTF-8
// lines with LF or CRLF ends and an optional BOM, read whole from a file of
// at most 1 MiB, and refused naming the line that cannot be read. Each list
// names itself in its refusals.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

enum class ListKind { Tracks, Cuts };

struct ListLine {
  std::string_view text;  // without its line end
  int32_t number;         // from 1
};

// The lines without their ends and the BOM; bytes that are not UTF-8, and
// controls but the tab, refused in the order of the lines.
std::vector<ListLine> SplitListLines(std::string_view text, ListKind kind);
// The text without blanks (spaces and tabs) at either end.
std::string_view TrimBlanks(std::string_view s);
// The line as a message quotes it: blanks around it gone, controls as "?",
// at most 60 characters.
std::string ShownLine(std::string_view line);
// "The list's line N cannot be read: TEXT", TEXT the line as shown.
[[noreturn]] void RefuseLine(const ListLine& line, ListKind kind);
// The file's bytes; the file layer's errors, and a refusal of a file over
// 1 MiB (no list is that long: it is another file).
std::string ReadListFile(const std::string& path, ListKind kind);

}  // namespace mv
