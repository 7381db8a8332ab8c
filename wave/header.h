#pragma once
// The 44-byte WAVE header Morvane writes, its finishing step, and the reading
// of WAVE files: the word-by-word marker search, and where it misses, a walk
// of the file's RIFF chunks.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "wave/file.h"
#include "wave/format.h"

namespace mv {

inline constexpr int kHeaderSize = 44;
// "fmt " and "data" are looked for in the first 199 words of a search.
inline constexpr int kMarkerWords = 200;

// The header of a file of fileSize bytes in the format.
std::array<uint8_t, kHeaderSize> WaveHeader(const PcmFormat& format, int32_t fileSize);
// Writes the header of an empty file in the format (a valid WAVE file with
// no samples); leaves the stream at 44.
void WriteWaveHeader(ByteStream& out, const PcmFormat& format);
// Patches the RIFF and data sizes from the stream's size; the position is
// left at the end.
void FinishWaveHeader(ByteStream& out);
// Patches both sizes for a file of fileSize bytes, leaving the position alone.
void WriteWaveSizes(File& out, const PcmFormat& format, int32_t fileSize);

// True when the extension (from the last "." after the last "/"), upper-cased,
// is ".WAV".
bool IsWaveFileName(std::string_view name);
// The extension as IsWaveFileName finds it, upper-cased ("" when none).
std::string UpperExtension(std::string_view name);

bool FindMarker(ByteStream& in, const char (&marker)[5]);

// The list position of a WAVE file's format, or the "unsupported" box: PCM
// (plain or extensible) of 1 or 2 channels, up to 16 bits, at a listed rate.
int ReadWaveFormat(ByteStream& in);
int ReadWaveFormat(const std::string& path);

// The channels, rate and sample size a WAVE header declares, or the
// "unsupported" box when it has no PCM format record Morvane can read.
PcmFormat ReadHeaderFormat(ByteStream& in);

// The offsets of the fmt and the data chunks' size fields, as the word search
// or else the walk of the RIFF chunks finds them; the "unsupported" box when
// there are none.
int64_t FindFormatSizeField(ByteStream& in);
int64_t FindDataSizeField(ByteStream& in);

struct DataLocation {
  int64_t offset = 0;  // first sample
  int32_t size = 0;    // bytes of sample data declared
};
// The data chunk that follows the fmt chunk; leaves the stream at the first
// sample.
DataLocation LocateWaveData(ByteStream& in);

}  // namespace mv
