#include "cutlist/markers.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "album/list_text.h"
#include "album/utf8.h"
#include "cutlist/forms.h"
#include "wave/errors.h"
#include "wave/layout.h"

namespace mv {
namespace {

uint32_t get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

constexpr int64_t kFirstChunk = 12;
constexpr uint32_t kUnknown32 = 0xFFFFFFFF;  // RF64: the data's size is in ds64
constexpr std::size_t kCuePointBytes = 24;   // ID, position, chunk, chunk start, block start, sample offset
constexpr std::size_t kSampleOffsetAt = 20;
// Far more markers than any recorder writes; a larger chunk is broken.
constexpr uint32_t kMaxChunkBytes = 1u << 24;

[[noreturn]] void broken() { refuse(msg::kMarkersBroken); }

struct Marker {
  uint32_t id;
  int64_t frame;
  int32_t place;  // in the cue chunk, from 1
};

std::vector<uint8_t> ReadBody(ByteStream& in, int64_t at, uint32_t size) {
  if (size > kMaxChunkBytes || at + size > in.size()) broken();
  std::vector<uint8_t> body(size);
  in.seek(at);
  if (size > 0 && in.read(body.data(), body.size()) != body.size()) broken();
  return body;
}

std::vector<Marker> CuePoints(const std::vector<uint8_t>& body) {
  if (body.size() < 4) broken();
  const uint32_t count = get32(body.data());
  if (count > (body.size() - 4) / kCuePointBytes) broken();
  std::vector<Marker> markers;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = body.data() + 4 + i * kCuePointBytes;
    markers.push_back({get32(p), get32(p + kSampleOffsetAt), static_cast<int32_t>(i + 1)});
  }
  return markers;
}

// The text up to its first NUL, blanks around it gone: UTF-8 as it is,
// anything else as Latin-1.
std::string LabelText(const uint8_t* p, std::size_t n) {
  const std::string_view raw(reinterpret_cast<const char*>(p), n);
  const std::string_view text = TrimBlanks(raw.substr(0, raw.find('\0')));
  bool utf8 = true;
  for (std::size_t i = 0; i < text.size() && utf8;) {
    const std::size_t length = utf8::CharLength(text, i);
    utf8 = length > 0;
    i += length;
  }
  if (utf8) return std::string(text);
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

// The labl texts of a LIST/adtl body by cue point ID; the first for an ID.
void ReadLabels(const std::vector<uint8_t>& body, std::map<uint32_t, std::string>& labels) {
  for (std::size_t at = 4; at + 8 <= body.size();) {
    const uint32_t size = get32(&body[at + 4]);
    if (size > body.size() - at - 8) broken();
    if (std::memcmp(&body[at], "labl", 4) == 0) {
      if (size < 4) broken();
      labels.emplace(get32(&body[at + 8]), LabelText(&body[at + 12], size - 4));
    }
    at += 8 + size + (size & 1);
  }
}

}  // namespace

CutList ReadMarkers(ByteStream& in) {
  const WaveLayout layout = ReadWaveLayout(in);
  if (layout.container != Container::Riff && layout.container != Container::Rf64) refuse(msg::kMarkersNone);
  const int64_t frameBytes = layout.format.frameBytes();
  const int64_t frames = std::clamp<int64_t>(in.size() - layout.dataOffset, 0, layout.dataBytes) / frameBytes;

  std::optional<std::vector<Marker>> markers;
  std::map<uint32_t, std::string> labels;
  uint8_t head[8];
  for (int64_t at = kFirstChunk; at + 8 <= in.size();) {
    in.seek(at);
    if (in.read(head, 8) != 8) break;
    const uint32_t size = get32(&head[4]);
    int64_t body = size;
    if (size == kUnknown32 && layout.container == Container::Rf64 && at + 8 == layout.dataOffset)
      body = layout.dataBytes;
    if (std::memcmp(head, "cue ", 4) == 0 && !markers) {
      markers = CuePoints(ReadBody(in, at + 8, size));
    } else if (std::memcmp(head, "LIST", 4) == 0 && size >= 4) {
      // Only the labels' list counts: another (INFO, a large one) is no concern here.
      uint8_t type[4];
      if (in.read(type, 4) == 4 && std::memcmp(type, "adtl", 4) == 0) ReadLabels(ReadBody(in, at + 8, size), labels);
    }
    at += 8 + body + (body & 1);
  }
  if (!markers || markers->empty()) refuse(msg::kMarkersNone);

  std::stable_sort(markers->begin(), markers->end(),
                   [](const Marker& a, const Marker& b) { return a.frame < b.frame; });
  CutList list;
  const int32_t rate = layout.format.sampleRate;
  for (std::size_t i = 0; i < markers->size(); ++i) {
    const Marker& m = (*markers)[i];
    if (m.frame > frames)
      refuse(format(msg::kMarkerBeyondEnd, std::to_string(m.place), cutlist::TimeText(m.frame, rate),
                    cutlist::TimeText(frames, rate)));
    std::optional<std::string> title;
    if (const auto label = labels.find(m.id); label != labels.end() && !label->second.empty()) title = label->second;
    const bool again = i > 0 && (*markers)[i - 1].frame == m.frame;
    if (m.frame == 0) {
      if (!list.firstTitle) list.firstTitle = std::move(title);
    } else if (m.frame == frames) {
      continue;
    } else if (again) {
      if (!list.points.back().title) list.points.back().title = std::move(title);
    } else {
      list.points.push_back({m.frame, std::move(title), m.place});
    }
  }
  return list;
}

CutList ReadMarkers(const std::string& path) {
  File in = File::openRead(path);
  return ReadMarkers(in);
}

}  // namespace mv
