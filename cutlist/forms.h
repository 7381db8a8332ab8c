#pragma once
// The readers of the cut list's forms, each giving its points in the order
// of the list; cut_list.cpp checks them as a whole.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/list_text.h"
#include "cutlist/cut_list.h"

namespace mv::cutlist {

struct ReadPoint {
  int64_t frame = 0;
  std::optional<std::string> title;  // never empty
  int32_t line = 0;
  bool startsFirst = false;  // a cue sheet's first track: it names the first piece and cuts nowhere
};

// A frame as H:MM:SS.mmm, counted down to the millisecond.
std::string TimeText(int64_t frame, int32_t rate);

// Seconds written as digits with an optional decimal fraction ("90", "1.5"),
// in frames rounded to the nearest (a half up); nothing for any other text.
// Past kMaxWholeSeconds the frames stand at that many seconds' worth.
inline constexpr int64_t kMaxWholeSeconds = 999'999'999'999;
std::optional<int64_t> SecondsFrames(std::string_view text, int32_t rate);
// H:MM:SS, M:SS or seconds, each with an optional fraction, the same way.
std::optional<int64_t> TimeFrames(std::string_view text, int32_t rate);
// Whether the list's lines are a label file's rather than plain times.
bool IsLabelFile(const std::vector<ListLine>& lines);

std::vector<ReadPoint> ReadLabels(const std::vector<ListLine>& lines, int32_t rate);
std::vector<ReadPoint> ReadPlainTimes(const std::vector<ListLine>& lines, int32_t rate);
std::vector<ReadPoint> ReadCueTracks(std::string_view text, int32_t rate);
std::vector<ReadPoint> ReadCutJson(const std::vector<ListLine>& lines, int32_t blockAlign);

}  // namespace mv::cutlist
