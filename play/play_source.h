#pragma once
// A source read for listening: any WAVE file the engines read, or a FLAC file
// by its content, read a block of frames at a time from any frame and handed
// over in one of the sample kinds a sound output takes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wave/file.h"
#include "wave/format.h"

namespace mv {

class FlacSource;

// What an output is given: signed 16 or 32 bits, or 32-bit floats, in the
// source's channels and rate.
enum class OutputKind : uint8_t { Int16, Int32, Float };
int OutputSampleBytes(OutputKind kind);
// The kind that keeps every bit of the format: 16 bits for 8 and 16, 32 for
// wider integers, floats for floats.
OutputKind OutputKindFor(const PcmFormat& format);
// count samples of the format, as a WAVE file stores them, into the kind:
// integers are scaled by their bytes (24 bits to 32 keeps the value in the
// high bits); floats are clamped to full scale for integers.
void ConvertSamples(const uint8_t* in, const PcmFormat& format, std::size_t count, OutputKind kind, void* out);

class PlaySource {
 public:
  // Raises the engines' errors: a file that cannot be opened, a format they
  // do not read, a FLAC stream that cannot be decoded.
  static std::unique_ptr<PlaySource> open(const std::string& path);
  ~PlaySource();
  PlaySource(const PlaySource&) = delete;
  PlaySource& operator=(const PlaySource&) = delete;

  const PcmFormat& format() const { return format_; }
  // Whole frames of data the file holds (a file cut short counts what it has).
  int64_t frames() const { return frames_; }
  // To frame 0..frames().
  void seek(int64_t frame);
  // Up to maxFrames frames from the position, converted; fewer only at the
  // end of the data. out holds maxFrames × channels samples of the kind.
  int64_t read(void* out, int64_t maxFrames, OutputKind kind);

 private:
  PlaySource() = default;
  std::unique_ptr<ByteStream> file_;
  std::unique_ptr<FlacSource> flac_;
  ByteStream* in_ = nullptr;
  PcmFormat format_;
  int64_t dataOffset_ = 0;
  int64_t frames_ = 0;
  int64_t position_ = 0;
  std::vector<uint8_t> raw_;
};

// The frames played around a cut, clamped to the data: the seconds before
// it, ending on it, and the seconds after it, starting on it. Half-open.
struct FrameRange {
  int64_t from = 0;
  int64_t to = 0;
  bool operator==(const FrameRange&) const = default;
};
inline constexpr double kAroundCutSeconds = 3.0;
FrameRange BeforeCut(int64_t cut, int64_t totalFrames, int32_t rate, double seconds);
FrameRange AfterCut(int64_t cut, int64_t totalFrames, int32_t rate, double seconds);

}  // namespace mv
