#include "wave/header.h"

#include <array>
#include <cstring>

#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/format.h"

namespace mv {

namespace {

void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

constexpr uint32_t kFmtChunkSize = 16;
constexpr uint16_t kPcmTag = 1;
constexpr int kRiffSizeOffset = 4;
constexpr int kDataSizeOffset = 40;
constexpr std::size_t kFormatRecordSize = 18;  // tag .. extension size

[[noreturn]] void unsupported() { refuse(msg::kUnsupported); }

}  // namespace

void WriteWaveHeader(ByteStream& out, const PcmFormat& f) {
  const int32_t bytesPerSample = f.bitsPerSample / 8;
  const int32_t byteRate = mul32(mul32(f.channels, f.sampleRate), bytesPerSample);
  const uint16_t blockAlign = narrow<uint16_t>(mul32(f.channels, bytesPerSample));

  std::array<uint8_t, kHeaderSize> h{};
  std::memcpy(&h[0], "RIFF", 4);
  put32(&h[4], 0);
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  put32(&h[16], kFmtChunkSize);
  put16(&h[20], kPcmTag);
  put16(&h[22], f.channels);
  put32(&h[24], static_cast<uint32_t>(f.sampleRate));
  put32(&h[28], static_cast<uint32_t>(byteRate));
  put16(&h[32], blockAlign);
  put16(&h[34], f.bitsPerSample);
  std::memcpy(&h[36], "data", 4);
  put32(&h[40], 0);
  out.write(h.data(), h.size());
}

void FinishWaveHeader(ByteStream& out) {
  const int32_t size = narrow<int32_t>(out.size());
  uint8_t field[4];
  put32(field, static_cast<uint32_t>(sub32(size, 8)));
  out.seek(kRiffSizeOffset);
  out.write(field, 4);
  put32(field, static_cast<uint32_t>(sub32(size, kHeaderSize)));
  out.seek(kDataSizeOffset);
  out.write(field, 4);
  out.seek(size);
}

void WriteWaveSizes(File& out, int32_t fileSize) {
  uint8_t field[4];
  put32(field, static_cast<uint32_t>(sub32(fileSize, 8)));
  out.writeAt(kRiffSizeOffset, field, 4);
  put32(field, static_cast<uint32_t>(sub32(fileSize, kHeaderSize)));
  out.writeAt(kDataSizeOffset, field, 4);
}

std::string UpperExtension(std::string_view name) {
  const auto slash = name.rfind('/');
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
    return {};
  std::string ext(name.substr(dot));
  for (char& ch : ext)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return ext;
}

bool IsWaveFileName(std::string_view name) { return UpperExtension(name) == ".WAV"; }

bool FindMarker(ByteStream& in, const char (&marker)[5]) {
  // A read at the end leaves the rest of the word as it was.
  char word[4] = {' ', ' ', ' ', ' '};
  for (int count = 0;; ++count) {
    if (std::memcmp(word, marker, 4) == 0) return count < kMarkerWords;
    if (count == kMarkerWords) return false;
    in.read(word, 4);
  }
}

namespace {

struct FormatRecord {
  uint32_t channels, rate, bits;
};

FormatRecord readFormatRecord(ByteStream& in) {
  in.seek(0);
  if (!FindMarker(in, "fmt ")) unsupported();
  in.seek(in.position() + 4);
  uint8_t record[kFormatRecordSize];
  if (in.read(record, sizeof record) != sizeof record) unsupported();
  if (get16(&record[0]) != kPcmTag) unsupported();
  return {get16(&record[2]), get32(&record[4]), get16(&record[14])};
}

}  // namespace

int ReadWaveFormat(ByteStream& in) {
  const FormatRecord r = readFormatRecord(in);
  auto position = FormatListPosition(r.channels, r.rate, r.bits);
  if (!position) unsupported();
  return *position;
}

PcmFormat ReadHeaderFormat(ByteStream& in) {
  const FormatRecord r = readFormatRecord(in);
  PcmFormat f;
  f.channels = static_cast<uint16_t>(r.channels);
  f.sampleRate = narrow<int32_t>(r.rate);
  f.bitsPerSample = static_cast<uint16_t>(r.bits);
  return f;
}

int ReadWaveFormat(const std::string& path) {
  File in = File::openRead(path);
  return ReadWaveFormat(in);
}

DataLocation LocateWaveData(ByteStream& in) {
  in.seek(0);
  if (!FindMarker(in, "fmt ")) unsupported();
  uint8_t field[4];
  if (in.read(field, 4) != 4) unsupported();
  in.seek(in.position() + get32(field));
  if (!FindMarker(in, "data")) unsupported();
  if (in.read(field, 4) != 4) unsupported();
  DataLocation where;
  where.size = narrow<int32_t>(get32(field));
  where.offset = in.position();
  return where;
}

}  // namespace mv
