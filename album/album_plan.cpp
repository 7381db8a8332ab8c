#include "album/album_plan.h"

#include "album/naming.h"

namespace mv {

bool NamesPieces(const AlbumSettings& a) { return a.tracks.has_value() || !a.pattern.empty(); }

bool TagsPieces(const AlbumSettings& a) { return a.tracks.has_value() || !a.album.empty(); }

PlannedPieces PlanPieces(const AlbumSettings& a, std::size_t count, std::string_view extension) {
  PlannedPieces planned;
  if (a.tracks) CheckTrackCount(*a.tracks, count);
  const auto total = static_cast<int32_t>(count);
  // A cue sheet's TITLE and PERFORMER are the album's, unless given; its
  // performer is the artist of a track that names none.
  Tags album = a.album;
  if (a.tracks) {
    if (album.album.empty()) album.album = a.tracks->album;
    if (album.albumArtist.empty()) album.albumArtist = a.tracks->albumArtist;
    if (album.artist.empty()) album.artist = a.tracks->albumArtist;
  }
  std::vector<NameFields> fields;
  for (int32_t n = 1; n <= total; ++n) {
    Tags t = album;
    t.track = n;
    t.trackTotal = total;
    NameFields f;
    f.n = n;
    f.count = total;
    f.album = album.album;
    f.year = album.year;
    if (a.tracks) {
      const Track& track = a.tracks->tracks[static_cast<std::size_t>(n - 1)];
      t.title = track.title;
      if (!track.artist.empty()) t.artist = track.artist;
      f.pos = track.position;
      f.title = track.title;
    }
    f.artist = t.artist;
    planned.tags.push_back(std::move(t));
    fields.push_back(std::move(f));
  }
  if (NamesPieces(a))
    planned.names = PieceFileNames(a.pattern.empty() ? kDefaultNamePattern : std::string_view(a.pattern), fields,
                                   extension);
  if (!TagsPieces(a)) planned.tags.clear();
  return planned;
}

}  // namespace mv
