#include "flac/flac_writer.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>

#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {

namespace {

FLAC__StreamEncoder* Encoder(void* e) { return static_cast<FLAC__StreamEncoder*>(e); }

// A seek point every ten seconds for the first hour; later frames are found
// by libFLAC's search. The points are reserved up front (the length is not
// known yet) and filled when the file is complete.
constexpr int kSeekSeconds = 10;
constexpr unsigned kSeekPoints = 360;
constexpr int64_t kSeekPointBytes = 18;

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// A name not taken in the folder, hidden, short.
std::string HiddenName(const std::string& folder) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string name = folder + "/.morvane-";
  for (int i = 0; i < 8; ++i) name += kChars[random() % (sizeof kChars - 1)];
  return name;
}

bool WriteAll(int fd, const uint8_t* p, std::size_t n, int64_t at) {
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, p, n, at);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
    at += w;
  }
  return true;
}

void PutBigEndian(uint8_t* p, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

// The tags' blocks in the file's order, each put in blocks as it is made:
// the comments named only for what is given, the cover as a front-cover
// picture. False when libFLAC takes one of them not.
bool AddTagBlocks(const Tags& t, std::vector<void*>& blocks) {
  std::vector<std::pair<const char*, std::string>> comments;
  auto add = [&](const char* name, const std::string& value) {
    if (!value.empty()) comments.emplace_back(name, value);
  };
  auto number = [&](const char* name, int32_t value) {
    if (value > 0) comments.emplace_back(name, std::to_string(value));
  };
  add("TITLE", t.title);
  add("ARTIST", t.artist);
  add("ALBUM", t.album);
  add("ALBUMARTIST", t.albumArtist);
  number("TRACKNUMBER", t.track);
  number("TRACKTOTAL", t.trackTotal);
  number("DISCNUMBER", t.disc);
  number("DISCTOTAL", t.discTotal);
  add("DATE", t.year);
  add("GENRE", t.genre);
  if (!comments.empty()) {
    // Its vendor string is libFLAC's own.
    FLAC__StreamMetadata* block = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!block) return false;
    blocks.push_back(block);
    for (const auto& [name, value] : comments) {
      FLAC__StreamMetadata_VorbisComment_Entry entry;
      // Refused for a value that is not UTF-8.
      if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name, value.c_str()))
        return false;
      if (!FLAC__metadata_object_vorbiscomment_append_comment(block, entry, false)) {
        std::free(entry.entry);
        return false;
      }
    }
  }
  if (const auto& cover = t.cover) {
    FLAC__StreamMetadata* block = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
    if (!block) return false;
    blocks.push_back(block);
    FLAC__StreamMetadata_Picture& p = block->data.picture;
    p.type = FLAC__STREAM_METADATA_PICTURE_TYPE_FRONT_COVER;
    p.width = static_cast<uint32_t>(cover->width);
    p.height = static_cast<uint32_t>(cover->height);
    p.depth = static_cast<uint32_t>(cover->depth);
    p.colors = static_cast<uint32_t>(cover->colors);
    std::string mime = cover->mime;
    if (!FLAC__metadata_object_picture_set_mime_type(block, mime.data(), true) ||
        !FLAC__metadata_object_picture_set_data(block, const_cast<FLAC__byte*>(cover->bytes.data()),
                                                static_cast<FLAC__uint32>(cover->bytes.size()), true))
      return false;
    // libFLAC writes no block past 16 MiB with its head.
    if (cover->bytes.size() > static_cast<std::size_t>(kMaxCoverBytes) ||
        block->length + 4 > (1u << FLAC__STREAM_METADATA_LENGTH_LEN))
      return false;
  }
  return true;
}

}  // namespace

// Where the encoder writes next, and what the seek table will need.
struct FlacWriter::State {
  int fd = -1;
  int64_t at = 0;
  int64_t firstFrame = -1;  // offset of the first frame
  int64_t samples = 0;      // samples per channel written in frames
  int64_t spacing = 0;      // samples between seek points
  std::vector<FLAC__StreamMetadata_SeekPoint> points;
  bool failed = false;
};

struct FlacWriter::Callbacks {

  static FLAC__StreamEncoderWriteStatus write(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                              uint32_t samples, uint32_t, void* data) {
    State& s = *static_cast<State*>(data);
    if (samples > 0) {
      if (s.firstFrame < 0) s.firstFrame = s.at;
      // The frame holding the next point's sample.
      const int64_t next = static_cast<int64_t>(s.points.size()) * s.spacing;
      if (s.points.size() < kSeekPoints && next < s.samples + samples)
        s.points.push_back({static_cast<FLAC__uint64>(s.samples), static_cast<FLAC__uint64>(s.at - s.firstFrame),
                            samples});
      s.samples += samples;
    }
    if (!WriteAll(s.fd, buffer, bytes, s.at)) {
      s.failed = true;
      return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    s.at += static_cast<int64_t>(bytes);
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  }

  static FLAC__StreamEncoderSeekStatus seek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* data) {
    static_cast<State*>(data)->at = static_cast<int64_t>(offset);
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
  }

