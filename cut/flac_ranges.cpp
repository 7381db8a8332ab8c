#include "cut/flac_ranges.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "wave/messages.h"

namespace mv {

namespace {

// A worker reads and encodes this many bytes at a time, and looks for a
// cancel or an earlier piece's failure between them.
constexpr std::size_t kChunkBytes = 1 << 20;
// How often the calling thread lets the host's events run.
constexpr auto kPumpEvery = std::chrono::milliseconds(50);

struct Slot {
  enum State { Waiting, Encoding, Encoded, Settled } state = Waiting;
  std::unique_ptr<FlacWriter> out;
  bool cutShort = false;  // a cancel stopped it part-way
  std::exception_ptr error;
};

class Run {
 public:
  Run(const FlacRangesJob& job, const std::vector<PieceRange>& ranges, JobHost& host)
      : job_(job), ranges_(ranges), host_(host), slots_(ranges.size()) {
    for (const PieceRange& r : ranges) total_ += r.bytes;
  }

  bool go() {
    const std::size_t count = std::min<std::size_t>(ranges_.size(), std::thread::hardware_concurrency() >= 2 ? 2 : 1);
    // The sources are opened here, where the host's opener is called from
    // as ever; a source that cannot be opened is the run's error.
    std::vector<std::unique_ptr<ByteStream>> streams;
    for (std::size_t u = 0; u < count; ++u) streams.push_back(job_.open(job_.source));
    std::vector<std::thread> workers;
    try {
      for (auto& stream : streams) {
        {
          std::lock_guard lock(mutex_);
          ++running_;
        }
        try {
          workers.emplace_back([this, &stream] { work(*stream); });
        } catch (...) {
          std::lock_guard lock(mutex_);
          --running_;
          throw;
        }
      }
    } catch (...) {
      // One worker will do, but none cannot.
      if (workers.empty()) throw;
    }
    // The host may raise (its events run here): the workers stop first.
    bool complete = false;
    std::exception_ptr hostError;
    try {
      complete = watch();
    } catch (...) {
      hostError = std::current_exception();
      stop_ = true;
    }
    for (std::thread& t : workers) t.join();
    settleAll();
    if (hostError) std::rethrow_exception(hostError);
    if (error_) std::rethrow_exception(error_);
    if (workerError_) std::rethrow_exception(workerError_);
    return complete;
  }

 private:
  void work(ByteStream& in) {
    try {
      encode(in);
    } catch (...) {
      // Outside any piece (no memory for a buffer): the run's error, and no
      // piece is begun after it.
      std::lock_guard lock(mutex_);
      if (!workerError_) workerError_ = std::current_exception();
      stop_ = true;
    }
    {
      std::lock_guard lock(mutex_);
      --running_;
    }
    changed_.notify_all();
  }

  void encode(ByteStream& in) {
    const ScanKernels k = ScanKernelsFor(job_.info.format);
    const int32_t frameBytes = job_.info.format.frameBytes();
    std::vector<uint8_t> buffer(kChunkBytes / static_cast<std::size_t>(frameBytes) * frameBytes);
    for (;;) {
      std::size_t i;
      {
        std::lock_guard lock(mutex_);
        if (next_ >= slots_.size() || stop_) return;
        i = next_++;
        slots_[i].state = Slot::Encoding;
      }
      Slot& slot = slots_[i];
      const PieceRange& r = ranges_[i];
      // After a failed piece or a cancel the pieces behind it are never
      // named: what is left of them is only counted out.
      auto stopped = [&] { return stop_.load() || firstFailed_.load() < i; };
      try {
        auto out = std::make_unique<FlacWriter>(job_.closed, job_.rules);
        {
          std::lock_guard lock(mutex_);
          slot.out = std::move(out);
        }
        FlacOptions options = job_.paths.flacOptions(static_cast<int32_t>(i + 1));
        options.verify = job_.verify;
        slot.out->create(job_.paths(static_cast<int32_t>(i + 1)), job_.info.format, job_.info.bits, options);
        in.seek(job_.dataStart + r.offset);
        for (int64_t left = r.bytes; left > 0;) {
          if (stopped()) {
            slot.cutShort = true;
            break;
          }
          const auto n = static_cast<std::size_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
          in.readFull(buffer.data(), n);
          // A part of a frame at the end goes in as the cut leaves it.
          const auto frames = static_cast<int32_t>(n / static_cast<std::size_t>(frameBytes));
          if (job_.zero.any()) k.correct(buffer.data(), frames, job_.zero);
          slot.out->append(buffer.data(), n);
          left -= static_cast<int64_t>(n);
          done_ += static_cast<int64_t>(n);
        }
      } catch (...) {
        slot.error = std::current_exception();
        std::size_t seen = firstFailed_.load();
        while (i < seen && !firstFailed_.compare_exchange_weak(seen, i)) {
        }
      }
      {
        std::lock_guard lock(mutex_);
        slot.state = Slot::Encoded;
      }
      changed_.notify_all();
    }
  }

