#pragma once
// The names of a cut's pieces from a pattern and each piece's fields: the
// one rule that the run, the dry run, the window and the command line share.
//
// Fields: {n} the piece's number, at least two digits; {N} the count;
// {pos} the listed position; {title} the title, or "Track {n}" when it is
// empty or blank; {artist}; {album}; {year}. Anything else in braces, a
// "{" without its "}" and a "}" without its "{" make the pattern refused.
// In the name that results, "/", NUL and other control characters (and any
// byte that is not UTF-8) become "_", leading dots and blanks and trailing
// blanks go, a name left empty becomes "Track {n}", and the name with its
// extension is cut to 255 bytes at a character boundary. A name taken by an
// earlier piece (compared byte for byte, as Linux compares names) gets
// " (2)", " (3)"... before the extension.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mv {

struct NameFields {
  int32_t n = 0;      // from 1
  int32_t count = 0;
  std::string pos, title, artist, album, year;
};

inline constexpr std::string_view kDefaultNamePattern = "{n} {title}";
// The longest name a Linux file system takes, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;

// Refuses (mv::Error) a pattern with an unknown field or an unmatched
// brace, naming it; for the command line to call before anything is written.
void CheckNamePattern(std::string_view pattern);

// File names (without folder) for the pieces, in order, the extension
// (".wav", ".flac") appended; refuses as CheckNamePattern does.
std::vector<std::string> PieceFileNames(std::string_view pattern, const std::vector<NameFields>& pieces,
                                        std::string_view extension);

// "Track 01": what stands for a piece without a title.
std::string UntitledName(int32_t n);

}  // namespace mv
