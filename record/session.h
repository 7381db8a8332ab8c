#pragma once
// One recording from the first byte to the saved file, the same for the
// window's recording, the correction measurement and the command line: the
// file prepared for the format, the device opened on it and started, the
// clock's ticks, the input level, and an end that says whether everything
// captured is in the file. Front ends keep only their clocks and displays.

#include <functional>
#include <optional>
#include <string>

#include "record/capture_file.h"
#include "record/wave_device.h"
#include "wave/format.h"

namespace mv {

struct SessionEnd {
  bool ok = true;
  std::string message;  // why not: the text to show (the message table's)
};

class RecordingSession {
 public:
  explicit RecordingSession(WaveDevice& device) : device_(device) {}
  RecordingSession(const RecordingSession&) = delete;
  RecordingSession& operator=(const RecordingSession&) = delete;
  // A session still running is ended; its file stays valid.
  ~RecordingSession();

  // Writes the empty file for the format and starts capture from the input
  // (its id; empty: the desktop's default at this moment) into it, to the
  // set length in seconds if there is one (0:00:00 ends on the clock's first
  // tick: one second). Raises the file's or the device's error, the device
  // closed again and no new file left; an input that is gone is found
  // before the file is touched.
  void start(const std::string& path, const PcmFormat& format, const std::string& input,
             std::optional<int> length = std::nullopt);
  bool running() const { return running_; }
  const std::string& path() const { return path_; }
  // The input recorded from (its id), once started.
  const std::string& input() const { return device_.input(); }

  // The clock's tick: the header up to date and the data on the disk. False
  // once the capture has ended by itself: the caller ends the session.
  bool tick();
  // The clock has reached the set length. True when the caller ends the
  // session now; else the input still owes some of its sound, and `done` is
  // told from the event loop once it is in, or after a short wait. Ending
  // the session before then drops `done`.
  bool complete(std::function<void()> done);
  // Stops, saves and closes, each step checked.
  SessionEnd end();
  // The input's level since the last call.
  InputLevel takeLevel();

  // Told once when the capture ends by itself (from the device: the Qt
  // device tells it from the event loop, never inside one of its calls).
  std::function<void()> onFailure;

 private:
  WaveDevice& device_;
  bool running_ = false;
  std::string path_;
};

}  // namespace mv
