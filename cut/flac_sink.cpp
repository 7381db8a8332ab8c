#include "cut/flac_sink.h"

#include <algorithm>

#include "wave/paths.h"

namespace mv {

namespace {
// Parts larger than this are handed over in several jobs, so that the
// worker starts on them sooner.
constexpr std::size_t kJobBytes = 1 << 20;
// A new piece may begin while the one before it is still being encoded, but
// no further ahead.
constexpr int32_t kPiecesInFlight = 2;
}  // namespace

FlacSink::FlacSink(PieceOutputs paths, const FlacStreamInfo& info, FileClosed closed, OutputRules rules)
    : paths_(std::move(paths)),
      info_(info),
      closed_(std::move(closed)),
      // The worker finishes the files; the host hears of them on the cut's thread.
      out_(
          [this](const std::string& path, int64_t size) {
            std::lock_guard lock(mutex_);
            finished_.emplace_back(path, size);
          },
          std::move(rules)) {
  worker_ = std::thread([this] { work(); });
}

FlacSink::~FlacSink() {
  abandon();
  {
    std::unique_lock lock(mutex_);
    jobs_.push_back(Job{Job::Stop, 0, {}});
  }
  jobsReady_.notify_one();
  worker_.join();
}

void FlacSink::work() {
  for (;;) {
    Job job;
    bool failed;
    {
      std::unique_lock lock(mutex_);
      jobsReady_.wait(lock, [&] { return !jobs_.empty(); });
      job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
      failed = error_ != nullptr;
    }
    if (job.kind == Job::Stop) return;
    // After an error nothing more is written; the pieces still count down.
    std::exception_ptr error;
    if (!failed) {
      try {
        switch (job.kind) {
          case Job::Start:
            out_.create(paths_(job.number), info_.format, info_.bits, paths_.flacOptions(job.number));
            break;
          case Job::Data:
            out_.append(job.bytes.data(), job.bytes.size());
            break;
          case Job::Finish:
            out_.finish();
            break;
          default:
            out_.abandon();
            break;
        }
      } catch (...) {
        error = std::current_exception();
      }
    }
    // What was appended stays a complete file, as it would without the
    // thread; its name is in before the error.
    if (error) out_.abandon();
    std::unique_lock lock(mutex_);
    if (error) error_ = error;
    if (job.kind == Job::Data) {
      queued_ -= job.bytes.size();
      job.bytes.clear();
      spare_.push_back(std::move(job.bytes));
    }
    if (job.kind == Job::Finish || job.kind == Job::Abandon) --inFlight_;
    busy_ = false;
    jobsDone_.notify_all();
  }
}

void FlacSink::push(Job job, std::unique_lock<std::mutex>& lock) {
  if (job.kind == Job::Data) queued_ += job.bytes.size();
  jobs_.push_back(std::move(job));
  lock.unlock();
  jobsReady_.notify_one();
}

std::exception_ptr FlacSink::tell() noexcept {
  std::vector<std::pair<std::string, int64_t>> files;
  std::exception_ptr error;
  {
    std::unique_lock lock(mutex_);
    files.swap(finished_);
    error = error_;
  }
  if (closed_) {
    for (const auto& [path, size] : files) {
      try {
        closed_(path, size);
      } catch (...) {
      }
    }
  }
  return error;
}

void FlacSink::report() {
  if (const std::exception_ptr error = tell()) std::rethrow_exception(error);
}

void FlacSink::start(int32_t number) {
  report();
  std::unique_lock lock(mutex_);
  jobsDone_.wait(lock, [&] { return error_ || inFlight_ < kPiecesInFlight; });
  if (error_) {
    lock.unlock();
    report();
  }
  ++inFlight_;
  pieceOpen_ = true;
  push(Job{Job::Start, number, {}}, lock);
}

void FlacSink::write(const uint8_t* data, std::size_t n) {
  report();
  while (n > 0) {
    const std::size_t step = std::min(n, kJobBytes);
    std::unique_lock lock(mutex_);
    jobsDone_.wait(lock, [&] { return error_ || queued_ == 0 || queued_ + step <= kQueueBytes; });
    if (error_) {
      lock.unlock();
      report();
    }
    Job job{Job::Data, 0, {}};
    if (!spare_.empty()) {
      job.bytes = std::move(spare_.back());
      spare_.pop_back();
    }
    // The copy is made outside the lock; the buffer is the cut's until pushed.
    lock.unlock();
    job.bytes.assign(data, data + step);
    lock.lock();
    push(std::move(job), lock);
    data += step;
    n -= step;
  }
}

void FlacSink::finish() {
  report();
  if (!pieceOpen_) return;
  pieceOpen_ = false;
  std::unique_lock lock(mutex_);
  push(Job{Job::Finish, 0, {}}, lock);
}

void FlacSink::drain() noexcept {
  std::unique_lock lock(mutex_);
  jobsDone_.wait(lock, [&] { return jobs_.empty() && !busy_; });
}

void FlacSink::abandon() noexcept {
  if (pieceOpen_) {
    pieceOpen_ = false;
    std::unique_lock lock(mutex_);
    push(Job{Job::Abandon, 0, {}}, lock);
  }
  drain();
  tell();
}

void FlacSink::close() {
  drain();
  report();
}

}  // namespace mv
