#pragma once
// The wave-audio device: an input chosen as the sound server has it at the
// moment, then opened on a prepared WAVE file, whose header alone says the
// format, it records into that file behind its header until
// stopped, never past its set length; save finishes the header; close
// releases device and file. It tells when the capture ends by itself (the
// file or the input failed), and the input's level.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "record/capture_file.h"
#include "wave/format.h"
#include "wave/messages.h"

namespace mv {

class WaveDevice {
 public:
  virtual ~WaveDevice() = default;

  // The input to record from: its id, or empty for the desktop's default
  // at this moment. Raises msg::kRecordingInputGone when the sound server or
  // that input is gone, the device's error when the input cannot record the
  // format; touches no file.
  void choose(const std::string& input, const PcmFormat& format) { input_ = find(input, format); }
  // The input chosen (its id).
  const std::string& input() const { return input_; }
  // Opens on the prepared file, which may hold `length` seconds (0: until
  // stopped). Raises the device's error text (else msg::kUnknownDeviceError).
  virtual void open(const std::string& file, int length) = 0;
  // Starts capture and returns at once; raises when it cannot start.
  virtual void record() = 0;
  virtual void stop() = 0;
  virtual void save() = 0;
  virtual void close() = 0;
  // Brings the header's sizes up to date with what has been captured and
  // puts the data on the disk, so that the file is valid at any moment.
  virtual void flush() = 0;
  // The clock has reached the set length. True when the capture is complete
  // and may be stopped now; else it goes on, for a while at most, and `done`
  // is told from the event loop once the file holds the set length. Stopping
  // before then drops `done`.
  virtual bool complete(std::function<void()> done) = 0;

  // Why the capture ended by itself, if it did.
  virtual std::optional<CaptureFailure> failure() const = 0;
  // The input's level since the last call.
  virtual InputLevel takeLevel() = 0;
  // Told once when the capture ends by itself (the Qt device tells it from
  // the event loop, not from inside the source's own signals).
  void setOnFailure(std::function<void()> told) { onFailure_ = std::move(told); }

 protected:
  void tellFailure() const {
    if (onFailure_) onFailure_();
  }
  // The input's id for choose.
  virtual std::string find(const std::string& input, const PcmFormat& format) = 0;

 private:
  std::string input_;
  std::function<void()> onFailure_;
};

// The recording's file in its folder.
inline constexpr const char* kRecordingFileName = "morvntmp.wav";

// The empty recording file: a 44-byte header for the format (the extensible
// one for 24 bits), sizes finished for no samples.
void PrepareRecordingFile(const std::string& path, const PcmFormat& format);

inline constexpr std::string_view kUnknownDeviceError = msg::kUnknownDeviceError;

}  // namespace mv
