#include "flac/flac_source.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstring>

#include "wave/errors.h"

namespace mv {

namespace {

FLAC__StreamDecoder* Decoder(void* d) { return static_cast<FLAC__StreamDecoder*>(d); }

// Where the audio begins: past an ID3v2 tag (header, body, footer), if any.
int64_t PastId3(ByteStream& in) {
  uint8_t h[10];
  in.seek(0);
  if (in.read(h, sizeof h) != sizeof h || std::memcmp(h, "ID3", 3) != 0) return 0;
  int64_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if (h[i] & 0x80) return 0;  // not a sync-safe size: no tag
    body = body << 7 | h[i];
  }
  return 10 + body + ((h[5] & 0x10) ? 10 : 0);
}

}  // namespace

bool IsFlacStream(ByteStream& in) {
  const int64_t was = in.position();
  bool flac = false;
  try {
    const int64_t at = PastId3(in);
    char magic[4];
    in.seek(at);
    flac = in.read(magic, 4) == 4 && std::memcmp(magic, "fLaC", 4) == 0;
  } catch (const Error&) {
    // A stream that cannot be read is no FLAC stream that can be taken.
  }
  in.seek(was);
  return flac;
}

// libFLAC's callbacks, each a door into the source. Nothing may be thrown
// through libFLAC's C frames: what the stream raises is held for later.
struct FlacSource::Callbacks {
  static FlacSource& self(void* data) { return *static_cast<FlacSource*>(data); }

  static FLAC__StreamDecoderReadStatus read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes,
                                            void* data) {
    FlacSource& s = self(data);
    try {
      *bytes = s.in_->read(buffer, *bytes);
    } catch (...) {
      s.thrown_ = std::current_exception();
      *bytes = 0;
      return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    }
    return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  }

  static FLAC__StreamDecoderSeekStatus seek(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* data) {
    FlacSource& s = self(data);
    try {
      // Offsets come from the file's own seek table: one past its end, or
      // past what an int64_t holds, is no place in it.
      if (offset > static_cast<FLAC__uint64>(s.in_->size())) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
      s.in_->seek(static_cast<int64_t>(offset));
    } catch (...) {
      s.thrown_ = std::current_exception();
      return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }
    return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
  }

  static FLAC__StreamDecoderTellStatus tell(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* data) {
    *offset = static_cast<FLAC__uint64>(self(data).in_->position());
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
  }

  static FLAC__StreamDecoderLengthStatus length(const FLAC__StreamDecoder*, FLAC__uint64* length, void* data) {
    FlacSource& s = self(data);
    try {
      *length = static_cast<FLAC__uint64>(s.in_->size());
    } catch (...) {
      return FLAC__STREAM_DECODER_LENGTH_STATUS_UNSUPPORTED;
    }
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
  }

  static FLAC__bool eof(const FLAC__StreamDecoder*, void* data) {
    FlacSource& s = self(data);
    try {
      return s.in_->position() >= s.in_->size();
    } catch (...) {
      return true;
    }
  }

  static FLAC__StreamDecoderWriteStatus write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                              const FLAC__int32* const buffer[], void* data) {
    FlacSource& s = self(data);
    const FLAC__FrameHeader& h = frame->header;
    const PcmFormat& f = s.info_.format;
    // Every frame must carry the stream's own layout; another one would be
    // taken for samples it is not.
    if (h.channels != f.channels || static_cast<int32_t>(h.bits_per_sample) != s.info_.bits ||
        static_cast<int32_t>(h.sample_rate) != f.sampleRate) {
      s.broken_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    // Outside a seek a frame follows the one before it; one that does not
    // means frames were lost.
    if (!s.seeking_ && h.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER &&
        static_cast<int64_t>(h.number.sample_number) != s.decodeAt_) {
      s.broken_ = true;
      return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    }
    if (s.counting_) {
      s.decodeAt_ += h.blocksize;
      return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    // The total of STREAMINFO is the stream's length: samples past it are
    // not taken.
    const int64_t n = std::clamp<int64_t>(s.info_.frames - s.decodeAt_, 0, h.blocksize);
    s.decodeAt_ += n;
    const int width = f.bytesPerSample();
    const int shift = f.bitsPerSample - s.info_.bits;
    s.pending_.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(f.frameBytes()));
    s.pendingAt_ = 0;
    uint8_t* out = s.pending_.data();
    for (int64_t i = 0; i < n; ++i)
      for (unsigned c = 0; c < f.channels; ++c) {
        // Shifted as unsigned: the sign comes with the high bits.
        uint32_t v = static_cast<uint32_t>(buffer[c][i]) << shift;
        if (width == 1) v += 128;
        for (int b = 0; b < width; ++b) *out++ = static_cast<uint8_t>(v >> (8 * b));
      }
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  }

  static void metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* m, void* data) {
    FlacSource& s = self(data);
    if (m->type != FLAC__METADATA_TYPE_STREAMINFO || s.sawInfo_) return;
    s.sawInfo_ = true;
    const auto& si = m->data.stream_info;
    s.info_.bits = static_cast<int32_t>(si.bits_per_sample);
    s.info_.frames = static_cast<int64_t>(si.total_samples);
    PcmFormat& f = s.info_.format;
    f.channels = static_cast<uint16_t>(si.channels);
    f.sampleRate = static_cast<int32_t>(si.sample_rate);
    f.bitsPerSample = static_cast<uint16_t>((si.bits_per_sample + 7) / 8 * 8);
    f.kind = SampleKind::Integer;
  }

  static void error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
    self(data).broken_ = true;
  }
};

