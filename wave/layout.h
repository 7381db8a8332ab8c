#pragma once
// WAVE files beyond the 24 listed formats: where RIFF (plain or extensible
// record), RF64 and Wave64 files hold samples of any readable format, and the
// header of an output in such a format. A file in a listed format is read as
// header.h reads it, so that nothing about it changes.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "wave/file.h"
#include "wave/format.h"

namespace mv {

enum class Container : uint8_t { Riff, Rf64, Wave64, Flac };

struct WaveLayout {
  PcmFormat format;
  Container container = Container::Riff;
  // The fmt chunk's body as the file has it (empty for FLAC).
  std::vector<uint8_t> formatRecord;
  int64_t dataOffset = 0;  // first sample
  int64_t dataBytes = 0;   // declared; a file may end before them
  // A RIFF file in one of the 24 listed formats, whose every rule stays.
  bool listed() const { return container == Container::Riff && IsListedFormat(format); }
};

// An output whose data passes this needs room for RF64 sizes.
inline constexpr int64_t kRiffDataLimit = 0xFFFFFFFFLL - 256;

// Whether the stream starts as an RF64 or a Wave64 file, whose sizes are
// 64-bit whatever its samples.
bool IsLongWave(ByteStream& in);

// The format and data of any WAVE file Morvane reads, or the "unsupported"
// box: more than 2 channels, samples of no readable kind, a rate outside the
// range; "sizes disagree" for an RF64 or Wave64 file whose size fields cannot
// be followed.
WaveLayout ReadWaveLayout(ByteStream& in);
WaveLayout ReadWaveLayout(const std::string& path);

// The format check's answer: a position in the lists, or the entry after
// them for a format outside them.
inline constexpr int kExtendedPosition = kFormatCount;
struct CheckedFormat {
  int position = kDefaultFormatPosition;
  PcmFormat format;
  bool operator==(const CheckedFormat&) const = default;
};
// The position of a format: its own in the lists, or kExtendedPosition.
CheckedFormat CheckedFormatOf(const PcmFormat& format);
// The format check of a WAVE file of any kind (RF64 and Wave64 files are
// outside the lists whatever their samples).
CheckedFormat CheckWaveFormat(ByteStream& in);

// An output's header for a format outside the lists: the format record
// (the source's own, or one made for the format when empty), a "fact" chunk
// for floats, and, when the output may pass 4 GiB, room for the RF64 sizes.
class ExtendedHeader {
 public:
  ExtendedHeader(const PcmFormat& format, std::vector<uint8_t> formatRecord, bool roomForRf64);
  // A chunk to go between the format and the data (a piece's tags): counted in
  // the header's size and in the RIFF and RF64 sizes. Of even size.
  void setInfo(std::vector<uint8_t> chunk) { info_ = std::move(chunk); }
  // The whole header for dataBytes of samples: RIFF up to 4 GiB - 1 bytes of
  // file, RF64 beyond (only with room); always the same length.
  std::vector<uint8_t> bytes(int64_t dataBytes) const;
  int64_t size() const;
  // The largest data this header can declare.
  int64_t maxDataBytes() const;

 private:
  PcmFormat format_;
  std::vector<uint8_t> record_;
  bool rf64_;
  std::vector<uint8_t> info_;
};

// A format record made for the format: tag 1 or 3 up to 16 bits and 2
// channels, the extensible record above that.
std::vector<uint8_t> MakeFormatRecord(const PcmFormat& format);

}  // namespace mv
