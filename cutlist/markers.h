#pragma once
// The markers a WAVE source carries (a field recorder's, an editor's): the
// cue points of its RIFF "cue " chunk, each titled by the "labl" text of a
// LIST/adtl chunk where there is one.

#include <string>

#include "cutlist/cut_list.h"
#include "wave/file.h"

namespace mv {

// The markers as a cut list, in the order of their frames (dwSampleOffset,
// frames from the start of the data); two at one frame count once, one at 0
// names the first piece, one at the end is dropped. Each point's line is
// the marker's place in the cue chunk, from 1. A labl text that is not
// UTF-8 is read as Latin-1.
// Refused: a file Morvane does not read (its own message), a source with no
// cue chunk or no point in it (RF64 included; Wave64 and FLAC carry none),
// a cue or adtl chunk whose sizes do not hold together, a marker beyond the
// data.
CutList ReadMarkers(ByteStream& in);
CutList ReadMarkers(const std::string& path);

}  // namespace mv
