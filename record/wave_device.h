#pragma once
// The wave-audio device: opened on a prepared WAVE file, whose header alone
// says the format, it records into that file behind its 44-byte header until
// stopped; save finishes the header; close releases device and file.

#include <string>
#include <string_view>

#include "wave/messages.h"

#include "wave/format.h"

namespace mv {

class WaveDevice {
 public:
  virtual ~WaveDevice() = default;

  std::string FileName;  // the prepared file

  // Raises the device's error text (else msg::kUnknownDeviceError).
  virtual void open() = 0;
  // Starts capture and returns at once.
  virtual void record() = 0;
  virtual void stop() = 0;
  virtual void save() = 0;
  virtual void close() = 0;
  // Brings the header's sizes up to date with what has been captured, so that
  // the file is valid at any moment of a recording.
  virtual void flush() = 0;
};

// The recording's file in its folder.
inline constexpr const char* kRecordingFileName = "morvntmp.wav";

// The empty recording file: a 44-byte header for the format, sizes finished
// for no samples.
void PrepareRecordingFile(const std::string& path, const PcmFormat& format);

inline constexpr std::string_view kUnknownDeviceError = msg::kUnknownDeviceError;

}  // namespace mv