  // On the calling thread until the workers are done: progress, files
  // told, the cancel button. False when cancelled.
  bool watch() {
    bool cancelled = false;
    for (;;) {
      // Looked at before the wait: a cancel asked for while the workers
      // were still at it is a cancel, however soon they end.
      if (!cancelled && host_.cancelRequested()) {
        cancelled = true;
        stop_ = true;
      }
      bool last;
      {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kPumpEvery);
        last = running_ == 0;
      }
      settleHead();
      if (last) return !cancelled;
      host_.progress(ProgressPercent(done_.load(), std::max<int64_t>(total_, 1)));
      host_.pump();
    }
  }

  // Puts the encoded pieces at the head in place, in order, as a cut writing
  // one after another would have left them.
  void settleHead() {
    for (;;) {
      Slot* slot = nullptr;
      std::size_t i;
      {
        std::lock_guard lock(mutex_);
        while (head_ < slots_.size() && slots_[head_].state == Slot::Settled) ++head_;
        if (head_ >= slots_.size() || slots_[head_].state != Slot::Encoded) return;
        i = head_;
        slot = &slots_[i];
      }
      settle(*slot, i);
    }
  }

  void settle(Slot& slot, std::size_t i) {
    if (slot.out) {
      if (ended_) {
        // Behind a failed piece, or the one a cancel cut short.
        slot.out->discard();
      } else if (!slot.error && !slot.cutShort) {
        host_.status(std::to_string(i + 1) + std::string(msg::kPieceMaking));
        try {
          slot.out->finish();
        } catch (...) {
          slot.error = std::current_exception();
        }
      }
      // What was appended stays a complete file, under its name.
      slot.out->abandon();
    }
    if (!ended_ && slot.error) error_ = slot.error;
    if (slot.error || slot.cutShort) ended_ = true;
    std::lock_guard lock(mutex_);
    slot.out.reset();
    slot.state = Slot::Settled;
  }

  // After the workers: the pieces left, in order; those never begun are no
  // files at all.
  void settleAll() {
    for (std::size_t i = head_; i < slots_.size(); ++i)
      if (slots_[i].state == Slot::Encoded) settle(slots_[i], i);
  }

  const FlacRangesJob& job_;
  const std::vector<PieceRange>& ranges_;
  JobHost& host_;
  int64_t total_ = 0;
  std::atomic<int64_t> done_{0};
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> firstFailed_{SIZE_MAX};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  std::size_t next_ = 0;  // the next piece a worker takes
  int32_t running_ = 0;   // workers not yet done
  std::size_t head_ = 0;  // the first piece not settled
  bool ended_ = false;    // a piece failed or was cut short: the rest go
  std::exception_ptr error_;
  std::exception_ptr workerError_;
};

}  // namespace

bool WriteFlacRanges(const FlacRangesJob& job, const std::vector<PieceRange>& ranges, JobHost& host) {
  if (ranges.empty()) return true;
  Run run(job, ranges, host);
  return run.go();
}

}  // namespace mv
