#pragma once
// An album's pieces: their file names and tags from the track list, the
// name pattern and the album's own tags, once the count of pieces is known.
// The run, the dry run, the window and the command line plan them here.

#include <cstddef>
#include <functional>
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

// What a cut calls once it has counted its pieces: the names and tags of its
// Files (the cut's PieceFiles) filled in from the album. Empty when the
// album names and tags nothing, so that the pieces stay the numbered,
// untagged files of old. The window and the command line both plan so.
template <class Files>
std::function<void(std::size_t, std::string_view, Files&)> MakePiecePlan(const AlbumSettings& a) {
  if (!NamesPieces(a) && !TagsPieces(a)) return nullptr;
  return [a](std::size_t count, std::string_view extension, Files& files) {
    PlannedPieces planned = PlanPieces(a, count, extension);
    files.names = std::move(planned.names);
    files.tags = std::move(planned.tags);
  };
}

}  // namespace mv
