#include "album/track_list.h"

#include <libcue.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>

#include "album/list_text.h"
#include "album/naming.h"
#include "wave/errors.h"

namespace mv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits' value; only for at most 9 of them.
int Value(std::string_view digits) {
  int v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return v;
}

bool AllDigits(std::string_view s, std::size_t min, std::size_t max) {
  return s.size() >= min && s.size() <= max && std::all_of(s.begin(), s.end(), IsDigit);
}

[[noreturn]] void Unreadable(const ListLine& line) { RefuseLine(line, ListKind::Tracks); }

// --- The plain list ---

struct Position {
  std::string_view text;  // as written, without its mark
  std::size_t end;        // where the rest of the line starts
  bool marked;            // a side letter, or "." or ")" after the number
  int number;             // -1 with a side letter
};

std::optional<Position> LeadingPosition(std::string_view s) {
  const bool side = !s.empty() && s[0] >= 'A' && s[0] <= 'Z';
  std::size_t i = side ? 1 : 0;
  const std::size_t from = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i == from || i - from > (side ? 2u : 3u)) return std::nullopt;
  Position p{s.substr(0, i), 0, side, side ? -1 : Value(s.substr(from, i - from))};
  if (i < s.size() && (s[i] == '.' || s[i] == ')')) {
    ++i;
    p.marked = true;
  }
  if (i < s.size() && !IsBlank(s[i])) return std::nullopt;
  p.end = i;
  return p;
}

// Bare numbers are positions only in a list numbered in order: every track
// line starts with a number, each one more than the one before.
bool NumberedInOrder(const std::vector<std::string_view>& trackLines) {
  int previous = -1;
  for (std::string_view line : trackLines) {
    const std::optional<Position> p = LeadingPosition(line);
    if (!p || p->number < 0 || (previous >= 0 && p->number != previous + 1)) return false;
    previous = p->number;
  }
  return trackLines.size() > 1 || previous == 1;
}

enum class Duration { None, Valid, Broken };

// M:SS, H:MM:SS, or either in parentheses. Digits and colons that are none
// of these are a mistake, not a title's last word.
Duration ReadDuration(std::string_view word, double& seconds) {
  const bool open = word.starts_with('(');
  if (open) word.remove_prefix(1);
  const bool close = word.ends_with(')');
  if (close) word.remove_suffix(1);
  if (word.empty() || !IsDigit(word[0]) || word.find(':') == std::string_view::npos ||
      !std::all_of(word.begin(), word.end(), [](char c) { return IsDigit(c) || c == ':'; }))
    return Duration::None;
  if (open != close) return Duration::Broken;
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t colon = word.find(':', at);
    parts.push_back(word.substr(at, colon == std::string_view::npos ? std::string_view::npos : colon - at));
    if (colon == std::string_view::npos) break;
    at = colon + 1;
  }
  const auto sixty = [](std::string_view d) { return AllDigits(d, 2, 2) && Value(d) < 60; };
  if (parts.size() == 2 && AllDigits(parts[0], 1, 3) && sixty(parts[1])) {
    seconds = Value(parts[0]) * 60 + Value(parts[1]);
    return Duration::Valid;
  }
  if (parts.size() == 3 && AllDigits(parts[0], 1, 2) && sixty(parts[1]) && sixty(parts[2])) {
    seconds = (Value(parts[0]) * 60 + Value(parts[1])) * 60 + Value(parts[2]);
    return Duration::Valid;
  }
  return Duration::Broken;
}

Track ReadPlainLine(const ListLine& line, bool numbered) {
  Track t;
  std::string_view rest = TrimBlanks(line.text);
  const std::optional<Position> p = LeadingPosition(rest);
  const bool positioned = p && (p->marked || numbered);
  if (positioned) {
    t.position = p->text;
    rest = TrimBlanks(rest.substr(p->end));
    if (rest == "-" || (rest.starts_with('-') && IsBlank(rest[1]))) rest = TrimBlanks(rest.substr(1));
  }
  const std::size_t blank = rest.find_last_of(" \t");
  double seconds = 0;
  switch (ReadDuration(blank == std::string_view::npos ? rest : rest.substr(blank + 1), seconds)) {
    case Duration::Broken:
      Unreadable(line);
    case Duration::Valid:
      t.seconds = seconds;
      rest = TrimBlanks(rest.substr(0, blank == std::string_view::npos ? 0 : blank));
      break;
    case Duration::None:
      break;
  }
  // The artist follows the last "/" that stands between blanks; "AC/DC" and
  // "1/2" stay whole.
  for (std::size_t at = rest.rfind('/'); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : rest.rfind('/', at - 1)) {
    if ((at == 0 || IsBlank(rest[at - 1])) && at + 1 < rest.size() && IsBlank(rest[at + 1])) {
      t.artist = TrimBlanks(rest.substr(at + 1));
      rest = TrimBlanks(rest.substr(0, at));
      break;
    }
  }
  t.title = rest;
  // A position alone is a line left unfinished, not an untitled track (which
  // "3. (4:05)" or "3. / Artist" gives).
  if (positioned && t.title.empty() && t.artist.empty() && !t.seconds) Unreadable(line);
  return t;
}

