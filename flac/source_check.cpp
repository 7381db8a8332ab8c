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
  if (IsWaveFileName(path)) {
    File in = File::openRead(path);
    return CheckWaveFormat(in);
  }
  if (!IsFlacFile(path)) return std::nullopt;
  return CheckedFormat{kExtendedPosition, FlacSource::open(path)->info().format};
}

}  // namespace mv
