#include "cli/cut_list_options.h"

#include "album/album_plan.h"
#include "cli/options.h"
#include "cutlist/cut_list.h"
#include "cutlist/markers.h"
#include "wave/errors.h"

namespace mv::cli {

namespace {

void checkSnap(const std::string& text) {
  const double seconds = ParseSeconds(text);
  if (seconds > kMaxSnapSeconds) throw UsageError(format(msg::kUsageBadValue, "--snap", text));
}

// Names the pieces by the list's titles: piece n takes the title of the
// point it begins at, an untitled one "Track {n}". A point the cut lets go
// (at the end of the data) takes its title along.
decltype(PieceFiles::plan) titledPlan(AlbumSettings a, const CutList& list) {
  std::vector<std::string> titles{list.firstTitle.value_or("")};
  for (const CutPoint& p : list.points) titles.push_back(p.title.value_or(""));
  return [a, titles](std::size_t count, std::string_view extension, PieceFiles& files) {
    AlbumSettings named = a;
    named.tracks.emplace();
    for (std::size_t n = 0; n < count; ++n) {
      Track t;
      if (n < titles.size()) t.title = titles[n];
      named.tracks->tracks.push_back(std::move(t));
    }
    PlannedPieces planned = PlanPieces(named, count, extension);
    files.names = std::move(planned.names);
    files.tags = std::move(planned.tags);
  };
}

}  // namespace

void AddCutListOptions(CLI::App& cmd, CutListOptions& o) {
  cmd.add_option("--cuts", o.cuts,
                 "cut at given points instead of at silences: a label file, a cue sheet, a list of times, a cut's "
                 "JSON, or \"markers\" (the source's own cue points)")
      ->check(NotEmpty());
  cmd.add_option("--snap", o.snap, "with --cuts: move each point to the quietest 50 ms within S seconds (at most 10)")
      ->check(NotEmpty(checkSnap));
}

void CutListOptions::applyTo(CutSettings& s, const AlbumOptions& album) const {
  if (!given()) {
    if (!snap.empty()) throw UsageError(format(msg::kUsageNeeds, "--snap", "--cuts"));
    return;
  }
  s.mode = CutMode::AtPoints;
  if (!snap.empty()) s.snapSeconds = ParseSeconds(snap);
  const CutListSource source{s.format.sampleRate, SourceDataBytes(s) / s.format.frameBytes(), s.format.frameBytes()};
  const CutList list = cuts == "markers" ? ReadMarkers(s.source) : ReadCutList(cuts, source);
  s.points.clear();
  for (const CutPoint& p : list.points) s.points.push_back({p.frame, p.line});
  bool titled = list.firstTitle.has_value();
  for (const CutPoint& p : list.points) titled = titled || p.title.has_value();
  // A track list's titles win, and its count check holds.
  if (titled && album.tracks.empty()) s.files.plan = titledPlan(album.settingsFor(s), list);
}

}  // namespace mv::cli