  static FLAC__StreamEncoderTellStatus tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* data) {
    *offset = static_cast<FLAC__uint64>(static_cast<State*>(data)->at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
  }
};

FlacWriter::FlacWriter(FileClosed closed, OutputRules rules)
    : closed_(std::move(closed)), rules_(std::move(rules)) {}

FlacWriter::~FlacWriter() { abandon(); }

void FlacWriter::create(const std::string& path, const PcmFormat& format, int32_t bits, const FlacOptions& options) {
  abandon();
  const int container = (bits + 7) / 8 * 8;
  if (bits < 4 || bits > 32 || format.isFloat() || format.channels < 1 || format.channels > 2 ||
      format.bitsPerSample != container || format.sampleRate <= 0 ||
      !FLAC__format_sample_rate_is_valid(static_cast<uint32_t>(format.sampleRate)))
    refuse(msg::kUnsupported);
  if (options.level < 0 || options.level > 8) raise(msg::kRangeError);
  if (const auto id = IdentityOf(path))
    if (std::find(rules_.sources.begin(), rules_.sources.end(), *id) != rules_.sources.end())
      refuse(rules_.sourceMessage);
  if (rules_.exclusive && HeldByAnotherRun(path)) refuse(msg::kOutputInUse);
  struct stat st{};
  // A folder at the name could never be replaced by the file.
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) raise(msg::kCannotCreate, path);

  path_ = path;
  folder_ = FolderOf(path);
  format_ = format;
  bits_ = bits;
  size_ = 0;
  partial_.clear();
  temp_.clear();
  // Nameless while it is written, where the file system can: a killed run
  // leaves nothing behind.
  fd_ = ::open(folder_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  for (int tries = 0; fd_ < 0 && tries < 100; ++tries) {
    std::string name = HiddenName(folder_);
    fd_ = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
    if (fd_ >= 0) temp_ = std::move(name);
    else if (errno != EEXIST) break;
  }
  if (fd_ < 0) raise(msg::kCannotCreate, path);

  state_ = std::make_unique<State>();
  state_->fd = fd_;
  state_->spacing = int64_t{format.sampleRate} * kSeekSeconds;
  FLAC__StreamEncoder* e = FLAC__stream_encoder_new();
  encoder_ = e;
  // Without comments of ours libFLAC writes its own empty ones after
  // STREAMINFO, as it always did.
  bool ok = e && AddTagBlocks(options.tags, blocks_);
  FLAC__StreamMetadata* table = ok ? FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE) : nullptr;
  if (table) blocks_.push_back(table);
  // libFLAC puts the MD5 of the samples in STREAMINFO by itself.
  ok = ok && table && FLAC__metadata_object_seektable_template_append_placeholders(table, kSeekPoints);
  std::vector<FLAC__StreamMetadata*> blocks;
  for (void* block : blocks_) blocks.push_back(static_cast<FLAC__StreamMetadata*>(block));
  ok = ok && FLAC__stream_encoder_set_verify(e, options.verify) &&
       FLAC__stream_encoder_set_compression_level(e, static_cast<uint32_t>(options.level)) &&
       FLAC__stream_encoder_set_streamable_subset(e, bits <= 24) &&
       FLAC__stream_encoder_set_channels(e, format.channels) &&
       FLAC__stream_encoder_set_bits_per_sample(e, static_cast<uint32_t>(bits)) &&
       FLAC__stream_encoder_set_sample_rate(e, static_cast<uint32_t>(format.sampleRate)) &&
       FLAC__stream_encoder_set_metadata(e, blocks.data(), static_cast<uint32_t>(blocks.size()));
  ok = ok && FLAC__stream_encoder_init_stream(e, Callbacks::write, Callbacks::seek, Callbacks::tell, nullptr,
                                              state_.get()) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
  if (!ok) {
    discard();
    raise(msg::kFlacEncodeError, path);
  }
}

void FlacWriter::append(const void* data, std::size_t n) {
  if (!isOpen()) raise(msg::kWriteError);
  const auto frameBytes = static_cast<std::size_t>(format_.frameBytes());
  const auto* p = static_cast<const uint8_t*>(data);
  size_ += static_cast<int64_t>(n);
  if (!partial_.empty()) {
    const std::size_t take = std::min(n, frameBytes - partial_.size());
    partial_.insert(partial_.end(), p, p + take);
    p += take;
    n -= take;
    if (partial_.size() < frameBytes) return;
    encode(partial_.data(), frameBytes);
    partial_.clear();
  }
  const std::size_t whole = n / frameBytes * frameBytes;
  encode(p, whole);
  partial_.assign(p + whole, p + n);
}

