#include "wave/header.h"

#include <array>
#include <cstring>
#include <optional>

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

std::array<uint8_t, kHeaderSize> WaveHeader(const PcmFormat& f, int32_t fileSize) {
  const int32_t bytesPerSample = f.bitsPerSample / 8;
  const int32_t byteRate = mul32(mul32(f.channels, f.sampleRate), bytesPerSample);
  const uint16_t blockAlign = narrow<uint16_t>(mul32(f.channels, bytesPerSample));

  std::array<uint8_t, kHeaderSize> h{};
  std::memcpy(&h[0], "RIFF", 4);
  put32(&h[4], static_cast<uint32_t>(sub32(fileSize, 8)));
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
  put32(&h[40], static_cast<uint32_t>(sub32(fileSize, kHeaderSize)));
  return h;
}

void WriteWaveHeader(ByteStream& out, const PcmFormat& f) {
  const auto h = WaveHeader(f, kHeaderSize);
  out.write(h.data(), h.size());
}

void FinishWaveHeader(ByteStream& out) {
  const int32_t size = narrow<int32_t>(out.size());
  // Both sizes and what lies between them in one write, so that no moment
  // shows one size without the other.
  uint8_t h[kHeaderSize];
  out.seek(0);
  out.readFull(h, sizeof h);
  put32(&h[kRiffSizeOffset], static_cast<uint32_t>(sub32(size, 8)));
  put32(&h[kDataSizeOffset], static_cast<uint32_t>(sub32(size, kHeaderSize)));
  out.seek(kRiffSizeOffset);
  out.write(&h[kRiffSizeOffset], kHeaderSize - kRiffSizeOffset);
  out.seek(size);
}

void WriteWaveSizes(File& out, const PcmFormat& f, int32_t fileSize) {
  // Both sizes in one write, so that no moment shows one without the other.
  const auto h = WaveHeader(f, fileSize);
  out.writeAt(kRiffSizeOffset, h.data() + kRiffSizeOffset, kHeaderSize - kRiffSizeOffset);
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

constexpr uint16_t kExtensibleTag = 0xFFFE;
constexpr uint32_t kExtensibleSize = 40;
constexpr int kSubFormatOffset = 24;  // in the format body
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr int kFirstChunk = 12;

// The first "fmt " chunk of the file's RIFF chunks and the first "data" chunk
// after it, each as the offset of its size field. Asked only where the word
// search misses, so that a file the search reads is read as it always was.
struct Chunks {
  std::optional<int64_t> fmt, data;
};

Chunks walkChunks(ByteStream& in) {
  Chunks found;
  uint8_t head[8];
  in.seek(0);
  if (in.read(head, 8) != 8 || std::memcmp(head, "RIFF", 4) != 0) return found;
  if (in.read(head, 4) != 4 || std::memcmp(head, "WAVE", 4) != 0) return found;
  // The RIFF size is not trusted: writers that stream leave it 0 or too large.
  const int64_t end = in.size();
  for (int64_t at = kFirstChunk; at + 8 <= end;) {
    in.seek(at);
    if (in.read(head, 8) != 8) break;
    if (!found.fmt && std::memcmp(head, "fmt ", 4) == 0) {
      found.fmt = at + 4;
    } else if (found.fmt && std::memcmp(head, "data", 4) == 0) {
      found.data = at + 4;
      break;
    }
    const uint32_t size = get32(&head[4]);
    at += 8 + int64_t{size} + (size & 1);
  }
  return found;
}


}  // namespace

int64_t FindFormatSizeField(ByteStream& in) {
  in.seek(0);
  if (FindMarker(in, "fmt ")) return in.position();
  const Chunks chunks = walkChunks(in);
  if (!chunks.fmt) unsupported();
  return *chunks.fmt;
}

int64_t FindDataSizeField(ByteStream& in) {
  in.seek(0);
  if (FindMarker(in, "fmt ")) {
    uint8_t field[4];
    if (in.read(field, 4) != 4) unsupported();
    in.seek(in.position() + get32(field));
    if (FindMarker(in, "data")) return in.position();
  }
  const Chunks chunks = walkChunks(in);
  if (!chunks.data) unsupported();
  return *chunks.data;
}

namespace {

bool hasPcmSubFormat(ByteStream& in, int64_t body) {
  uint8_t guid[sizeof kPcmSubFormat];
  in.seek(body + kSubFormatOffset);
  return in.read(guid, sizeof guid) == sizeof guid &&
         std::memcmp(guid, kPcmSubFormat, sizeof guid) == 0;
}

struct FormatRecord {
  uint32_t channels, rate, bits;
};

FormatRecord readFormatRecord(ByteStream& in) {
  const int64_t sizeField = FindFormatSizeField(in);
  in.seek(sizeField);
  uint8_t field[4 + kFormatRecordSize];
  if (in.read(field, sizeof field) != sizeof field) unsupported();
  const uint8_t* record = &field[4];
  uint16_t tag = get16(&record[0]);
  if (tag == kExtensibleTag && get32(field) >= kExtensibleSize &&
      hasPcmSubFormat(in, sizeField + 4))
    tag = kPcmTag;
  if (tag != kPcmTag) unsupported();
  const FormatRecord r{get16(&record[2]), get32(&record[4]), get16(&record[14])};
  // Wider samples and more channels than a stereo pair would be cut as noise.
  if (r.bits > 16 || (r.channels != 1 && r.channels != 2)) unsupported();
  return r;
}

// The data size at the field, the stream left at the first sample.
DataLocation dataAt(ByteStream& in, int64_t sizeField) {
  in.seek(sizeField);
  uint8_t field[4];
  if (in.read(field, 4) != 4) unsupported();
  DataLocation where;
  where.size = narrow<int32_t>(get32(field));
  where.offset = in.position();
  return where;
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

DataLocation LocateWaveData(ByteStream& in) { return dataAt(in, FindDataSizeField(in)); }

}  // namespace mv
