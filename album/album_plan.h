#pragma once
// An album's pieces: their file names and tags from the track list, the
// name pattern and the album's own tags, once the count of pieces is known.
// The run, the dry run, the window and the command line plan them here.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "album/track_list.h"
#include "wave/tags.h"

namespace mv {

struct AlbumSettings {
  std::optional<TrackList> tracks;
  std::string pattern;  // empty: "{n} {title}" with a track list, the numbered names without
  // Tags of every piece: album, album artist, year, genre, disc and cover; the
  // artist of a track the list gives none.
  Tags album;
};

// Whether the pieces get names or tags at all: without either they are the
// numbered, untagged files of old.
bool NamesPieces(const AlbumSettings& a);
bool TagsPieces(const AlbumSettings& a);

struct PlannedPieces {
  std::vector<std::string> names;  // empty: numbered
  std::vector<Tags> tags;          // empty: untagged
};
// For count pieces of the extension (".wav", ".flac"); a track list of
// another count is refused, naming both counts.
PlannedPieces PlanPieces(const AlbumSettings& a, std::size_t count, std::string_view extension);

}  // namespace mv
