#pragma once
// The bench's tapes: 16-bit stereo WAVE files at 44.1 kHz, written by hand
// so that the bench needs none of the code it measures.

#include <cstdint>
#include <cstdio>

namespace bench {

inline constexpr int kRate = 44100;

inline void Put32(std::FILE* f, uint32_t v) {
  for (int i = 0; i < 4; ++i) std::fputc(static_cast<int>(v >> (8 * i)) & 0xFF, f);
}
inline void Put16(std::FILE* f, uint16_t v) {
  std::fputc(v & 0xFF, f);
  std::fputc(v >> 8, f);
}

// The 44-byte header of frames stereo 16-bit frames.
inline void PutHeader(std::FILE* f, int64_t frames) {
  const auto dataBytes = static_cast<uint32_t>(frames * 4);
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, dataBytes + 36);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);
  Put16(f, 2);
  Put32(f, kRate);
  Put32(f, kRate * 4);
  Put16(f, 4);
  Put16(f, 16);
  std::fwrite("data", 1, 4, f);
  Put32(f, dataBytes);
}

}  // namespace bench
