#include "cut/trim_sink.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "wave/errors.h"

namespace mv {

namespace {

// Bytes of frames read again at a time.
constexpr int64_t kRereadBytes = 256 << 10;

}  // namespace

void CheckKeepSilence(const CutSettings& s) {
  if (!s.keepSilenceSeconds) return;
  if (s.mode == CutMode::EqualLengths) refuse(msg::kKeepSilenceEqualLengths);
  if (s.mode == CutMode::AtPoints) refuse(msg::kKeepSilencePoints);
  if (s.minSongSeconds > 0) refuse(msg::kKeepSilenceMinSong);
  const double seconds = *s.keepSilenceSeconds;
  if (!std::isfinite(seconds) || seconds < 0) raise(msg::kRangeError);
}

TrimRule TrimRuleFor(const CutSettings& s) {
  constexpr int64_t kMostFrames = int64_t{1} << 62;
  const double frames = std::floor(s.keepSilenceSeconds.value_or(0) * s.format.sampleRate + 0.5);
  TrimRule rule;
  rule.format = s.format;
  rule.threshold = s.threshold;
  rule.maxBurst = s.ignoreClicks;
  rule.keepFrames = frames >= static_cast<double>(kMostFrames) ? kMostFrames : static_cast<int64_t>(frames);
  // A quiet run the cut tests whole ends its song once it passes N frames,
  // and a new song begins at most 513 frames before its sound: longer ones
  // before sound in the same piece lie where the cut does not test (after a
  // cut in its block, and in the tail), and are read again.
  rule.holdFrames = std::max<int64_t>(s.runLength, 2 * (kLeadIn + 1));
  return rule;
}

Reread SourceReread(ByteStream& stream, int64_t dataStart, const ScanKernels& kernels, ZeroPoints z,
                    int32_t frameBytes) {
  return [&stream, dataStart, correct = kernels.correct, z, frameBytes](int64_t offset, uint8_t* into,
                                                                         std::size_t bytes) {
    const int64_t back = stream.position();
    stream.seek(dataStart + offset);
    stream.readFull(into, bytes);
    if (z.any()) correct(into, static_cast<int32_t>(bytes / static_cast<std::size_t>(frameBytes)), z);
    stream.seek(back);
  };
}

// Frames [from, to) of the piece held back. The last of them, as many as
// there is room for, are in a ring; the ones before are only counted.
class TrimSink::Held {
 public:
  Held(int64_t frameBytes, std::size_t room) : frameBytes_(frameBytes), room_(room) {}

  int64_t from() const { return from_; }
  int64_t to() const { return to_; }
  int64_t firstInMemory() const { return to_ - static_cast<int64_t>(size_) / frameBytes_; }

  void reset(int64_t at) {
    from_ = to_ = at;
    head_ = size_ = 0;
  }

  void add(const uint8_t* p, int64_t frames) {
    to_ += frames;
    if (room_ == 0 || frames == 0) return;
    auto n = static_cast<std::size_t>(frames * frameBytes_);
    if (n >= room_) {
      p += n - room_;
      n = room_;
      head_ = size_ = 0;
    }
    grow(std::min(room_, size_ + n));
    const std::size_t cap = ring_.size();
    if (size_ + n > cap) {
      const std::size_t over = size_ + n - cap;
      head_ = (head_ + over) % cap;
      size_ -= over;
    }
    const std::size_t at = (head_ + size_) % cap;
    const std::size_t first = std::min(n, cap - at);
    std::memcpy(ring_.data() + at, p, first);
    std::memcpy(ring_.data(), p + first, n - first);
    size_ += n;
  }

  // The frames before `from` are never written.
  void dropTo(int64_t from) {
    if (from <= from_) return;
    from_ = std::min(from, to_);
    const auto keep = static_cast<std::size_t>((to_ - from_) * frameBytes_);
    if (size_ > keep) {
      head_ = (head_ + size_ - keep) % ring_.size();
      size_ = keep;
    }
  }

  // The bytes of frames [a, b), all in memory, in at most two spans.
  template <class Put>
  void each(int64_t a, int64_t b, Put put) const {
    if (a >= b) return;
    const std::size_t cap = ring_.size();
    const std::size_t start = (head_ + static_cast<std::size_t>((a - firstInMemory()) * frameBytes_)) % cap;
    const auto n = static_cast<std::size_t>((b - a) * frameBytes_);
    const std::size_t first = std::min(n, cap - start);
    put(ring_.data() + start, first);
    if (n > first) put(ring_.data(), n - first);
  }

