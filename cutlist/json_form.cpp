// The cut list as the JSON a cut prints: a strict reader of JSON (RFC 8259)
// that keeps the line each value starts on, and the points it gives.

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

#include "cutlist/forms.h"

namespace mv::cutlist {
namespace {

struct Value {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  std::string text;                // a string's decoded UTF-8, a number as written
  std::vector<Value> items;        // an array's, or an object's member values
  std::vector<std::string> names;  // an object's member names, one for each item
  ListLine at;                     // the rest of the line from where the value starts

  // The first member of the name.
  const Value* member(std::string_view name) const {
    const auto m = std::find(names.begin(), names.end(), name);
    return m == names.end() ? nullptr : &items[static_cast<std::size_t>(m - names.begin())];
  }
};

// Nesting deeper than this is no cut's JSON, and would run down the stack.
constexpr int kMaxDepth = 64;
// The one-letter escapes of a string and what each stands for.
constexpr std::string_view kEscapes = "\"\\/bfnrt", kEscaped = "\"\\/\b\f\n\r\t";
constexpr std::string_view kHexDigits = "0123456789abcdef";

class Reader {
 public:
  explicit Reader(const std::vector<ListLine>& lines) : lines_(lines) {}

  Value document() {
    Value v = value(0);
    skipBlanks();
    if (!atEnd()) fail();
    return v;
  }

 private:
  bool atEnd() const { return line_ == lines_.size(); }
  // A line's end reads as a line feed, the end of the text as NUL.
  char peek() const {
    if (atEnd()) return '\0';
    const std::string_view text = lines_[line_].text;
    return column_ < text.size() ? text[column_] : '\n';
  }
  void next() {
    if (atEnd()) return;
    if (column_ < lines_[line_].text.size()) {
      ++column_;
    } else {
      ++line_;
      column_ = 0;
    }
  }
  ListLine here() const {
    if (atEnd()) return lines_.back();
    return {lines_[line_].text.substr(column_), lines_[line_].number};
  }
  [[noreturn]] void fail() const { RefuseLine(here(), ListKind::Cuts); }
  void expect(char c) {
    if (peek() != c) fail();
    next();
  }
  void skipBlanks() {
    for (char c = peek(); c == ' ' || c == '\t' || c == '\n'; c = peek()) next();
  }
  void word(std::string_view w) {
    for (char c : w) expect(c);
  }

  Value value(int depth) {
    skipBlanks();
    if (depth > kMaxDepth) fail();
    Value v;
    v.at = here();
    switch (peek()) {
      case '{':
        v.kind = Value::Kind::Object;
        next();
        skipBlanks();
        if (peek() == '}') {
          next();
          return v;
        }
        for (;;) {
          skipBlanks();
          std::string name = string();
          skipBlanks();
          expect(':');
          v.names.push_back(std::move(name));
          v.items.push_back(value(depth + 1));
          skipBlanks();
          if (peek() == '}') break;
          expect(',');
        }
        next();
        return v;
      case '[':
        v.kind = Value::Kind::Array;
        next();
        skipBlanks();
        if (peek() == ']') {
          next();
          return v;
        }
        for (;;) {
          v.items.push_back(value(depth + 1));
          skipBlanks();
          if (peek() == ']') break;
          expect(',');
        }
        next();
        return v;
      case '"':
        v.kind = Value::Kind::String;
        v.text = string();
        return v;
      case 't':
        v.kind = Value::Kind::Bool;
        word("true");
        return v;
      case 'f':
        v.kind = Value::Kind::Bool;
        word("false");
        return v;
      case 'n':
        word("null");
        return v;
      default:
        v.kind = Value::Kind::Number;
        v.text = number();
        return v;
    }
  }

  std::string number() {
    std::string text;
    const auto digits = [&] {
      const std::size_t before = text.size();
      while (peek() >= '0' && peek() <= '9') {
        text += peek();
        next();
      }
      if (text.size() == before) fail();
    };
    if (peek() == '-') {
      text += '-';
      next();
    }
    if (peek() == '0') {
      text += '0';
      next();
    } else {
      digits();
    }
    if (peek() == '.') {
      text += '.';
      next();
      digits();
    }
    if (peek() == 'e' || peek() == 'E') {
      text += 'e';
      next();
      if (peek() == '+' || peek() == '-') {
        text += peek();
        next();
      }
      digits();
    }
    return text;
  }

  unsigned hex4() {
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      const std::size_t d = kHexDigits.find(static_cast<char>(std::tolower(static_cast<unsigned char>(peek()))));
      if (d == std::string_view::npos) fail();
      v = v * 16 + static_cast<unsigned>(d);
      next();
    }
    return v;
  }

  static void append(std::string& out, char32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  // The lines hold valid UTF-8 without controls but the tab, which a JSON
  // string may not hold raw, nor a line break.
  std::string string() {
    expect('"');
    std::string out;
    for (;;) {
      const char c = peek();
      if (c == '"') break;
      if (c == '\n' || c == '\t' || c == '\0') fail();
      next();
      if (c != '\\') {
        out += c;
        continue;
      }
      const char e = peek();
      if (e == '\n' || e == '\0') fail();
      next();
      if (const std::size_t k = kEscapes.find(e); k != std::string_view::npos) {
        out += kEscaped[k];
        continue;
      }
      if (e != 'u') fail();
      char32_t u = hex4();
      if (u >= 0xDC00 && u <= 0xDFFF) fail();
      if (u >= 0xD800 && u <= 0xDBFF) {
        expect('\\');
        expect('u');
        const char32_t low = hex4();
        if (low < 0xDC00 || low > 0xDFFF) fail();
        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      }
      append(out, u);
    }
    next();
    return out;
  }

  const std::vector<ListLine>& lines_;
  std::size_t line_ = 0, column_ = 0;
};

// A count of bytes: digits alone, at most 18 of them.
std::optional<int64_t> ByteCount(const Value& v) {
  if (v.kind != Value::Kind::Number || v.text.size() > 18 ||
      !std::all_of(v.text.begin(), v.text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoll(v.text);
}

}  // namespace

std::vector<ReadPoint> ReadCutJson(const std::vector<ListLine>& lines, int32_t blockAlign) {
  const Value root = Reader(lines).document();
  const Value* files = root.kind == Value::Kind::Object ? root.member("files") : nullptr;
  if (!files || files->kind != Value::Kind::Array) RefuseLine(root.at, ListKind::Cuts);
  std::vector<ReadPoint> points;
  for (const Value& file : files->items) {
    const Value* first = file.kind == Value::Kind::Object ? file.member("first_byte") : nullptr;
    if (!first) RefuseLine(file.at, ListKind::Cuts);
    const std::optional<int64_t> bytes = ByteCount(*first);
    if (!bytes || *bytes % blockAlign != 0) RefuseLine(first->at, ListKind::Cuts);
    ReadPoint p{*bytes / blockAlign, std::nullopt, first->at.number};
    if (const Value* title = file.member("title"); title && title->kind != Value::Kind::Null) {
      if (title->kind != Value::Kind::String) RefuseLine(title->at, ListKind::Cuts);
      if (!title->text.empty()) p.title = title->text;
    }
    points.push_back(std::move(p));
  }
  return points;
}

}  // namespace mv::cutlist
