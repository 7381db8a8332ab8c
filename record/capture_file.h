#pragma once
// The recording file as a device fills it: captured bytes appended behind
// the header (44 bytes, or the extensible one of a 24-bit recording, whose
// sound comes as 32-bit integers and is kept as their top three bytes) as
// they arrive, whole frames only, never past the
// largest size the header can describe; the header brought up to date and
// the data put on the disk at every refresh; the input level measured on the
// way; nothing past the recording's set length. A write error or the size
// limit ends the capture, and the file keeps everything written before it,
// valid.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wave/file.h"
#include "wave/format.h"
#include "wave/layout.h"

namespace mv {

// Sample data a recording may hold at most: with its 44-byte header the file
// stays below 2 GiB, the most that the header's signed 32-bit sizes tell.
inline constexpr int64_t kMaxRecordingBytes = 2147483603;
// The same file size for a format whose header is longer.
int64_t MaxRecordingBytes(const PcmFormat& format);

// Why a capture ended before it was stopped.
enum class CaptureFailure {
  WriteError,   // the file took no more (full disk, file-size limit)
  InputLost,    // the sound server or the input went away
  InputSilent,  // no bytes came from the input for a while
  SizeLimit,    // the file reached kMaxRecordingBytes of samples
};

// The message that tells the user what ended the recording.
std::string_view FailureMessage(CaptureFailure why);

// The input's level since the last look, per channel (left, right).
struct InputLevel {
  int channels = 0;                   // 0: nothing captured since the last look
  float peak[2] = {0, 0};             // largest |sample| as a fraction of full scale
  bool clipped[2] = {false, false};   // a sample reached full scale
};

class CaptureFile {
 public:
  // How the file is opened; a test puts in a stream that fails.
  using Opener = std::function<std::unique_ptr<ByteStream>(const std::string& path)>;
  static std::unique_ptr<ByteStream> OpenFile(const std::string& path);

  // Opens the prepared file, takes the format from its header and keeps the
  // header alone. Raises the file's errors (cannot open, unsupported).
  void open(const std::string& path, const Opener& opener = OpenFile);
  bool isOpen() const { return file_ != nullptr; }
  const PcmFormat& format() const { return format_; }
  // The recording's set length, after open: what comes after it is left
  // out. 0: none, the file takes what comes until the capture ends.
  void setLength(int seconds);
  // The file holds the set length.
  bool full() const { return wanted_ >= 0 && written_ >= wanted_; }

  // Writes captured bytes at once; a frame cut in two waits for its rest.
  // False once the capture cannot go on (see failure()); then nothing more
  // is taken.
  bool append(const void* data, std::size_t n);
  // The header's sizes up to date and the data on the disk, in an order
  // that never lets the header claim bytes the disk does not hold.
  bool refresh();
  // Ends the capture for a reason of the input; the first reason stays.
  void fail(CaptureFailure why);
  std::optional<CaptureFailure> failure() const { return failure_; }
  // The level since the last call.
  InputLevel takeLevel();
  int64_t dataBytes() const { return written_; }
  // Refreshes and closes; a failure to do so is a write error. Never throws.
  void close() noexcept;

  // The sample data the file may hold; tests lower it.
  int64_t limit = kMaxRecordingBytes;

 private:
  // Whole captured frames, packed to the file's samples first.
  bool write(const uint8_t* data, std::size_t n);
  bool writeFile(const uint8_t* data, std::size_t n);
  void measure(const uint8_t* data, std::size_t n);
  void writeSizes();

  std::unique_ptr<ByteStream> file_;
  PcmFormat format_;
  int frameSize_ = 0;    // in the file
  int inputFrame_ = 0;   // as captured
  int64_t headerSize_ = 0;
  std::optional<ExtendedHeader> extended_;  // a 24-bit recording's header
  std::vector<uint8_t> packed_;
  int64_t written_ = 0;    // sample bytes in the file, whole frames
  int64_t wanted_ = -1;    // the set length in bytes; -1: none
  int64_t refreshed_ = 0;  // what the header says
  std::vector<uint8_t> partial_;
  std::optional<CaptureFailure> failure_;
  InputLevel level_;
};

}  // namespace mv
