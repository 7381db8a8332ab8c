#pragma once
// Label files and cue sheets of a list of pieces, and their writing: whole
// into place, so that the old file, if any, stays until the new one is
// complete on the disk.

#include <string>
#include <vector>

#include "cut/scan.h"
#include "wave/format.h"
#include "wave/tags.h"

namespace mv {

// One line a piece: start and end in seconds (6 decimals), then its label
// after a tab; a piece without a label has none.
std::string LabelText(const std::vector<Piece>& pieces, const std::vector<std::string>& labels, const PcmFormat& f);
// FILE "source" WAVE, then a track a piece with its INDEX 01 in 1/75 s,
// rounded down; the album's TITLE and PERFORMER from the first tags, each
// track's from its own.
std::string CueText(const std::string& source, const std::vector<Piece>& pieces, const std::vector<Tags>& tags,
                    const PcmFormat& f);
// A cue sheet quotes the name on its FILE line, with no escapes.
bool CueCanName(const std::string& source);

// Devices and pipes are written into as they are; anything else is
// replaced by a file made beside it.
bool WrittenInPlace(const std::string& path);
// The text under its name ("-": the standard output); raises the write or
// create error.
void WriteWhole(const std::string& path, const std::string& text);

}  // namespace mv
