#include "wave/tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>

#include "wave/errors.h"
#include "wave/header.h"

namespace mv {

bool Tags::empty() const {
  return title.empty() && artist.empty() && album.empty() && albumArtist.empty() && year.empty() &&
         genre.empty() && track == 0 && trackTotal == 0 && disc == 0 && discTotal == 0 && !cover;
}

namespace {

uint32_t big32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint16_t big16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool png(Cover& c) {
  const std::vector<uint8_t>& b = c.bytes;
  // The signature, then IHDR, always first and always 13 bytes.
  if (b.size() < 33 || std::memcmp(b.data(), kPngSignature, 8) != 0 || big32(&b[8]) != 13 ||
      std::memcmp(&b[12], "IHDR", 4) != 0)
    return false;
  const uint32_t width = big32(&b[16]), height = big32(&b[20]);
  const int bits = b[24], type = b[25];
  int channels = 0;
  switch (type) {
    case 0: channels = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 ? 1 : 0; break;
    case 3: channels = bits == 1 || bits == 2 || bits == 4 || bits == 8 ? 1 : 0; break;
    case 2: channels = bits == 8 || bits == 16 ? 3 : 0; break;
    case 4: channels = bits == 8 || bits == 16 ? 2 : 0; break;
    case 6: channels = bits == 8 || bits == 16 ? 4 : 0; break;
    default: break;
  }
  if (channels == 0 || width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return false;
  c.mime = "image/png";
  c.width = static_cast<int32_t>(width);
  c.height = static_cast<int32_t>(height);
  c.depth = bits * channels;
  if (type == 3) {
    // A palette's colours are what its pixels show: RGB, whatever the index width.
    c.depth = 24;
    for (std::size_t at = 33; at + 8 <= b.size();) {
      const uint32_t n = big32(&b[at]);
      if (std::memcmp(&b[at + 4], "PLTE", 4) == 0) {
        c.colors = static_cast<int32_t>(n / 3);
        break;
      }
      if (std::memcmp(&b[at + 4], "IDAT", 4) == 0 || n > b.size()) break;
      at += 12 + std::size_t{n};
    }
  }
  return true;
}

bool jpeg(Cover& c) {
  const std::vector<uint8_t>& b = c.bytes;
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[2] != 0xFF) return false;
  // The segments up to the frame header, which holds the size.
  for (std::size_t at = 2; at < b.size();) {
    if (b[at] != 0xFF) return false;
    while (at < b.size() && b[at] == 0xFF) ++at;  // fill bytes
    if (at >= b.size()) return false;
    const uint8_t marker = b[at++];
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA || at + 2 > b.size()) return false;  // image data before a frame
    const std::size_t length = big16(&b[at]);
    if (length < 2 || at + length > b.size()) return false;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 8) return false;
      const int precision = b[at + 2], components = b[at + 7];
      c.height = big16(&b[at + 3]);
      c.width = big16(&b[at + 5]);
      if (c.width == 0 || components == 0) return false;
      c.mime = "image/jpeg";
      c.depth = precision * components;
      return true;
    }
    at += length;
  }
  return false;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::shared_ptr<const Cover> LoadCover(const std::string& path) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st{};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    refuse(format(msg::kCoverCannotRead, path));
  const std::string limit = std::to_string(kMaxCoverBytes);
  if (st.st_size > kMaxCoverBytes) refuse(format(msg::kCoverTooLarge, path, limit));
  auto cover = std::make_shared<Cover>();
  // One byte more than allowed: a file that grew meanwhile is seen to.
  cover->bytes.resize(static_cast<std::size_t>(kMaxCoverBytes) + 1);
  std::size_t got = 0;
  while (got < cover->bytes.size()) {
    const ssize_t n = ::read(fd.get(), cover->bytes.data() + got, cover->bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) refuse(format(msg::kCoverCannotRead, path));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > static_cast<std::size_t>(kMaxCoverBytes)) refuse(format(msg::kCoverTooLarge, path, limit));
  cover->bytes.resize(got);
  cover->bytes.shrink_to_fit();
  if (!png(*cover) && !jpeg(*cover)) refuse(format(msg::kCoverNotImage, path));
  return cover;
}

namespace {

void putId(std::vector<uint8_t>& out, std::string_view id) { out.insert(out.end(), id.begin(), id.end()); }
void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void set32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

struct Text {
  std::string_view id;
  std::string value;
};

// The bytes after the format chunk that the word search for "data" reads.
constexpr std::size_t kSearched = 4 * kMarkerWords;

// The chunk, behind a filler chunk of `filler` bytes when there is one; the
// last text gets `extra` NULs more.
std::vector<uint8_t> infoList(const std::vector<Text>& texts, std::optional<std::size_t> filler, std::size_t extra) {
  std::vector<uint8_t> out;
  if (filler) {
    putId(out, "JUNK");
    put32(out, static_cast<uint32_t>(*filler));
    out.resize(out.size() + *filler, 0);
  }
  const std::size_t list = out.size();
  putId(out, "LIST");
  put32(out, 0);
  putId(out, "INFO");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::size_t size = texts[i].value.size() + 1 + (i + 1 == texts.size() ? extra : 0);
    putId(out, texts[i].id);
    put32(out, static_cast<uint32_t>(size));
    out.insert(out.end(), texts[i].value.begin(), texts[i].value.end());
    out.resize(out.size() + (size - texts[i].value.size()) + (size & 1), 0);
  }
  set32(out, list + 4, static_cast<uint32_t>(out.size() - list - 8));
  return out;
}

bool hasDataWord(const std::vector<uint8_t>& chunk) {
  for (std::size_t at = 0; at + 4 <= chunk.size() && at < kSearched; at += 4)
    if (std::memcmp(&chunk[at], "data", 4) == 0) return true;
  return false;
}

}  // namespace

std::vector<uint8_t> InfoChunk(const Tags& tags) {
  std::vector<Text> texts;
  auto add = [&](std::string_view id, const std::string& value) {
    if (!value.empty()) texts.push_back({id, value});
  };
  add("INAM", tags.title);
  add("IART", tags.artist);
  add("IPRD", tags.album);
  if (tags.track > 0) add("IPRT", std::to_string(tags.track));
  add("ICRD", tags.year);
  add("IGNR", tags.genre);
  if (texts.empty()) return {};
  // A text with "data" on the grid moves two bytes on behind a small filler;
  // one with it at both offsets goes past the search behind a large one.
  for (const std::optional<std::size_t> filler : {std::optional<std::size_t>{}, std::optional<std::size_t>{2},
                                                  std::optional<std::size_t>{kSearched}}) {
    std::vector<uint8_t> chunk = infoList(texts, filler, 0);
    if (chunk.size() % 4 != 0) chunk = infoList(texts, filler, 2);
    if (!hasDataWord(chunk)) return chunk;
  }
  // Not reached: behind the large filler no text is within the search.
  raise(msg::kRangeError);
}

}  // namespace mv