TrackList ReadPlainList(const std::vector<ListLine>& lines) {
  std::vector<const ListLine*> trackLines;
  std::vector<std::string_view> texts;
  for (const ListLine& line : lines) {
    const std::string_view text = TrimBlanks(line.text);
    if (text.empty() || text.starts_with('#')) continue;
    trackLines.push_back(&line);
    texts.push_back(text);
  }
  const bool numbered = NumberedInOrder(texts);
  TrackList list;
  for (const ListLine* line : trackLines) list.tracks.push_back(ReadPlainLine(*line, numbered));
  return list;
}

// --- The cue sheet ---

constexpr std::string_view kFileTypes[] = {"BINARY", "MOTOROLA", "AIFF", "WAVE", "MP3", "FLAC"};
constexpr std::string_view kTrackModes[] = {"AUDIO",      "MODE1/2048", "MODE1/2352", "MODE2/2336",
                                            "MODE2/2048", "MODE2/2342", "MODE2/2332", "MODE2/2352"};
constexpr std::string_view kFlags[] = {"PRE", "DCP", "4CH", "SCMS"};
constexpr std::string_view kCdText[] = {"TITLE",   "PERFORMER", "SONGWRITER", "COMPOSER",  "ARRANGER",
                                        "MESSAGE", "DISC_ID",   "GENRE",      "TOC_INFO1", "TOC_INFO2",
                                        "UPC_EAN", "SIZE_INFO"};
// libcue keeps up to 1022 bytes of a text, and writes past its buffer for a
// bare one of 1024.
constexpr std::size_t kMaxCueText = 1000;

template <std::size_t N>
bool OneOf(std::string_view word, const std::string_view (&words)[N]) {
  return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

std::vector<std::string_view> BareWords(std::string_view s) {
  std::vector<std::string_view> words;
  for (std::size_t i = 0;;) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i == s.size()) return words;
    const std::size_t from = i;
    while (i < s.size() && !IsBlank(s[i])) ++i;
    words.push_back(s.substr(from, i - from));
  }
}

bool IsCueLine(std::string_view line) {
  const std::vector<std::string_view> w = BareWords(line);
  return w.size() >= 3 && ((w[0] == "TRACK" && AllDigits(w[1], 1, 2) && OneOf(w[2], kTrackModes)) ||
                           (w[0] == "FILE" && OneOf(w.back(), kFileTypes)));
}

struct Word {
  std::string_view text;
  bool quoted;
};

// The words of a cue sheet line, a quoted one without its quotes; nothing
// where libcue's scanner would read on past the line or past the word: a
// quote left open, a quoted text ending in "\" (libcue's escape), a quote
// with more after it, a word starting with "'".
std::optional<std::vector<Word>> CueWords(std::string_view s) {
  std::vector<Word> words;
  for (std::size_t i = 0;;) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i == s.size()) return words;
    if (s[i] == '\'') return std::nullopt;
    if (s[i] == '"') {
      const std::size_t close = s.find('"', i + 1);
      if (close == std::string_view::npos || s[close - 1] == '\\' || (close + 1 < s.size() && !IsBlank(s[close + 1])))
        return std::nullopt;
      words.push_back({s.substr(i + 1, close - i - 1), true});
      i = close + 1;
    } else {
      const std::size_t from = i;
      while (i < s.size() && !IsBlank(s[i])) ++i;
      words.push_back({s.substr(from, i - from), false});
    }
  }
}