FlacSource::FlacSource(std::unique_ptr<ByteStream> in, std::string name)
    : in_(std::move(in)), name_(std::move(name)) {}

FlacSource::~FlacSource() {
  if (decoder_) FLAC__stream_decoder_delete(Decoder(decoder_));
}

std::unique_ptr<FlacSource> FlacSource::open(const std::string& path) {
  return open(std::make_unique<File>(File::openRead(path)), path);
}

std::unique_ptr<FlacSource> FlacSource::open(std::unique_ptr<ByteStream> in, const std::string& name) {
  std::unique_ptr<FlacSource> source(new FlacSource(std::move(in), name));
  source->start();
  return source;
}

void FlacSource::fail() { raise(msg::kFlacDecodeError, name_); }

void FlacSource::endedEarly() { fail(); }

void FlacSource::check(bool ok) {
  if (thrown_) std::rethrow_exception(std::exchange(thrown_, nullptr));
  if (!ok || broken_) fail();
}

void FlacSource::start() {
  if (!IsFlacStream(*in_)) fail();
  in_->seek(0);
  FLAC__StreamDecoder* d = FLAC__stream_decoder_new();
  if (!d) throw std::bad_alloc();
  decoder_ = d;
  if (FLAC__stream_decoder_init_stream(d, Callbacks::read, Callbacks::seek, Callbacks::tell, Callbacks::length,
                                       Callbacks::eof, Callbacks::write, Callbacks::metadata, Callbacks::error,
                                       this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    throw std::bad_alloc();
  check(FLAC__stream_decoder_process_until_end_of_metadata(d));
  if (!sawInfo_ || info_.bits < 4 || info_.bits > 32 || info_.format.channels < 1) fail();
  if (info_.format.channels > 2) refuse(msg::kUnsupported);
  if (info_.frames == 0) {
    // No total in STREAMINFO (a stream written where its writer could not
    // seek back): one pass counts the frames, then back to the start.
    counting_ = true;
    const bool ok = FLAC__stream_decoder_process_until_end_of_stream(d);
    counting_ = false;
    check(ok && FLAC__stream_decoder_get_state(d) == FLAC__STREAM_DECODER_END_OF_STREAM);
    info_.frames = decodeAt_;
    decodeAt_ = 0;
    check(FLAC__stream_decoder_reset(d));
    check(FLAC__stream_decoder_process_until_end_of_metadata(d));
  }
}

int64_t FlacSource::size() const { return info_.frames * info_.format.frameBytes(); }

void FlacSource::decodeNext() {
  FLAC__StreamDecoder* d = Decoder(decoder_);
  pending_.clear();
  pendingAt_ = 0;
  // A bad frame stays bad: reading on would skip it.
  if (broken_) fail();
  try {
    while (pending_.empty()) {
      const bool ok = FLAC__stream_decoder_process_single(d);
      check(ok);
      const auto state = FLAC__stream_decoder_get_state(d);
      // The stream ends before the total it declared.
      if (pending_.empty() && state == FLAC__STREAM_DECODER_END_OF_STREAM) fail();
      if (state == FLAC__STREAM_DECODER_ABORTED || state == FLAC__STREAM_DECODER_SEEK_ERROR) fail();
    }
  } catch (...) {
    // libFLAC may have handed over the frame it complained of.
    pending_.clear();
    broken_ = true;
    throw;
  }
}

std::size_t FlacSource::read(void* buf, std::size_t n) {
  const int64_t left = size() - position_;
  if (left <= 0) return 0;
  n = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(n), left));
  auto* out = static_cast<uint8_t*>(buf);
  std::size_t done = 0;
  while (done < n) {
    // What was decoded before an error is given first, as a short read; the
    // next read raises.
    if (pendingAt_ >= pending_.size()) {
      if (done == 0) {
        decodeNext();
      } else {
        try {
          decodeNext();
        } catch (const Error&) {
          return done;
        }
      }
    }
    const std::size_t step = std::min(n - done, pending_.size() - pendingAt_);
    std::memcpy(out + done, pending_.data() + pendingAt_, step);
    pendingAt_ += step;
    done += step;
    position_ += static_cast<int64_t>(step);
  }
  return done;
}

void FlacSource::seek(int64_t pos) {
  const int64_t frameBytes = info_.format.frameBytes();
  if (pos < 0 || pos > size() || pos % frameBytes != 0) raise(msg::kRangeError);
  if (pos == position_ && !broken_) return;
  FLAC__StreamDecoder* d = Decoder(decoder_);
  pending_.clear();
  pendingAt_ = 0;
  position_ = pos;
  decodeAt_ = pos / frameBytes;
  broken_ = false;
  if (pos == size()) return;  // nothing to decode; libFLAC seeks only to a sample there is
  seeking_ = true;
  bool ok = FLAC__stream_decoder_seek_absolute(d, static_cast<FLAC__uint64>(decodeAt_));
  seeking_ = false;
  if (!ok) FLAC__stream_decoder_flush(d);
  // libFLAC reports what it passes over while it searches; what counts is
  // whether it landed.
  broken_ = !ok;
  check(ok);
}

void FlacSource::write(const void*, std::size_t) { raise(msg::kWriteError); }
void FlacSource::truncate(int64_t) { raise(msg::kWriteError); }

}  // namespace mv
