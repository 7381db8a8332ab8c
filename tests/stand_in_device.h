#pragma once
// A wave-audio device for tests: it writes through the real recording file
// (CaptureFile), and the test gives it the captured bytes, one block at each
// flush (the clock's tick) or when it likes, and makes its input go away or
// owe sound at the clock's end.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "record/capture_file.h"
#include "record/wave_device.h"
#include "wave/errors.h"

namespace mv::test {

struct StandInDevice : WaveDevice {
  std::vector<std::string> calls;
  bool failOpen = false;
  bool inputGone = false;           // the server or the input has gone
  std::string defaultInput = "mic";  // the desktop's default at the moment
  int length = -1;                   // what open was given
  std::vector<uint8_t> perTick;  // captured at each flush, and at stop
  CaptureFile capture;
  CaptureFile::Opener opener = CaptureFile::OpenFile;
  bool late = false;            // the end waits until the test calls done
  std::function<void()> done;   // what the end waits for, while it waits

  std::string find(const std::string& input, const PcmFormat&) override {
    if (inputGone) refuse(msg::kRecordingInputGone);
    return input.empty() ? defaultInput : input;
  }
  void open(const std::string& file, int seconds) override {
    calls.push_back("open");
    if (failOpen) raise(msg::kUnknownDeviceError);
    capture.open(file, opener);
    capture.setLength(length = seconds);
    told = false;
  }
  void record() override { calls.push_back("record"); }
  void flush() override {
    deliver(perTick);
    if (!capture.refresh()) tell();
  }
  bool complete(std::function<void()> then) override {
    if (!late || capture.full()) return true;
    done = std::move(then);
    return false;
  }
  void stop() override {
    calls.push_back("stop");
    done = nullptr;
    deliver(perTick);  // what came in since the last tick
  }
  void save() override {
    calls.push_back("save");
    capture.refresh();
  }
  void close() override {
    calls.push_back("close");
    capture.close();
  }
  std::optional<CaptureFailure> failure() const override { return capture.failure(); }
  InputLevel takeLevel() override { return capture.takeLevel(); }

  // Bytes from the input, as they arrive.
  void deliver(const std::vector<uint8_t>& bytes) {
    if (capture.isOpen() && !capture.failure() && !capture.append(bytes.data(), bytes.size())) tell();
  }
  // The sound the end waits for: once the file holds the set length, the
  // wait is over.
  void deliverLate(const std::vector<uint8_t>& bytes) {
    deliver(bytes);
    if (done && capture.full()) std::exchange(done, nullptr)();
  }
  // The server or the input goes away.
  void lose(CaptureFailure why = CaptureFailure::InputLost) {
    capture.fail(why);
    tell();
  }

 private:
  void tell() {
    if (told) return;
    told = true;
    tellFailure();
  }
  bool told = false;
};

// A stream over a real file that takes only `room` more bytes, then raises
// the write error, as a full disk does.
class FullDisk : public ByteStream {
 public:
  FullDisk(std::unique_ptr<ByteStream> file, int64_t room) : file_(std::move(file)), room_(room) {}
  std::size_t read(void* buf, std::size_t n) override { return file_->read(buf, n); }
  void write(const void* buf, std::size_t n) override {
    // Header patches land inside the file and need no new room.
    const int64_t grows = std::max<int64_t>(0, file_->position() + static_cast<int64_t>(n) - file_->size());
    if (grows > room_) {
      const auto part = static_cast<std::size_t>(room_);
      file_->write(buf, part);  // a part gets in, as on a real disk
      room_ = 0;
      raise(msg::kWriteError);
    }
    room_ -= grows;
    file_->write(buf, n);
  }
  void seek(int64_t pos) override { file_->seek(pos); }
  int64_t position() const override { return file_->position(); }
  int64_t size() const override { return file_->size(); }
  void truncate(int64_t n) override { file_->truncate(n); }
  void sync() override { file_->sync(); }

 private:
  std::unique_ptr<ByteStream> file_;
  int64_t room_;
};

// An opener whose files fill the disk after `room` more bytes.
inline CaptureFile::Opener FullDiskAfter(int64_t room) {
  return [room](const std::string& path) -> std::unique_ptr<ByteStream> {
    return std::make_unique<FullDisk>(CaptureFile::OpenFile(path), room);
  };
}

}  // namespace mv::test