void FlacWriter::encodeWide(const uint8_t*& data, int width, int shift, uint32_t low) {
  for (int32_t& sample : samples_) {
    uint32_t v = 0;
    for (int b = 0; b < width; ++b) v |= uint32_t{*data++} << (8 * b);
    if (width == 1) v -= 128;
    // Bits below the depth would be lost without a word.
    if (v & low) raise(msg::kFlacEncodeError, path_);
    // Sign-extended from the top of the sample's bytes, then moved down.
    const int32_t wide = static_cast<int32_t>(v << (32 - 8 * width));
    sample = wide >> (32 - 8 * width + shift);
  }
}

void FlacWriter::encode(const uint8_t* data, std::size_t n) {
  const int width = format_.bytesPerSample();
  const int shift = format_.bitsPerSample - bits_;
  const uint32_t low = (uint32_t{1} << shift) - 1;
  const std::size_t channels = format_.channels;
  constexpr std::size_t kBlock = 4096;  // frames handed over at a time
  const std::size_t frames = n / (static_cast<std::size_t>(width) * channels);
  for (std::size_t done = 0; done < frames;) {
    const std::size_t step = std::min(kBlock, frames - done);
    samples_.resize(step * channels);
    if (width == 2 && shift == 0) {
      // The common case, in a loop the compiler can widen.
      for (std::size_t u = 0; u < samples_.size(); ++u)
        samples_[u] = static_cast<int16_t>(static_cast<uint16_t>(data[2 * u] | data[2 * u + 1] << 8));
      data += 2 * samples_.size();
    } else {
      encodeWide(data, width, shift, low);
    }
    if (!FLAC__stream_encoder_process_interleaved(Encoder(encoder_), samples_.data(), static_cast<uint32_t>(step))) {
      if (state_->failed) raise(msg::kWriteError);
      raise(msg::kFlacEncodeError, path_);
    }
    done += step;
  }
}

int64_t FlacWriter::seekTableAt() const {
  // The metadata blocks after "fLaC", each a 4-byte header (last-block flag,
  // type, 24-bit length) and its body.
  for (int64_t at = 4;;) {
    uint8_t h[4];
    if (::pread(fd_, h, 4, at) != 4) break;
    if ((h[0] & 0x7F) == FLAC__METADATA_TYPE_SEEKTABLE) return at;
    if (h[0] & 0x80) break;
    at += 4 + (int64_t{h[1]} << 16 | int64_t{h[2]} << 8 | h[3]);
  }
  raise(msg::kFlacEncodeError, path_);
}

void FlacWriter::close() {
  FLAC__StreamEncoder* e = Encoder(encoder_);
  if (!FLAC__stream_encoder_finish(e)) {
    if (state_->failed) raise(msg::kWriteError);
    raise(msg::kFlacEncodeError, path_);
  }
  // The seek points over the placeholders reserved for them; those not
  // needed stay placeholders.
  std::vector<uint8_t> points(state_->points.size() * kSeekPointBytes);
  for (std::size_t i = 0; i < state_->points.size(); ++i) {
    uint8_t* p = points.data() + i * kSeekPointBytes;
    PutBigEndian(p, state_->points[i].sample_number, 8);
    PutBigEndian(p + 8, state_->points[i].stream_offset, 8);
    PutBigEndian(p + 16, state_->points[i].frame_samples, 2);
  }
  if (!WriteAll(fd_, points.data(), points.size(), seekTableAt() + 4)) raise(msg::kWriteError);
  // On the disk before it takes the name, so that a crash cannot leave the
  // name on an empty file.
  if (::fdatasync(fd_) != 0) raise(msg::kWriteError);

  if (temp_.empty()) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int tries = 0; temp_.empty() && tries < 100; ++tries) {
      std::string name = HiddenName(folder_);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        temp_ = std::move(name);
      else if (errno != EEXIST)
        break;
    }
    if (temp_.empty()) raise(msg::kCannotCreate, path_);
  }
  // rename replaces the name itself: a link there goes, and nothing is
  // written where it pointed.
  if (::rename(temp_.c_str(), path_.c_str()) != 0) raise(msg::kCannotCreate, path_);
  temp_.clear();
  struct stat st{};
  const int64_t size = ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  discard();
  if (!closed_) return;
  try {
    closed_(path_, size);
  } catch (...) {
  }
}

void FlacWriter::finish() {
  if (!isOpen()) return;
  const bool leftover = !partial_.empty();
  try {
    close();
  } catch (...) {
    discard();
    throw;
  }
  if (leftover) raise(msg::kFlacEncodeError, path_);
}

void FlacWriter::abandon() noexcept {
  if (!isOpen()) return;
  try {
    close();
  } catch (...) {
    // The error that brought us here is reported; a file that cannot be
    // completed is not left.
    discard();
  }
}

void FlacWriter::discard() noexcept {
  // Deleting an encoder finishes it, which writes: before the file goes.
  if (encoder_) FLAC__stream_encoder_delete(Encoder(encoder_));
  encoder_ = nullptr;
  for (void* block : blocks_) FLAC__metadata_object_delete(static_cast<FLAC__StreamMetadata*>(block));
  blocks_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  state_.reset();
  partial_.clear();
}

}  // namespace mv
