#include "record/wave_device.h"

#include "wave/file.h"
#include "wave/header.h"
#include "wave/layout.h"

namespace mv {

void PrepareRecordingFile(const std::string& path, const PcmFormat& format) {
  File f = File::create(path);
  if (!IsListedFormat(format)) {
    const std::vector<uint8_t> header = ExtendedHeader(format, {}, false).bytes(0);
    f.write(header.data(), header.size());
    return;
  }
  WriteWaveHeader(f, format);
  FinishWaveHeader(f);
}

}  // namespace mv
