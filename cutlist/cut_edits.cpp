#include "cutlist/cut_edits.h"

#include <algorithm>

namespace mv {

void CutEdits::reset(const std::vector<int64_t>& found, int64_t frames) {
  frames_ = frames;
  found_.clear();
  for (int64_t f : found)
    if (f > 0 && f < frames && (found_.empty() || f > found_.back().frame)) found_.push_back({f, false});
  now_.cuts = found_;
  undo_.clear();
  redo_.clear();
}

std::vector<int64_t> CutEdits::pieceStarts() const {
  std::vector<int64_t> starts{0};
  for (const EditedCut& c : now_.cuts) starts.push_back(c.frame);
  return starts;
}

void CutEdits::record() {
  undo_.push_back(now_);
  redo_.clear();
}

std::optional<std::size_t> CutEdits::add(int64_t frame) {
  if (frame <= 0 || frame >= frames_) return std::nullopt;
  auto at = std::lower_bound(now_.cuts.begin(), now_.cuts.end(), frame,
                             [](const EditedCut& c, int64_t f) { return c.frame < f; });
  if (at != now_.cuts.end() && at->frame == frame) return std::nullopt;
  const auto index = static_cast<std::size_t>(at - now_.cuts.begin());
  record();
  const bool entries = tracked();
  now_.cuts.insert(now_.cuts.begin() + static_cast<std::ptrdiff_t>(index), {frame, true});
  if (entries) now_.tracks.insert(now_.tracks.begin() + static_cast<std::ptrdiff_t>(index) + 1, Track{});
  return index;
}

bool CutEdits::move(std::size_t cut, int64_t frame) {
  if (cut >= now_.cuts.size()) return false;
  const int64_t after = cut == 0 ? 0 : now_.cuts[cut - 1].frame;
  const int64_t before = cut + 1 < now_.cuts.size() ? now_.cuts[cut + 1].frame : frames_;
  frame = std::clamp(frame, after + 1, before - 1);
  if (frame == now_.cuts[cut].frame || after + 1 > before - 1) return false;
  record();
  now_.cuts[cut] = {frame, true};
  return true;
}

bool CutEdits::remove(std::size_t cut) {
  if (cut >= now_.cuts.size()) return false;
  record();
  if (tracked()) now_.tracks.erase(now_.tracks.begin() + static_cast<std::ptrdiff_t>(cut) + 1);
  now_.cuts.erase(now_.cuts.begin() + static_cast<std::ptrdiff_t>(cut));
  return true;
}

void CutEdits::load(const CutList& list) {
  record();
  now_.cuts.clear();
  bool titled = list.firstTitle.has_value();
  for (const CutPoint& p : list.points) {
    if (p.frame > 0 && p.frame < frames_) now_.cuts.push_back({p.frame, true});
    titled = titled || p.title.has_value();
  }
  if (!titled) return;
  now_.tracks.assign(1, Track{});
  now_.tracks[0].title = list.firstTitle.value_or("");
  for (const CutPoint& p : list.points) {
    if (p.frame <= 0 || p.frame >= frames_) continue;
    now_.tracks.emplace_back().title = p.title.value_or("");
  }
}

CutList CutEdits::list() const {
  CutList out;
  const bool titles = tracked();
  if (titles && !now_.tracks[0].title.empty()) out.firstTitle = now_.tracks[0].title;
  for (std::size_t u = 0; u < now_.cuts.size(); ++u) {
    CutPoint& p = out.points.emplace_back();
    p.frame = now_.cuts[u].frame;
    if (titles && !now_.tracks[u + 1].title.empty()) p.title = now_.tracks[u + 1].title;
  }
  return out;
}

bool CutEdits::undo() {
  if (undo_.empty()) return false;
  redo_.push_back(std::move(now_));
  now_ = std::move(undo_.back());
  undo_.pop_back();
  return true;
}

bool CutEdits::redo() {
  if (redo_.empty()) return false;
  undo_.push_back(std::move(now_));
  now_ = std::move(redo_.back());
  redo_.pop_back();
  return true;
}

}  // namespace mv
