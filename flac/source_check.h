#pragma once
// The format check of a source of any kind Morvane reads: a FLAC file by its
// content, whatever its name; a WAVE file by its name.

#include <optional>
#include <string>

#include "wave/layout.h"

namespace mv {

// A FLAC file's format (outside the lists, as its pieces are FLAC), by its
// content whatever its name, or a WAVE file's check; empty for a file taken as bare samples, or one that cannot
// be opened, which the run itself reports. A WAVE file the check refuses
// raises its message.
std::optional<CheckedFormat> CheckSourceFormat(const std::string& path);
// Whether the file is FLAC by its content; false when it cannot be opened.
bool IsFlacFile(const std::string& path);

}  // namespace mv