bool IsText(const Word& w) { return w.text.size() <= kMaxCueText && (w.quoted || !w.text.empty()); }
bool IsNumber(const Word& w, int min, int max) {
  return !w.quoted && AllDigits(w.text, 1, 2) && Value(w.text) >= min && Value(w.text) <= max;
}
// MM:SS:FF, 75 frames a second.
bool IsTime(const Word& w) {
  const std::string_view t = w.text;
  const std::size_t c1 = t.find(':'), c2 = c1 == std::string_view::npos ? c1 : t.find(':', c1 + 1);
  if (w.quoted || c2 == std::string_view::npos || t.size() != c2 + 3) return false;
  const std::string_view m = t.substr(0, c1), s = t.substr(c1 + 1, c2 - c1 - 1), f = t.substr(c2 + 1);
  return AllDigits(m, 1, 3) && AllDigits(s, 2, 2) && Value(s) < 60 && AllDigits(f, 2, 2) && Value(f) < 75;
}

struct CueTrack {
  const ListLine* trackLine;
  const ListLine* index01Line = nullptr;
  std::string_view number;  // as the TRACK line writes it
  int file = 0;             // the FILE its INDEX 01 counts in, from 1
};

struct CdDeleter {
  void operator()(Cd* cd) const { cd_delete(cd); }
};

// libcue's parser and scanner live in globals, their state carried from one
// call to the next.
std::mutex cueLock;

std::string CdText(const Cdtext* cdtext, Pti pti) {
  const char* value = cdtext ? cdtext_get(pti, cdtext) : nullptr;
  return value ? value : "";
}

// Each line is checked here against the format before libcue sees the
// sheet: libcue recovers from a line it cannot parse by skipping it (or the
// lines up to the next it can), silently but for stderr, and its scanner
// keeps a state that a bad line can leave set for the next call. So libcue
// gets only lines it reads cleanly, REM comments blanked, and the checks
// here refuse the rest naming the line.
TrackList ReadCueSheet(const std::vector<ListLine>& lines, ListKind kind) {
  std::vector<CueTrack> tracks;
  std::string sheet;
  bool pendingFile = false;  // a FILE line no track has taken yet
  int files = 0;
  for (const ListLine& line : lines) {
    // A REM comment is free text: it never reaches libcue.
    const std::vector<std::string_view> bare = BareWords(line.text);
    if (bare.empty() || bare.front() == "REM") {
      sheet += '\n';
      continue;
    }
    const std::optional<std::vector<Word>> words = CueWords(line.text);
    if (!words) RefuseLine(line, kind);
    const Word& key = words->front();
    const std::vector<Word> args(words->begin() + 1, words->end());
    CueTrack* track = tracks.empty() ? nullptr : &tracks.back();
    bool ok = false;
    if (key.quoted) {
      ok = false;
    } else if (key.text == "CATALOG" || key.text == "CDTEXTFILE") {
      ok = !track && args.size() == 1 && IsText(args[0]);
    } else if (OneOf(key.text, kCdText)) {
      ok = args.size() == 1 && IsText(args[0]);
    } else if (key.text == "FILE") {
      // libcue takes one FILE line for the tracks to come, or a FILE line
      // inside a track before its INDEX 01 for that track.
      ok = args.size() == 2 && IsText(args[0]) && !args[1].quoted && OneOf(args[1].text, kFileTypes) && !pendingFile;
      if (ok) {
        ++files;
        pendingFile = !track || track->index01Line;
      }
    } else if (key.text == "TRACK") {
      ok = args.size() == 2 && IsNumber(args[0], 1, 99) && !args[1].quoted && OneOf(args[1].text, kTrackModes) &&
           files > 0 && tracks.size() < 99;
      if (ok) {
        if (track && !track->index01Line) refuse(format(msg::kTracksCueNoIndex, std::to_string(track->trackLine->number)));
        tracks.push_back({&line, nullptr, args[0].text});
        pendingFile = false;
      }
    } else if (key.text == "INDEX") {
      ok = track && args.size() == 2 && IsNumber(args[0], 0, 99) && IsTime(args[1]);
      if (ok && Value(args[0].text) == 1) {
        ok = !track->index01Line;
        track->index01Line = &line;
        track->file = files;
      }
    } else if (key.text == "PREGAP" || key.text == "POSTGAP") {
      ok = track && args.size() == 1 && IsTime(args[0]);
    } else if (key.text == "FLAGS") {
      ok = track && std::all_of(args.begin(), args.end(), [](const Word& w) { return !w.quoted && OneOf(w.text, kFlags); });
    } else if (key.text == "ISRC") {
      ok = track && args.size() == 1 && IsText(args[0]);
    }
    if (!ok) RefuseLine(line, kind);
    sheet.append(line.text).append("\n");
  }
  if (tracks.empty()) refuse(msg::kTracksCueNoTrack);
  if (!tracks.back().index01Line) refuse(format(msg::kTracksCueNoIndex, std::to_string(tracks.back().trackLine->number)));

  TrackList list;
  {
    const std::lock_guard<std::mutex> hold(cueLock);
    const std::unique_ptr<Cd, CdDeleter> cd(cue_parse_string(sheet.c_str()));
    if (!cd || cd_get_ntrack(cd.get()) != static_cast<int>(tracks.size())) refuse(msg::kTracksCueUnreadable);
    list.album = CdText(cd_get_cdtext(cd.get()), PTI_TITLE);
    list.albumArtist = CdText(cd_get_cdtext(cd.get()), PTI_PERFORMER);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      const ::Track* t = cd_get_track(cd.get(), static_cast<int>(i + 1));
      if (!t || track_get_index(t, 1) < 0) refuse(msg::kTracksCueUnreadable);
      const Cdtext* text = track_get_cdtext(t);
      list.tracks.push_back({std::string(tracks[i].number), CdText(text, PTI_TITLE), CdText(text, PTI_PERFORMER), {},
                             CueIndex{track_get_index(t, 1), tracks[i].file, tracks[i].index01Line->number}});
    }
  }
  return list;
}

