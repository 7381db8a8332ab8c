#include "wave/layout.h"

#include <array>
#include <cstring>
#include <limits>

#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/header.h"

namespace mv {

namespace {

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint64_t get64(const uint8_t* p) { return uint64_t{get32(p)} | uint64_t{get32(p + 4)} << 32; }
void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put64(std::vector<uint8_t>& out, uint64_t v) {
  put32(out, static_cast<uint32_t>(v));
  put32(out, static_cast<uint32_t>(v >> 32));
}
void putId(std::vector<uint8_t>& out, const char (&id)[5]) { out.insert(out.end(), id, id + 4); }

[[noreturn]] void unsupported() { refuse(msg::kUnsupported); }
[[noreturn]] void sizesDisagree() { refuse(msg::kSizesDisagree); }

constexpr uint16_t kPcmTag = 1;
constexpr uint16_t kFloatTag = 3;
constexpr uint16_t kExtensibleTag = 0xFFFE;
constexpr std::size_t kPlainRecord = 16;
constexpr std::size_t kExtensibleRecord = 40;
// The sub-format GUID of an extensible record after its first two bytes,
// which hold the plain tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr int kSubFormatAt = 24;
constexpr uint32_t kUnknown32 = 0xFFFFFFFF;  // RF64: the size is in ds64
constexpr std::size_t kDs64Body = 28;         // RIFF size, data size, frames, table length
constexpr int64_t kRiffLimit = 0xFFFFFFFFLL;  // largest file a RIFF header describes

using Guid = std::array<uint8_t, 16>;
// Wave64 names its chunks with GUIDs: the RIFF word and a fixed tail.
constexpr Guid kW64Riff = {'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
constexpr Guid w64Id(char a, char b, char c, char d) {
  return {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c), static_cast<uint8_t>(d),
          0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
}
constexpr Guid kW64Wave = w64Id('w', 'a', 'v', 'e');
constexpr Guid kW64Fmt = w64Id('f', 'm', 't', ' ');
constexpr Guid kW64Data = w64Id('d', 'a', 't', 'a');
constexpr int64_t kW64ChunkHead = 24;  // GUID and 64-bit size, counted in the size

// The format a record describes, or the "unsupported" box.
PcmFormat formatOf(const std::vector<uint8_t>& r) {
  if (r.size() < kPlainRecord) unsupported();
  uint16_t tag = get16(&r[0]);
  if (tag == kExtensibleTag) {
    if (r.size() < kExtensibleRecord ||
        std::memcmp(&r[kSubFormatAt + 2], kSubFormatTail, sizeof kSubFormatTail) != 0)
      unsupported();
    tag = get16(&r[kSubFormatAt]);
  }
  PcmFormat f;
  f.channels = get16(&r[2]);
  const uint32_t rate = get32(&r[4]);
  const uint16_t blockAlign = get16(&r[12]);
  const uint16_t bits = get16(&r[14]);
  if (rate > static_cast<uint32_t>(kHighestRate) || f.channels == 0) unsupported();
  f.sampleRate = static_cast<int32_t>(rate);
  if (tag == kFloatTag) {
    f.kind = SampleKind::Float;
    f.bitsPerSample = bits;
  } else if (tag == kPcmTag && bits >= 1 && bits <= 32) {
    // Samples narrower than their bytes stand in the high bits.
    f.bitsPerSample = static_cast<uint16_t>((bits + 7) / 8 * 8);
  } else {
    unsupported();
  }
  if (!IsReadableFormat(f) || blockAlign != f.frameBytes()) unsupported();
  return f;
}

std::vector<uint8_t> readBody(ByteStream& in, int64_t at, uint64_t size) {
  // A record is a few dozen bytes; a huge one is no format record.
  if (size < kPlainRecord || size > 4096) unsupported();
  std::vector<uint8_t> body(static_cast<std::size_t>(size));
  in.seek(at);
  if (in.read(body.data(), body.size()) != body.size()) unsupported();
  return body;
}

WaveLayout readRiff(ByteStream& in) {
  WaveLayout w;
  const int64_t fmtField = FindFormatSizeField(in);
  uint8_t field[4];
  in.seek(fmtField);
  if (in.read(field, 4) != 4) unsupported();
  w.formatRecord = readBody(in, fmtField + 4, get32(field));
  w.format = formatOf(w.formatRecord);
  const int64_t dataField = FindDataSizeField(in);
  in.seek(dataField);
  if (in.read(field, 4) != 4) unsupported();
  w.dataOffset = dataField + 4;
  w.dataBytes = get32(field);
  return w;
}

WaveLayout readRf64(ByteStream& in) {
  WaveLayout w;
  w.container = Container::Rf64;
  uint8_t head[8 + kDs64Body];
  in.seek(12);
  if (in.read(head, sizeof head) != sizeof head || std::memcmp(head, "ds64", 4) != 0 || get32(&head[4]) < kDs64Body)
    sizesDisagree();
  const uint64_t dataSize = get64(&head[16]);
  const int64_t end = in.size();
  bool haveFormat = false;
  for (int64_t at = 12; at + 8 <= end;) {
    in.seek(at);
    if (in.read(head, 8) != 8) break;
    const uint32_t size = get32(&head[4]);
    if (std::memcmp(head, "fmt ", 4) == 0 && !haveFormat) {
      w.formatRecord = readBody(in, at + 8, size);
      w.format = formatOf(w.formatRecord);
      haveFormat = true;
    } else if (std::memcmp(head, "data", 4) == 0 && haveFormat) {
      w.dataOffset = at + 8;
      w.dataBytes = static_cast<int64_t>(size == kUnknown32 ? dataSize : size);
      if (w.dataBytes < 0) sizesDisagree();
      return w;
    }
    if (size == kUnknown32) sizesDisagree();  // only the data's size may be left to ds64
    at += 8 + int64_t{size} + (size & 1);
  }
  if (!haveFormat) unsupported();
  sizesDisagree();
}

WaveLayout readWave64(ByteStream& in) {
  WaveLayout w;
  w.container = Container::Wave64;
  uint8_t head[kW64ChunkHead];
  const int64_t end = in.size();
  bool haveFormat = false;
  for (int64_t at = 40; at + kW64ChunkHead <= end;) {
    in.seek(at);
    if (in.read(head, sizeof head) != sizeof head) break;
    const uint64_t size = get64(&head[16]);
    if (size < kW64ChunkHead || size > static_cast<uint64_t>(std::numeric_limits<int64_t>::max() / 2))
      sizesDisagree();
    const uint64_t body = size - kW64ChunkHead;
    if (std::memcmp(head, kW64Fmt.data(), 16) == 0 && !haveFormat) {
      w.formatRecord = readBody(in, at + kW64ChunkHead, body);
      w.format = formatOf(w.formatRecord);
      haveFormat = true;
    } else if (std::memcmp(head, kW64Data.data(), 16) == 0 && haveFormat) {
      w.dataOffset = at + kW64ChunkHead;
      w.dataBytes = static_cast<int64_t>(body);
      return w;
    }
    at += static_cast<int64_t>((size + 7) / 8 * 8);
  }
  if (!haveFormat) unsupported();
  sizesDisagree();
}

}  // namespace

namespace {

std::optional<Container> longContainer(ByteStream& in) {
  uint8_t magic[40] = {};
  in.seek(0);
  const std::size_t got = in.read(magic, sizeof magic);
  if (got >= 12 && (std::memcmp(magic, "RF64", 4) == 0 || std::memcmp(magic, "BW64", 4) == 0) &&
      std::memcmp(&magic[8], "WAVE", 4) == 0)
    return Container::Rf64;
  if (got == sizeof magic && std::memcmp(magic, kW64Riff.data(), 16) == 0 &&
      std::memcmp(&magic[24], kW64Wave.data(), 16) == 0)
    return Container::Wave64;
  return std::nullopt;
}

}  // namespace

bool IsLongWave(ByteStream& in) {
  const bool found = longContainer(in).has_value();
  in.seek(0);
  return found;
}

WaveLayout ReadWaveLayout(ByteStream& in) {
  if (const auto kind = longContainer(in)) return *kind == Container::Rf64 ? readRf64(in) : readWave64(in);
  // A listed format is read exactly as it always was.
  std::optional<int> position;
  try {
    position = ReadWaveFormat(in);
  } catch (const Error&) {
  }
  if (position) {
    WaveLayout w;
    // As the lists know it: 9 to 16 bits count as 16.
    w.format = ParseFormatLabel(kCutLabels[*position]);
    const DataLocation at = LocateWaveData(in);
    w.dataOffset = at.offset;
    w.dataBytes = at.size;
    return w;
  }
  return readRiff(in);
}

WaveLayout ReadWaveLayout(const std::string& path) {
  File in = File::openRead(path);
  return ReadWaveLayout(in);
}

CheckedFormat CheckedFormatOf(const PcmFormat& f) {
  if (IsListedFormat(f)) return {*FormatListPosition(f.channels, f.sampleRate, f.bitsPerSample), f};
  return {kExtendedPosition, f};
}

CheckedFormat CheckWaveFormat(ByteStream& in) {
  // A listed format is checked exactly as it always was.
  if (!IsLongWave(in)) {
    std::optional<int> position;
    try {
      position = ReadWaveFormat(in);
    } catch (const Error&) {
    }
    if (position) return {*position, ParseFormatLabel(kCutLabels[*position])};
  }
  return {kExtendedPosition, ReadWaveLayout(in).format};
}

std::vector<uint8_t> MakeFormatRecord(const PcmFormat& f) {
  std::vector<uint8_t> r;
  const bool extensible = !f.isFloat() && f.bitsPerSample > 16;
  put16(r, extensible ? kExtensibleTag : f.isFloat() ? kFloatTag : kPcmTag);
  put16(r, f.channels);
  put32(r, static_cast<uint32_t>(f.sampleRate));
  put32(r, static_cast<uint32_t>(f.sampleRate) * static_cast<uint32_t>(f.frameBytes()));
  put16(r, static_cast<uint16_t>(f.frameBytes()));
  put16(r, f.bitsPerSample);
  if (f.isFloat()) put16(r, 0);
  if (extensible) {
    put16(r, 22);
    put16(r, f.bitsPerSample);                // every bit valid
    put32(r, f.channels == 2 ? 0x3 : 0x4);    // front left and right, or centre
    put16(r, kPcmTag);
    r.insert(r.end(), std::begin(kSubFormatTail), std::end(kSubFormatTail));
  }
  return r;
}

ExtendedHeader::ExtendedHeader(const PcmFormat& format, std::vector<uint8_t> formatRecord, bool roomForRf64)
    : format_(format), record_(std::move(formatRecord)), rf64_(roomForRf64) {
  if (record_.empty()) record_ = MakeFormatRecord(format);
}

int64_t ExtendedHeader::size() const {
  const int64_t record = static_cast<int64_t>(record_.size() + (record_.size() & 1));
  return 12 + (rf64_ ? 8 + int64_t{kDs64Body} : 0) + 8 + record + (format_.isFloat() ? 12 : 0) +
         static_cast<int64_t>(info_.size()) + 8;
}

int64_t ExtendedHeader::maxDataBytes() const {
  return rf64_ ? std::numeric_limits<int64_t>::max() / 2 : kRiffLimit - size();
}

std::vector<uint8_t> ExtendedHeader::bytes(int64_t dataBytes) const {
  const int64_t total = size() + dataBytes;
  const bool large = total > kRiffLimit;
  const uint64_t frames = static_cast<uint64_t>(dataBytes / format_.frameBytes());
  std::vector<uint8_t> h;
  h.reserve(static_cast<std::size_t>(size()));
  putId(h, large ? "RF64" : "RIFF");
  put32(h, large ? kUnknown32 : static_cast<uint32_t>(total - 8));
  putId(h, "WAVE");
  // The room stays a JUNK chunk while the sizes fit the RIFF fields.
  if (rf64_) {
    putId(h, large ? "ds64" : "JUNK");
    put32(h, kDs64Body);
    put64(h, large ? static_cast<uint64_t>(total - 8) : 0);
    put64(h, large ? static_cast<uint64_t>(dataBytes) : 0);
    put64(h, large ? frames : 0);
    put32(h, 0);
  }
  putId(h, "fmt ");
  put32(h, static_cast<uint32_t>(record_.size()));
  h.insert(h.end(), record_.begin(), record_.end());
  if (record_.size() & 1) h.push_back(0);
  if (format_.isFloat()) {
    putId(h, "fact");
    put32(h, 4);
    put32(h, large || frames > kUnknown32 ? kUnknown32 : static_cast<uint32_t>(frames));
  }
  h.insert(h.end(), info_.begin(), info_.end());
  putId(h, "data");
  put32(h, large ? kUnknown32 : static_cast<uint32_t>(dataBytes));
  return h;
}

}  // namespace mv
