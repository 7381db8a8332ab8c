#include "record/capture_file.h"

#include <algorithm>
#include <cstdlib>

#include "wave/errors.h"
#include "wave/header.h"

namespace mv {

namespace {

constexpr int kRiffSizeOffset = 4;
constexpr int kDataSizeOffset = 40;

void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool isWide(const PcmFormat& f) { return f.kind == SampleKind::Integer && f.bitsPerSample == 24; }

// A prepared 24-bit recording's format, if the file is one.
std::optional<PcmFormat> wideFormat(ByteStream& file) {
  try {
    file.seek(0);
    const WaveLayout layout = ReadWaveLayout(file);
    if (layout.container == Container::Riff && isWide(layout.format)) return layout.format;
  } catch (const Error&) {
    // Not one: the 44-byte header's reading says what is wrong.
  }
  return std::nullopt;
}

}  // namespace

int64_t MaxRecordingBytes(const PcmFormat& format) {
  if (IsListedFormat(format)) return kMaxRecordingBytes;
  return kMaxRecordingBytes + kHeaderSize - ExtendedHeader(format, {}, false).size();
}

std::string_view FailureMessage(CaptureFailure why) {
  switch (why) {
    case CaptureFailure::WriteError: return msg::kRecordingWriteFailed;
    case CaptureFailure::InputLost: return msg::kRecordingInputLost;
    case CaptureFailure::InputSilent: return msg::kRecordingInputSilent;
    case CaptureFailure::SizeLimit: return msg::kRecordingSizeLimit;
  }
  return msg::kUnknownDeviceError;
}

std::unique_ptr<ByteStream> CaptureFile::OpenFile(const std::string& path) {
  return std::make_unique<File>(File::openReadWrite(path));
}

void CaptureFile::open(const std::string& path, const Opener& opener) {
  close();
  std::unique_ptr<ByteStream> file = opener(path);
  extended_.reset();
  headerSize_ = kHeaderSize;
  if (const auto wide = wideFormat(*file)) {
    format_ = *wide;
    extended_.emplace(format_, std::vector<uint8_t>{}, false);
    headerSize_ = extended_->size();
  } else {
    file->seek(0);
    format_ = ReadHeaderFormat(*file);
  }
  // Whatever the file held after its header is recorded over.
  file->truncate(headerSize_);
  file->seek(headerSize_);
  file_ = std::move(file);
  frameSize_ = format_.bytesPerSample() * format_.channels;
  inputFrame_ = extended_ ? 4 * format_.channels : frameSize_;
  written_ = refreshed_ = 0;
  wanted_ = -1;
  partial_.clear();
  failure_.reset();
  level_ = {};
}

void CaptureFile::setLength(int seconds) {
  wanted_ = seconds > 0 ? int64_t{seconds} * format_.sampleRate * frameSize_ : -1;
}

bool CaptureFile::append(const void* data, std::size_t n) {
  if (!file_ || failure_) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  const auto frame = static_cast<std::size_t>(inputFrame_);
  if (wanted_ >= 0) {
    // The set length is whole frames: the last one taken ends exactly on it.
    const int64_t owed = (wanted_ - written_) / frameSize_ * inputFrame_;
    const auto room = static_cast<std::size_t>(std::max<int64_t>(0, owed - static_cast<int64_t>(partial_.size())));
    n = std::min(n, room);
  }
  if (!partial_.empty()) {
    const std::size_t take = std::min(n, frame - partial_.size());
    partial_.insert(partial_.end(), p, p + take);
    p += take;
    n -= take;
    if (partial_.size() < frame) return true;
    if (!write(partial_.data(), frame)) return false;
    partial_.clear();
  }
  const std::size_t whole = n - n % frame;
  if (whole > 0 && !write(p, whole)) return false;
  partial_.assign(p + whole, p + n);
  // Between the clock's ticks too: at most half a second unclaimed.
  const int64_t halfSecond = int64_t{format_.sampleRate} * frameSize_ / 2;
  if (written_ - refreshed_ >= halfSecond) return refresh();
  return true;
}

bool CaptureFile::write(const uint8_t* data, std::size_t n) {
  if (!extended_) return writeFile(data, n);
  // Little-endian 32-bit integers: their top three bytes, in order.
  packed_.resize(n / 4 * 3);
  uint8_t* out = packed_.data();
  for (std::size_t i = 0; i < n; i += 4, out += 3) std::copy(data + i + 1, data + i + 4, out);
  return writeFile(packed_.data(), packed_.size());
}

bool CaptureFile::writeFile(const uint8_t* data, std::size_t n) {
  const int64_t cap = extended_ ? std::min(limit, MaxRecordingBytes(format_)) : limit;
  const int64_t most = cap - cap % frameSize_;
  const bool full = written_ + static_cast<int64_t>(n) > most;
  if (full) n = static_cast<std::size_t>(most - written_);
  try {
    file_->write(data, n);
    measure(data, n);
    written_ += static_cast<int64_t>(n);
  } catch (const Error&) {
    failure_ = CaptureFailure::WriteError;
    // What got in before the disk was full stays, up to the last whole frame.
    try {
      const int64_t got = std::min(file_->size() - headerSize_, written_ + static_cast<int64_t>(n));
      if (got > written_) {
        const int64_t kept = got - got % frameSize_;
        measure(data, static_cast<std::size_t>(kept - written_));
        written_ = kept;
      }
      file_->truncate(headerSize_ + written_);
      file_->seek(headerSize_ + written_);
    } catch (const Error&) {
    }
    refresh();
    return false;
  }
  if (!full) return true;
  failure_ = CaptureFailure::SizeLimit;
  refresh();
  return false;
}

void CaptureFile::measure(const uint8_t* p, std::size_t n) {
  const int bytes = format_.bytesPerSample();
  const int channels = format_.channels;
  int top[2] = {0, 0};
  bool clip[2] = {false, false};
  for (std::size_t i = 0; i + static_cast<std::size_t>(frameSize_) <= n; i += static_cast<std::size_t>(frameSize_)) {
    for (int c = 0; c < channels; ++c) {
      const uint8_t* s = p + i + static_cast<std::size_t>(c * bytes);
      int v;
      bool atFullScale;
      if (bytes == 1) {
        v = std::abs(s[0] - 128) << 8;
        atFullScale = s[0] == 0 || s[0] == 255;
      } else if (bytes == 3) {
        // In 16-bit units, as the meter shows every width.
        const uint32_t raw = uint32_t{s[0]} << 8 | uint32_t{s[1]} << 16 | uint32_t{s[2]} << 24;
        const int32_t x = static_cast<int32_t>(raw) >> 8;
        v = std::abs(x) >> 8;
        atFullScale = x == 8388607 || x == -8388608;
      } else {
        const int16_t x = static_cast<int16_t>(s[0] | s[1] << 8);
        v = std::abs(int{x});
        atFullScale = x == 32767 || x == -32768;
      }
      top[c] = std::max(top[c], v);
      clip[c] = clip[c] || atFullScale;
    }
  }
  level_.channels = channels;
  for (int c = 0; c < channels; ++c) {
    level_.peak[c] = std::max(level_.peak[c], static_cast<float>(top[c]) / 32768.0f);
    level_.clipped[c] = level_.clipped[c] || clip[c];
  }
}

InputLevel CaptureFile::takeLevel() {
  const InputLevel l = level_;
  level_ = {};
  return l;
}

void CaptureFile::fail(CaptureFailure why) {
  if (!failure_) failure_ = why;
}

void CaptureFile::writeSizes() {
  if (extended_) {
    // The whole header in one write: no moment shows one size without the
    // other.
    const std::vector<uint8_t> header = extended_->bytes(written_);
    file_->seek(0);
    file_->write(header.data(), header.size());
    file_->seek(headerSize_ + written_);
    return;
  }
  const auto fileSize = static_cast<uint32_t>(kHeaderSize + written_);
  uint8_t field[4];
  put32(field, fileSize - 8);
  file_->seek(kRiffSizeOffset);
  file_->write(field, 4);
  put32(field, fileSize - kHeaderSize);
  file_->seek(kDataSizeOffset);
  file_->write(field, 4);
  file_->seek(kHeaderSize + written_);
}

bool CaptureFile::refresh() {
  if (!file_) return !failure_;
  try {
    file_->sync();
    writeSizes();
    file_->sync();
    refreshed_ = written_;
  } catch (const Error&) {
    fail(CaptureFailure::WriteError);
  }
  return !failure_;
}

void CaptureFile::close() noexcept {
  if (!file_) return;
  refresh();
  file_.reset();
  partial_.clear();
}

}  // namespace mv
