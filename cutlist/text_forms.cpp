// The text forms of the cut list: label files, plain times and cue sheets.

#include <algorithm>

#include "album/track_list.h"
#include "cutlist/forms.h"
#include "wave/errors.h"

namespace mv::cutlist {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool AllDigits(std::string_view s) { return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit); }

// The value of at most 18 digits.
int64_t Value(std::string_view digits) {
  int64_t v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  return v;
}

// Whole seconds and a decimal fraction of digits digits, in frames: exact,
// so that a time written to the microsecond comes back to its frame.
int64_t Frames(int64_t whole, std::string_view fraction, int32_t rate) {
  int64_t scale = 1;
  for (std::size_t i = 0; i < fraction.size(); ++i) scale *= 10;
  const int64_t part = fraction.empty() ? 0 : Value(fraction);
  return std::min(whole, kMaxWholeSeconds) * rate + (2 * part * rate + scale) / (2 * scale);
}

// "S" or "S.F": whole digits and the fraction's (at most 9), or nothing.
bool SplitSeconds(std::string_view text, std::string_view& whole, std::string_view& fraction) {
  const std::size_t dot = text.find('.');
  whole = text.substr(0, dot);
  fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  return AllDigits(whole) && (dot == std::string_view::npos || (AllDigits(fraction) && fraction.size() <= 9));
}

// Leading zeros count for nothing; past 13 digits a count is past the limit anyway.
int64_t WholeValue(std::string_view digits) {
  digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
  return digits.size() > 13 ? kMaxWholeSeconds + 1 : Value(digits);
}

bool IsSkipped(const ListLine& line) {
  const std::string_view text = TrimBlanks(line.text);
  return text.empty() || text.starts_with('#');
}

std::optional<std::string> TitleOf(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  return std::string(text);
}

}  // namespace

std::optional<int64_t> SecondsFrames(std::string_view text, int32_t rate) {
  std::string_view whole, fraction;
  if (!SplitSeconds(text, whole, fraction)) return std::nullopt;
  return Frames(WholeValue(whole), fraction, rate);
}

std::optional<int64_t> TimeFrames(std::string_view text, int32_t rate) {
  const std::size_t last = text.rfind(':');
  if (last == std::string_view::npos) return SecondsFrames(text, rate);
  // The seconds after a colon are two digits below 60, as are the minutes
  // after the hours.
  std::string_view whole, fraction;
  if (!SplitSeconds(text.substr(last + 1), whole, fraction) || whole.size() != 2 || Value(whole) >= 60)
    return std::nullopt;
  const std::string_view before = text.substr(0, last);
  const std::size_t first = before.find(':');
  std::string_view hours, minutes = before;
  if (first != std::string_view::npos) {
    hours = before.substr(0, first);
    minutes = before.substr(first + 1);
    if (!AllDigits(hours) || minutes.size() != 2 || (AllDigits(minutes) && Value(minutes) >= 60)) return std::nullopt;
  }
  if (!AllDigits(minutes)) return std::nullopt;
  const int64_t h = hours.empty() ? 0 : WholeValue(hours), m = WholeValue(minutes);
  const int64_t seconds = std::min(h, kMaxWholeSeconds / 3600) * 3600 + std::min(m, kMaxWholeSeconds / 60) * 60;
  return Frames(seconds + Value(whole), fraction, rate);
}

bool IsLabelFile(const std::vector<ListLine>& lines) {
  for (const ListLine& line : lines) {
    if (IsSkipped(line)) continue;
    const std::size_t tab = line.text.find('\t');
    if (tab == std::string_view::npos) continue;
    const std::string_view rest = line.text.substr(tab + 1);
    if (SecondsFrames(TrimBlanks(line.text.substr(0, tab)), 1) &&
        SecondsFrames(TrimBlanks(rest.substr(0, rest.find('\t'))), 1))
      return true;
  }
  return false;
}

std::vector<ReadPoint> ReadLabels(const std::vector<ListLine>& lines, int32_t rate) {
  std::vector<ReadPoint> points;
  for (const ListLine& line : lines) {
    if (IsSkipped(line)) continue;
    const std::size_t tab1 = line.text.find('\t');
    const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.text.find('\t', tab1 + 1);
    const std::optional<int64_t> start = SecondsFrames(TrimBlanks(line.text.substr(0, tab1)), rate);
    if (!start) RefuseLine(line, ListKind::Cuts);
    ReadPoint p{*start, std::nullopt, line.number};
    if (tab1 != std::string_view::npos) {
      const std::string_view endText =
          line.text.substr(tab1 + 1, tab2 == std::string_view::npos ? tab2 : tab2 - tab1 - 1);
      const std::optional<int64_t> end = SecondsFrames(TrimBlanks(endText), rate);
      if (!end || *end < *start) RefuseLine(line, ListKind::Cuts);
      if (tab2 != std::string_view::npos) p.title = TitleOf(line.text.substr(tab2 + 1));
    }
    points.push_back(std::move(p));
  }
  return points;
}

std::vector<ReadPoint> ReadPlainTimes(const std::vector<ListLine>& lines, int32_t rate) {
  std::vector<ReadPoint> points;
  for (const ListLine& line : lines) {
    if (IsSkipped(line)) continue;
    const std::string_view text = TrimBlanks(line.text);
    const std::size_t blank = text.find_first_of(" \t");
    const std::optional<int64_t> frame = TimeFrames(text.substr(0, blank), rate);
    if (!frame) RefuseLine(line, ListKind::Cuts);
    points.push_back(
        {*frame, blank == std::string_view::npos ? std::nullopt : TitleOf(text.substr(blank)), line.number});
  }
  return points;
}

std::vector<ReadPoint> ReadCueTracks(std::string_view text, int32_t rate) {
  const TrackList sheet = ParseCueSheet(text, ListKind::Cuts);
  std::vector<ReadPoint> points;
  for (const Track& t : sheet.tracks) {
    const CueIndex& at = *t.index01;
    if (at.file != 1) refuse(format(msg::kCutsCueOtherFile, std::to_string(at.line)));
    // 75 to a second, rounded to the nearest frame.
    const int64_t frame = (at.time * rate * 2 + 75) / 150;
    points.push_back({frame, TitleOf(t.title), at.line, points.empty()});
  }
  return points;
}

}  // namespace mv::cutlist
