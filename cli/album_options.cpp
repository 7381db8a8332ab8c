#include "cli/album_options.h"

#include "album/album_plan.h"
#include "album/naming.h"
#include "album/utf8.h"
#include "cli/console_host.h"
#include "cli/options.h"
#include "cut/units.h"
#include "wave/errors.h"
#include "wave/tags.h"

namespace mv::cli {

namespace {

void checkTo(const std::string& text) {
  if (text != "wav" && text != "flac") throw UsageError(format(msg::kUsageBadValue, "--to", text));
}

void checkLevel(const std::string& text) { ParseNumber(text, 0, 8); }

// A tag is UTF-8 text, as FLAC and the INFO chunk hold it.
CLI::Validator utf8Text(const std::string& option) {
  return CLI::Validator(
      [option](std::string& text) {
        for (std::size_t i = 0; i < text.size();) {
          const std::size_t n = utf8::CharLength(text, i);
          if (n == 0 || utf8::IsControl(utf8::Decode(text, i, n))) return format(msg::kUsageBadValue, option, "\"" + text + "\"");
          i += n;
        }
        return std::string();
      },
      "");
}

void checkPattern(const std::string& text) {
  try {
    CheckNamePattern(text);
  } catch (const Error& e) {
    throw UsageError(e.text());
  }
}

}  // namespace

std::pair<int32_t, int32_t> ParseDisc(const std::string& text) {
  const auto slash = text.find('/');
  const auto disc = static_cast<int32_t>(ParseNumber(text.substr(0, slash), 1, 999));
  if (slash == std::string::npos) return {disc, 0};
  const auto total = static_cast<int32_t>(ParseNumber(text.substr(slash + 1), 1, 999));
  if (total < disc) throw UsageError(OutOfRangeText(text.substr(slash + 1), std::to_string(disc) + "..999"));
  return {disc, total};
}

void AddAlbumOptions(CLI::App& cmd, AlbumOptions& o, const std::string& helpPrefix) {
  cmd.add_option("--tracks", o.tracks, helpPrefix + "track list (text, one title a line, or a cue sheet): names and tags")
      ->check(NotEmpty());
  cmd.add_option("--name", o.name,
                 helpPrefix + "file names from {n} {N} {pos} {title} {artist} {album} {year} (default with --tracks: "
                              "\"{n} {title}\")")
      ->check(NotEmpty(checkPattern));
  cmd.add_option("--album", o.album, helpPrefix + "album tag")->check(utf8Text("--album"));
  cmd.add_option("--artist", o.artist, helpPrefix + "artist tag of the tracks the list names none for")
      ->check(utf8Text("--artist"));
  cmd.add_option("--album-artist", o.albumArtist, helpPrefix + "album artist tag")->check(utf8Text("--album-artist"));
  cmd.add_option("--year", o.year, helpPrefix + "year (date) tag")->check(utf8Text("--year"));
  cmd.add_option("--genre", o.genre, helpPrefix + "genre tag")->check(utf8Text("--genre"));
  cmd.add_option("--disc", o.disc, helpPrefix + "disc number N or N/M")
      ->check(NotEmpty([](const std::string& t) { ParseDisc(t); }));
  cmd.add_option("--cover", o.cover, helpPrefix + "cover image (PNG or JPEG, at most 16 MiB)")->check(NotEmpty());
  cmd.add_option("--to", o.to, helpPrefix + "wav or flac (default: wav, flac for a FLAC source)")
      ->check(NotEmpty(checkTo));
  cmd.add_option("--flac-level", o.flacLevel, helpPrefix + "FLAC compression level 0..8 (default 5)")
      ->check(NotEmpty(checkLevel));
  cmd.add_option("--keep-silence", o.keepSilence,
                 helpPrefix + "trim each piece's leading and trailing silence to at most S seconds")
      ->check(NotEmpty([](const std::string& t) { ParseSeconds(t); }));
}

std::optional<TrackList> AlbumOptions::applyTo(CutSettings& s) const {
  const AlbumSettings a = settingsFor(s);
  s.files.plan = MakePiecePlan<PieceFiles>(a);
  return a.tracks;
}

AlbumSettings AlbumOptions::settingsFor(CutSettings& s) const {
  AlbumSettings a;
  if (!tracks.empty()) a.tracks = ReadTrackList(tracks);
  a.pattern = name;
  a.album.album = album;
  a.album.artist = artist;
  a.album.albumArtist = albumArtist;
  a.album.year = year;
  a.album.genre = genre;
  if (!disc.empty()) std::tie(a.album.disc, a.album.discTotal) = ParseDisc(disc);
  if (!cover.empty()) a.album.cover = LoadCover(cover);
  if (to == "flac") s.files.format = PieceFormat::Flac;
  if (to == "wav") s.files.format = PieceFormat::Wave;
  s.files.flacLevel = static_cast<int32_t>(ParseNumber(flacLevel, 0, 8));
  if (!keepSilence.empty()) s.keepSilenceSeconds = ParseSeconds(keepSilence);
  return a;
}

void WarnLengths(const TrackList& list, const CutSettings& s, const CutResult& r) {
  std::size_t n = 0;
  for (const Piece& p : r.report.pieces)
    if (const auto warning = LengthWarning(list, ++n, BytesSeconds(p.dataBytes, s.format))) PrintMessage(*warning);
}

}  // namespace mv::cli
