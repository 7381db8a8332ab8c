#include "cutlist/cut_list.h"

#include <cstdio>

#include "album/track_list.h"
#include "cutlist/forms.h"
#include "wave/duration.h"
#include "wave/errors.h"
#include "wave/format.h"

namespace mv {

std::string cutlist::TimeText(int64_t frame, int32_t rate) {
  return ClockTextMs(frame / rate * 1000 + frame % rate * 1000 / rate);
}

namespace {

bool StartsAsJson(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && text[first] == '{';
}

std::vector<cutlist::ReadPoint> ReadPoints(std::string_view text, const CutListSource& source) {
  const std::vector<ListLine> lines = SplitListLines(text, ListKind::Cuts);
  if (StartsAsJson(text)) return cutlist::ReadCutJson(lines, source.blockAlign);
  if (IsCueSheet(text)) return cutlist::ReadCueTracks(text, source.rate);
  if (cutlist::IsLabelFile(lines)) return cutlist::ReadLabels(lines, source.rate);
  return cutlist::ReadPlainTimes(lines, source.rate);
}

}  // namespace

CutList ParseCutList(std::string_view text, const CutListSource& source) {
  if (source.rate <= 0 || source.rate > kHighestRate || source.frames < 0 || source.blockAlign <= 0)
    raise(msg::kRangeError);
  std::vector<cutlist::ReadPoint> read = ReadPoints(text, source);
  if (read.empty()) refuse(msg::kCutsNoPoint);
  const auto timeText = [&](int64_t frame) { return cutlist::TimeText(frame, source.rate); };
  CutList list;
  const cutlist::ReadPoint* previous = nullptr;
  for (cutlist::ReadPoint& p : read) {
    const std::string line = std::to_string(p.line);
    if (p.frame > source.frames) refuse(format(msg::kCutsBeyondEnd, line, timeText(p.frame), timeText(source.frames)));
    if (previous && p.frame <= previous->frame)
      refuse(format(msg::kCutsOutOfOrder, line, timeText(p.frame), timeText(previous->frame)));
    previous = &p;
    if (p.startsFirst || p.frame == 0)
      list.firstTitle = std::move(p.title);
    else if (p.frame < source.frames)
      list.points.push_back({p.frame, std::move(p.title), p.line});
  }
  return list;
}

CutList ReadCutList(const std::string& path, const CutListSource& source) {
  return ParseCutList(ReadListFile(path, ListKind::Cuts), source);
}

}  // namespace mv
