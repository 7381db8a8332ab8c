#include "record/wave_device.h"

#include "wave/file.h"
#include "wave/header.h"

namespace mv {

void PrepareRecordingFile(const std::string& path, const std::string& label) {
  File f = File::create(path);
  WriteWaveHeader(f, label);
  FinishWaveHeader(f);
}

}  // namespace mv
