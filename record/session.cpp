#include "record/session.h"

#include <algorithm>

#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {

RecordingSession::~RecordingSession() {
  if (running_) end();
}

void RecordingSession::start(const std::string& path, const PcmFormat& format, const std::string& input,
                             std::optional<int> length) {
  if (running_) end();
  // The input is found before the file is touched, so that a server or an
  // input gone since the front end looked leaves the folder as it was.
  device_.choose(input, format);
  const bool replacing = FileExists(path);
  PrepareRecordingFile(path, format);
  device_.setOnFailure([this] {
    if (running_ && onFailure) onFailure();
  });
  try {
    device_.open(path, length ? std::max(*length, 1) : 0);
    device_.record();
  } catch (...) {
    device_.setOnFailure(nullptr);
    try {
      device_.close();
    } catch (const Error&) {
      // The error that ended the start is the one to tell.
    }
    // A start that fails leaves no file of its own; a recording the user
    // agreed to replace is gone already, and its empty successor stays.
    if (!replacing) DeleteFile(path);
    throw;
  }
  path_ = path;
  running_ = true;
}

bool RecordingSession::tick() {
  if (!running_) return false;
  device_.flush();
  return !device_.failure();
}

bool RecordingSession::complete(std::function<void()> done) {
  return !running_ || device_.complete(std::move(done));
}

SessionEnd RecordingSession::end() {
  SessionEnd r;
  if (!running_) return r;
  running_ = false;
  std::string error;
  // Every step runs, whatever the one before it did: the file is finished
  // and the device released on every way out.
  for (void (WaveDevice::*step)() : {&WaveDevice::stop, &WaveDevice::save, &WaveDevice::close}) {
    try {
      (device_.*step)();
    } catch (const Error& e) {
      if (error.empty()) error = e.shownText();
    }
  }
  device_.setOnFailure(nullptr);
  if (const auto why = device_.failure()) {
    r.ok = false;
    r.message = FailureMessage(*why);
  } else if (!error.empty()) {
    r.ok = false;
    r.message = error;
  }
  return r;
}

InputLevel RecordingSession::takeLevel() { return running_ ? device_.takeLevel() : InputLevel{}; }

}  // namespace mv
