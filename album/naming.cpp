#include "album/naming.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "album/utf8.h"
#include "wave/errors.h"

namespace mv {
namespace {

enum class Field { Literal, Number, Count, Pos, Title, Artist, Album, Year };

struct Part {
  Field field;
  std::string_view literal;
};

constexpr std::pair<std::string_view, Field> kFields[] = {
    {"n", Field::Number},    {"N", Field::Count},   {"pos", Field::Pos},   {"title", Field::Title},
    {"artist", Field::Artist}, {"album", Field::Album}, {"year", Field::Year},
};

std::vector<Part> ParsePattern(std::string_view pattern) {
  std::vector<Part> parts;
  for (std::size_t at = 0; at < pattern.size();) {
    const std::size_t open = pattern.find_first_of("{}", at);
    if (open == std::string_view::npos) {
      parts.push_back({Field::Literal, pattern.substr(at)});
      break;
    }
    if (open > at) parts.push_back({Field::Literal, pattern.substr(at, open - at)});
    const std::size_t close = pattern[open] == '{' ? pattern.find_first_of("{}", open + 1) : std::string_view::npos;
    if (close == std::string_view::npos || pattern[close] != '}') refuse(format(msg::kNameUnmatchedBrace, pattern));
    const std::string_view name = pattern.substr(open + 1, close - open - 1);
    const auto* field = std::find_if(std::begin(kFields), std::end(kFields), [&](const auto& f) { return f.first == name; });
    if (field == std::end(kFields)) refuse(format(msg::kNameUnknownField, name));
    parts.push_back({field->second, {}});
    at = close + 1;
  }
  return parts;
}

std::string TwoDigits(int32_t n) {
  std::string s = std::to_string(n);
  if (n >= 0 && s.size() < 2) s.insert(0, 2 - s.size(), '0');
  return s;
}

constexpr std::string_view kWideSpace = "\xE3\x80\x80";  // U+3000, the blank of Japanese text

// "/", controls and bytes that are not UTF-8 as "_"; the rest as it is.
std::string Clean(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size();) {
    const std::size_t n = utf8::CharLength(raw, i);
    if (n == 0) {
      out += '_';
      ++i;
      continue;
    }
    const char32_t c = utf8::Decode(raw, i, n);
    if (c == U'/' || utf8::IsControl(c))
      out += '_';
    else
      out.append(raw.substr(i, n));
    i += n;
  }
  return out;
}

std::string_view StripEnd(std::string_view s) {
  for (;;) {
    if (s.ends_with(' '))
      s.remove_suffix(1);
    else if (s.ends_with(kWideSpace))
      s.remove_suffix(kWideSpace.size());
    else
      return s;
  }
}

// Leading dots would hide the file; blanks at either end are never meant.
std::string_view Strip(std::string_view s) {
  for (;;) {
    if (s.starts_with(' ') || s.starts_with('.'))
      s.remove_prefix(1);
    else if (s.starts_with(kWideSpace))
      s.remove_prefix(kWideSpace.size());
    else
      return StripEnd(s);
  }
}

bool IsBlankTitle(std::string_view title) {
  for (;;) {
    if (title.starts_with(' ') || title.starts_with('\t'))
      title.remove_prefix(1);
    else if (title.starts_with(kWideSpace))
      title.remove_prefix(kWideSpace.size());
    else
      return title.empty();
  }
}

// The stem cut so that stem, suffix and extension fit the file system.
std::string Fit(std::string_view stem, std::string_view suffix, std::string_view extension) {
  const std::string_view cut = StripEnd(utf8::CutAt(stem, kMaxNameBytes - suffix.size() - extension.size()));
  std::string name(cut);
  return name.append(suffix).append(extension);
}

}  // namespace

std::string UntitledName(int32_t n) { return "Track " + TwoDigits(n); }

void CheckNamePattern(std::string_view pattern) { ParsePattern(pattern); }

std::vector<std::string> PieceFileNames(std::string_view pattern, const std::vector<NameFields>& pieces,
                                        std::string_view extension) {
  const std::vector<Part> parts = ParsePattern(pattern);
  // Room for the stem's first character and a clash's " (99999)".
  if (extension.size() > 64) raise(msg::kRangeError);
  std::vector<std::string> names;
  std::unordered_set<std::string> taken;
  std::unordered_map<std::string, int64_t> nextSuffix;
  for (const NameFields& f : pieces) {
    std::string raw;
    for (const Part& p : parts) {
      switch (p.field) {
        case Field::Literal: raw += p.literal; break;
        case Field::Number: raw += TwoDigits(f.n); break;
        case Field::Count: raw += std::to_string(f.count); break;
        case Field::Pos: raw += f.pos; break;
        case Field::Title: raw += IsBlankTitle(f.title) ? UntitledName(f.n) : f.title; break;
        case Field::Artist: raw += f.artist; break;
        case Field::Album: raw += f.album; break;
        case Field::Year: raw += f.year; break;
      }
    }
    const std::string cleaned = Clean(raw);
    std::string stem(Strip(cleaned));
    if (stem.empty()) stem = UntitledName(f.n);
    std::string name = Fit(stem, "", extension);
    if (taken.contains(name)) {
      int64_t& k = nextSuffix.try_emplace(stem, 2).first->second;
      do name = Fit(stem, " (" + std::to_string(k++) + ")", extension);
      while (taken.contains(name));
    }
    taken.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace mv
