#include "record/wave_device.h"

#include "wave/file.h"
#include "wave/header.h"

namespace mv {

void PrepareRecordingFile(const std::string& path, const PcmFormat& format) {
  File f = File::create(path);
  WriteWaveHeader(f, format);
  FinishWaveHeader(f);
}

}  // namespace mv
