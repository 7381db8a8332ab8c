#include "wave/encoded.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "wave/errors.h"

namespace mv {

namespace {

// Marks at the start of the file.
constexpr std::array<std::string_view, 11> kLeadingMarks = {
    "RIFF", "RIFX", "RF64", "fLaC", "OggS", "ID3", "FORM", "caff", "wvpk", "MAC ", ".snd"};
// The MP4 family names its brand after a 4-byte box size.
constexpr std::string_view kBoxMark = "ftyp";
constexpr std::size_t kBoxMarkOffset = 4;

}  // namespace

bool BeginsLikeAudio(ByteStream& in) {
  char head[8];
  in.seek(0);
  const std::size_t n = in.read(head, sizeof head);
  in.seek(0);
  const std::string_view start(head, n);
  for (std::string_view mark : kLeadingMarks)
    if (start.starts_with(mark)) return true;
  return start.substr(std::min(n, kBoxMarkOffset)).starts_with(kBoxMark);
}

void RefuseEncodedAudio(ByteStream& in) {
  if (BeginsLikeAudio(in)) refuse(msg::kUnsupported);
}

}  // namespace mv