 private:
  // The ring grows with what it holds, up to its room, kept in order.
  void grow(std::size_t want) {
    if (ring_.size() >= want) return;
    std::vector<uint8_t> bigger(std::min(room_, std::max(want, 2 * ring_.size())));
    const std::size_t first = std::min(size_, ring_.size() - head_);
    if (size_ > 0) {
      std::memcpy(bigger.data(), ring_.data() + head_, first);
      std::memcpy(bigger.data() + first, ring_.data(), size_ - first);
    }
    ring_.swap(bigger);
    head_ = 0;
  }

  int64_t frameBytes_;
  std::size_t room_;
  std::vector<uint8_t> ring_;
  std::size_t head_ = 0, size_ = 0;  // bytes, the oldest at head_
  int64_t from_ = 0, to_ = 0;
};

TrimSink::TrimSink(PieceSink& inner, const TrimRule& rule, std::vector<Piece>& pieces, Reread reread)
    : inner_(inner),
      rule_(rule),
      kernels_(ScanKernelsFor(rule.format)),
      frameBytes_(rule.format.frameBytes()),
      pieces_(pieces),
      reread_(std::move(reread)),
      held_(std::make_unique<Held>(frameBytes_,
                                   reread_ ? static_cast<std::size_t>(rule.holdFrames * frameBytes_) : 0)) {}

TrimSink::~TrimSink() = default;

int64_t TrimSink::forward(const uint8_t* p, int64_t count, int64_t x, bool quiet, int64_t limit) const {
  limit = std::min(limit, count);
  while (x < limit) {
    const int64_t base = x & ~int64_t{63};
    const auto n = static_cast<int32_t>(std::min<int64_t>(64, count - base));
    const uint64_t bits = kernels_.silentBits(p + base * frameBytes_, n, rule_.threshold);
    // The frames of the other kind, from x on; past the chunk counts as one.
    uint64_t stop = (quiet ? ~bits : bits) >> (x - base);
    if (n < 64) stop |= ~uint64_t{0} << (n - (x - base));
    if (stop != 0) return std::min(limit, x + std::countr_zero(stop));
    x = base + 64;
  }
  return limit;
}

int64_t TrimSink::backward(const uint8_t* p, int64_t count, int64_t x, bool quiet, int64_t limit) const {
  limit = std::max<int64_t>(limit, 0);
  while (x > limit) {
    const int64_t base = (x - 1) & ~int64_t{63};
    const auto n = static_cast<int32_t>(std::min<int64_t>(64, count - base));
    const uint64_t bits = kernels_.silentBits(p + base * frameBytes_, n, rule_.threshold);
    // The frames of the other kind before x.
    uint64_t stop = quiet ? ~bits : bits;
    if (const int64_t used = x - base; used < 64) stop &= (uint64_t{1} << used) - 1;
    if (stop != 0) return std::max(limit, base + 64 - std::countl_zero(stop));
    x = base;
  }
  return limit;
}

// From the chunk's end back: a burst of at most K sound frames, then quiet
// frames and tolerated bursts back to where sound was more than a burst, or
// to the chunk's start, where the run open before it may take it on.
TrimSink::Tail TrimSink::tailOf(const uint8_t* p, int64_t count) const {
  const int64_t k = rule_.maxBurst;
  int64_t q = backward(p, count, count, false, count - k - 1);
  const auto end = static_cast<int32_t>(count - q);
  if (q == 0) {
    if (inRun_ && burst_ + int64_t{end} <= k) return {true, 0, burst_ + end};
    return {false, count, 0};
  }
  if (end > k) return {false, count, 0};
  for (;;) {
    const int64_t s = backward(p, count, q, true, 0);  // frame q - 1 is quiet
    if (s == 0) return inRun_ ? Tail{true, 0, end} : Tail{false, 0, end};
    const int64_t b = backward(p, count, s, false, s - k - 1);
    if (b == 0) {
      if (inRun_ && burst_ + s <= k) return {true, 0, end};
      return {false, s, end};
    }
    if (s - b > k) return {false, s, end};
    q = b;
  }
}

void TrimSink::put(const uint8_t* p, int64_t count) {
  if (reread_ && count > 0) inner_.write(p, static_cast<std::size_t>(count * frameBytes_));
}

void TrimSink::emit(int64_t a, int64_t b) {
  if (!reread_ || a >= b) return;
  const int64_t memory = std::max(a, held_->firstInMemory());
  const int64_t chunk = std::max<int64_t>(1, kRereadBytes / frameBytes_);
  for (int64_t f = a; f < std::min(b, memory);) {
    const int64_t n = std::min(std::min(b, memory) - f, chunk);
    const auto bytes = static_cast<std::size_t>(n * frameBytes_);
    if (scratch_.size() < bytes) scratch_.resize(bytes);
    reread_(firstByte_ + f * frameBytes_, scratch_.data(), bytes);
    inner_.write(scratch_.data(), bytes);
    f += n;
  }
  held_->each(std::max(a, memory), b, [&](const uint8_t* p, std::size_t n) { inner_.write(p, n); });
}

void TrimSink::start(int32_t number) {
  firstByte_ = pieces_.empty() ? 0 : pieces_.back().firstByte;
  at_ = 0;
  leading_ = true;
  inRun_ = false;
  burst_ = 0;
  runStart_ = 0;
  whole_ = true;
  front_ = back_ = 0;
  held_->reset(0);
  inner_.start(number);
}

void TrimSink::write(const uint8_t* data, std::size_t n) {
  if (!whole_) {
    if (reread_) inner_.write(data, n);
    return;
  }
  const auto count = static_cast<int64_t>(n / static_cast<std::size_t>(frameBytes_));
  if (count > 0) {
    if (leading_)
      lead(data, count);
    else
      sound(data, count);
  }
  if (const std::size_t rest = n % static_cast<std::size_t>(frameBytes_); rest > 0) {
    // A part of a frame is sound; whatever follows it goes as it comes.
    if (leading_ && inRun_)
      endLead(at_ - burst_);
    else if (inRun_)
      flushRun();
    leading_ = inRun_ = false;
    burst_ = 0;
    whole_ = false;
    if (reread_) inner_.write(data + n - rest, rest);
  }
}

// The leading silence, a frame test at a time from the chunk's start, until
// sound that is more than a tolerated burst.
void TrimSink::lead(const uint8_t* p, int64_t count) {
  const int64_t k = rule_.maxBurst;
  if (!inRun_) {
    // Silence begins with a quiet frame.
    if (forward(p, count, 0, true, 1) == 0) {
      leading_ = false;
      sound(p, count);
      return;
    }
    inRun_ = true;
    burst_ = 0;
  }
  int64_t burst = burst_;
  for (int64_t x = 0;;) {
    const int64_t y = forward(p, count, x, true, count);
    if (y > x) burst = 0;
    const int64_t z = y == count ? count : forward(p, count, y, false, y + k - burst + 1);
    if (burst + (z - y) > k) {
      // Sound: the leading silence ends where it began.
      held_->add(p, y);
      at_ += y;
      endLead(at_ - burst);
      sound(p + y * frameBytes_, count - y);
      return;
    }
    if (z == count) {
      held_->add(p, count);
      at_ += count;
      burst_ = static_cast<int32_t>(burst + (z - y));
      // Only the last S seconds before the sound can go out.
      held_->dropTo(at_ - burst_ - rule_.keepFrames);
      return;
    }
    x = z;  // a tolerated burst
    burst = 0;
  }
}

void TrimSink::endLead(int64_t end) {
  front_ = std::max<int64_t>(0, end - rule_.keepFrames);
  emit(front_, end);
  emit(end, at_);
  held_->reset(at_);
  leading_ = inRun_ = false;
  burst_ = 0;
}

void TrimSink::sound(const uint8_t* p, int64_t count) {
  const Tail t = tailOf(p, count);
  if (t.goesOn) {
    runAdd(p, count);
    burst_ = t.burst;
    return;
  }
  if (inRun_) flushRun();
  put(p, t.start);
  at_ += t.start;
  inRun_ = t.start < count;
  burst_ = 0;
  if (inRun_) {
    runStart_ = at_;
    runAdd(p + t.start * frameBytes_, count - t.start);
    burst_ = t.burst;
  }
}

// The first S seconds of a silence go out whatever follows; the rest is held
// until sound follows in the piece, or the piece ends and it goes.
void TrimSink::runAdd(const uint8_t* p, int64_t count) {
  const int64_t head = std::clamp<int64_t>(rule_.keepFrames - (at_ - runStart_), 0, count);
  put(p, head);
  at_ += head;
  if (head == count) return;
  if (held_->to() != at_) held_->reset(at_);
  held_->add(p + head * frameBytes_, count - head);
  at_ += count - head;
}

void TrimSink::flushRun() {
  emit(held_->from(), held_->to());
  held_->reset(at_);
}

void TrimSink::finish() {
  if (whole_) {
    if (leading_ && inRun_) {
      // No sound: the silence keeps its last S seconds, a burst at the end
      // being sound.
      endLead(at_ - burst_);
    } else if (inRun_ && burst_ > 0) {
      flushRun();  // a burst at the piece's end is sound
    } else if (inRun_) {
      back_ = std::max<int64_t>(0, at_ - runStart_ - rule_.keepFrames);
      held_->reset(at_);
    }
  }
  inRun_ = false;
  settle();
  inner_.finish();
}

void TrimSink::settle() noexcept {
  if (pieces_.empty()) return;
  pieces_.back().trimmedFront = front_ * frameBytes_;
  pieces_.back().trimmedBack = back_ * frameBytes_;
}

void TrimSink::abandon() noexcept {
  settle();
  inner_.abandon();
}

void TrimSink::close() { inner_.close(); }

}  // namespace mv
