#pragma once
// A FLAC file read as the bytes a WAVE file of the same samples holds after
// its header, so that the engines cut and join it as they do WAVE data.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "wave/file.h"
#include "wave/format.h"

namespace mv {

// The stream starts with "fLaC", also behind an ID3v2 tag. Reads from the
// start; the stream's position is put back.
bool IsFlacStream(ByteStream& in);

struct FlacStreamInfo {
  // The WAVE layout of the decoded bytes: integers, little-endian, in 8, 16,
  // 24 or 32 bits; a narrower sample stands in the high bits, and 8-bit
  // samples are unsigned (128 = zero), as WAVE has them.
  PcmFormat format;
  int32_t bits = 0;    // FLAC's own depth, 4 to 32
  int64_t frames = 0;  // samples per channel
};

class FlacSource final : public ByteStream {
 public:
  // A regular file (kCannotOpen otherwise). More than two channels are
  // refused with kUnsupported; a stream that is no FLAC or cannot be decoded
  // raises kFlacDecodeError. A stream whose STREAMINFO gives no total is
  // decoded once through to count its frames.
  static std::unique_ptr<FlacSource> open(const std::string& path);
  // The same on any stream; name stands for it in the messages.
  static std::unique_ptr<FlacSource> open(std::unique_ptr<ByteStream> in, const std::string& name);

  FlacSource(const FlacSource&) = delete;
  FlacSource& operator=(const FlacSource&) = delete;
  ~FlacSource() override;

  const FlacStreamInfo& info() const { return info_; }

  // Decoded bytes in order; fewer than asked only at the end. A frame that
  // cannot be decoded (lost sync, bad CRC, the stream ending before its
  // total) raises kFlacDecodeError and none of its bytes are given.
  std::size_t read(void* buf, std::size_t n) override;
  // To a whole frame (pos a multiple of frameBytes, 0 to size); any other
  // position raises kRangeError.
  void seek(int64_t pos) override;
  int64_t position() const override { return position_; }
  // frames × frameBytes.
  int64_t size() const override;
  [[noreturn]] void endedEarly() override;
  // A source is never written: these raise kWriteError.
  void write(const void* buf, std::size_t n) override;
  void truncate(int64_t n) override;

 private:
  struct Callbacks;
  FlacSource(std::unique_ptr<ByteStream> in, std::string name);
  void start();
  // Decodes the next frame into pending_, or raises.
  void decodeNext();
  // Raises what went wrong inside libFLAC's calls, if anything did.
  void check(bool ok);
  [[noreturn]] void fail();

  std::unique_ptr<ByteStream> in_;
  std::string name_;
  void* decoder_ = nullptr;  // FLAC__StreamDecoder
  FlacStreamInfo info_;
  int64_t position_ = 0;
  int64_t decodeAt_ = 0;          // the frame the next decoded sample is
  std::vector<uint8_t> pending_;  // decoded bytes from position_ on
  std::size_t pendingAt_ = 0;
  bool counting_ = false;  // the pass that counts a stream without a total
  bool seeking_ = false;
  bool broken_ = false;    // libFLAC reported an error or a frame did not fit
  bool sawInfo_ = false;
  std::exception_ptr thrown_;  // from the stream, held across libFLAC's C frames
};

}  // namespace mv
