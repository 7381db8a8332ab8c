#pragma once
// The album options of cut, split and record --cut: file names and tags from
// a track list, FLAC or WAVE pieces, the silence kept around each piece.

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "album/album_plan.h"
#include "album/track_list.h"
#include "cut/cut.h"

namespace mv::cli {

struct AlbumOptions {
  std::string tracks, name, album, artist, albumArtist, year, genre, disc, cover, to, flacLevel = "5",
      keepSilence;
  // Into s, whose format is set. The track list and the cover are read here,
  // before anything is written; the names and tags follow once the run has
  // counted its pieces. The track list, if any, for the length warnings.
  std::optional<TrackList> applyTo(CutSettings& s) const;
  // The same but the plan: the album the pieces are named and tagged from.
  AlbumSettings settingsFor(CutSettings& s) const;
};
inline constexpr const char* kAlbumOptionNames[] = {"--tracks", "--name",  "--album", "--artist",
                                                     "--album-artist", "--year", "--genre", "--disc",
                                                     "--cover", "--to", "--flac-level", "--keep-silence"};
// helpPrefix goes before each help text (record's "cut: ").
void AddAlbumOptions(CLI::App& cmd, AlbumOptions& o, const std::string& helpPrefix = "");

// "N" or "N/M", 1..999 each.
std::pair<int32_t, int32_t> ParseDisc(const std::string& text);

// A warning line for each piece more than 10 s away from its listed length.
void WarnLengths(const TrackList& list, const CutSettings& s, const CutResult& r);

}  // namespace mv::cli
