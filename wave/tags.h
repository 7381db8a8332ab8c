#pragma once
// What a piece says about itself: its title, artist, album and the rest, and
// a cover image. A WAVE piece carries the text in a LIST/INFO chunk before
// its data; a FLAC piece carries all of it in its metadata blocks.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mv {

struct Cover {
  std::string mime;  // "image/png" or "image/jpeg"
  std::vector<uint8_t> bytes;
  // From the image's own header, for the FLAC picture block.
  int32_t width = 0, height = 0, depth = 0;
  int32_t colors = 0;  // a palette's colours; 0 for an image without one
};

struct Tags {
  std::string title, artist, album, albumArtist, year, genre;
  int32_t track = 0, trackTotal = 0, disc = 0, discTotal = 0;  // 0: none
  std::shared_ptr<const Cover> cover;
  bool empty() const;
};

// The largest cover: libFLAC writes a metadata block of at most 16 MiB, its
// 4-byte head included, and a picture block holds 32 bytes of fields and
// the type ("image/jpeg") besides the image.
inline constexpr int64_t kMaxCoverBytes = (int64_t{1} << 24) - 4 - 32 - 10;

// The PNG or JPEG image of the file, recognised by its content, not its
// name. A file that cannot be read, one larger than kMaxCoverBytes or any
// other content is refused with its message; nothing is written before.
std::shared_ptr<const Cover> LoadCover(const std::string& path);

// The LIST/INFO chunk a WAVE piece carries between its format and data
// chunks: INAM title, IART artist, IPRD album, IPRT track number, ICRD year,
// IGNR genre, each UTF-8, NUL-terminated and padded to an even size; empty
// when the tags give none of these.
//
// Placed on the 4-byte grid the word search for "data" reads, the chunk holds
// no word "data" that search could take for the data chunk (a filler chunk
// goes before the list when a text would put one there), and it fills whole
// words, so that the data chunk stays on the grid and is found right after it.
std::vector<uint8_t> InfoChunk(const Tags& tags);

}  // namespace mv