// Each track's duration runs to the next INDEX 01 in the same file, which
// must come later.
void SetCueDurations(TrackList& list, const std::vector<ListLine>& lines) {
  for (std::size_t i = 0; i + 1 < list.tracks.size(); ++i) {
    const CueIndex &at = *list.tracks[i].index01, &next = *list.tracks[i + 1].index01;
    if (at.file != next.file) continue;
    if (next.time <= at.time) Unreadable(lines[static_cast<std::size_t>(next.line - 1)]);
    list.tracks[i].seconds = static_cast<double>(next.time - at.time) / 75;
  }
}

// "3:45", "1:02:03", "3:45.2".
std::string Clock(double seconds) {
  const int64_t tenths = std::llround(seconds * 10);
  const int64_t s = tenths / 10 % 60, m = tenths / 600 % 60, h = tenths / 36000;
  std::string out = h > 0 ? std::to_string(h) + ":" + (m < 10 ? "0" : "") + std::to_string(m) : std::to_string(m);
  out += (s < 10 ? ":0" : ":") + std::to_string(s);
  if (tenths % 10) out += "." + std::to_string(tenths % 10);
  return out;
}

}  // namespace

bool IsCueSheet(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (IsCueLine(line)) return true;
    at = end + 1;
  }
  return false;
}

TrackList ParseCueSheet(std::string_view text, ListKind kind) { return ReadCueSheet(SplitListLines(text, kind), kind); }

TrackList ParseTrackList(std::string_view text) {
  const std::vector<ListLine> lines = SplitListLines(text, ListKind::Tracks);
  if (!std::any_of(lines.begin(), lines.end(), [](const ListLine& l) { return IsCueLine(l.text); }))
    return ReadPlainList(lines);
  TrackList list = ReadCueSheet(lines, ListKind::Tracks);
  SetCueDurations(list, lines);
  return list;
}

TrackList ReadTrackList(const std::string& path) { return ParseTrackList(ReadListFile(path, ListKind::Tracks)); }

void CheckTrackCount(const TrackList& list, std::size_t pieces) {
  if (list.tracks.size() != pieces)
    refuse(format(msg::kTracksCountDiffers, std::to_string(list.tracks.size()), std::to_string(pieces)));
}

std::optional<std::string> LengthWarning(const TrackList& list, std::size_t n, double pieceSeconds) {
  if (n == 0 || n > list.tracks.size() || !std::isfinite(pieceSeconds) || pieceSeconds < 0) return std::nullopt;
  const Track& t = list.tracks[n - 1];
  if (!t.seconds || std::fabs(pieceSeconds - *t.seconds) <= kLengthTolerance) return std::nullopt;
  const std::string title = t.title.empty() ? UntitledName(static_cast<int32_t>(n)) : t.title;
  return format(msg::kTracksLengthDiffers, std::to_string(n), title, Clock(pieceSeconds), Clock(*t.seconds));
}

}  // namespace mv
