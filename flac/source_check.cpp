#include "flac/source_check.h"

#include "flac/flac_source.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"

namespace mv {

bool IsFlacFile(const std::string& path) {
  try {
    File in = File::openRead(path);
    return IsFlacStream(in);
  } catch (const Error&) {
    return false;
  }
}

std::optional<CheckedFormat> CheckSourceFormat(const std::string& path) {
  if (IsFlacFile(path)) return CheckedFormat{kExtendedPosition, FlacSource::open(path)->info().format};
  if (!IsWaveFileName(path)) return std::nullopt;
  File in = File::openRead(path);
  return CheckWaveFormat(in);
}

}  // namespace mv
