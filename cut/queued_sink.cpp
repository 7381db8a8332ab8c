#include "cut/queued_sink.h"

#include <algorithm>

namespace mv {

namespace {
// Parts larger than this are handed over in several jobs, so that a worker
// starts on them sooner.
constexpr std::size_t kJobBytes = 1 << 20;
}  // namespace

QueuedSink::QueuedSink(MakePieceFile make, FileClosed closed, int32_t workers, std::size_t queueBytes, bool settled)
    : make_(std::move(make)), closed_(std::move(closed)), queueBytes_(queueBytes), settled_(settled) {
  try {
    for (int32_t u = 0; u < std::max(workers, 1); ++u) workers_.emplace_back([this] { work(); });
  } catch (...) {
    // Fewer workers will do, but none cannot.
    if (workers_.empty()) throw;
  }
}

QueuedSink::~QueuedSink() {
  abandon();
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void QueuedSink::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Piece* next = nullptr;
    work_.wait(lock, [&] {
      for (const auto& p : pieces_)
        if (!p->taken) {
          next = p.get();
          return true;
        }
      return stop_;
    });
    if (!next) return;
    next->taken = true;
    drive(*next, lock);
    settle(lock);
  }
}

void QueuedSink::drive(Piece& p, std::unique_lock<std::mutex>& lock) {
  // After an error in this piece or one before it nothing more is written;
  // the jobs still count down.
  auto skipped = [&] { return p.error || firstFailed_ < p.seq; };
  auto attempt = [&](auto&& what) {
    lock.unlock();
    std::exception_ptr error;
    try {
      what();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    if (error) {
      p.error = error;
      firstFailed_ = std::min(firstFailed_, p.seq);
      done_.notify_all();
    }
  };
  if (!skipped()) attempt([&] { p.out->create(p.number); });
  for (;;) {
    work_.wait(lock, [&] { return !p.jobs.empty(); });
    Job job = std::move(p.jobs.front());
    p.jobs.pop_front();
    if (job.kind != Job::Data) {
      p.end = job.kind;
      p.written = true;
      return;
    }
    if (!skipped()) attempt([&] { p.out->append(job.bytes.data(), job.bytes.size()); });
    queued_ -= job.bytes.size();
    job.bytes.clear();
    spare_.push_back(std::move(job.bytes));
    done_.notify_all();
  }
}

void QueuedSink::settle(std::unique_lock<std::mutex>& lock) {
  while (!settling_ && !pieces_.empty() && pieces_.front()->written) {
    settling_ = true;
    Piece& p = *pieces_.front();
    const bool after = error_ != nullptr;
    std::exception_ptr error = p.error;
    lock.unlock();
    // As a writer on the cut's thread would: what was appended stays a
    // complete file, its name in before the error; a piece after a failed
    // one would never have been begun.
    if (after) {
      p.out->discard();
    } else if (!error && p.end == Job::Finish) {
      try {
        p.out->finish();
      } catch (...) {
        error = std::current_exception();
      }
    }
    p.out->abandon();
    lock.lock();
    if (!after && error) {
      error_ = error;
      // The pieces after it are not begun.
      firstFailed_ = std::min(firstFailed_, p.seq);
    }
    pieces_.pop_front();
    settling_ = false;
    done_.notify_all();
  }
}

void QueuedSink::push(Job job, std::unique_lock<std::mutex>& lock) {
  if (job.kind == Job::Data) queued_ += job.bytes.size();
  open_->jobs.push_back(std::move(job));
  lock.unlock();
  work_.notify_all();
}

std::exception_ptr QueuedSink::tell() noexcept {
  std::vector<std::pair<std::string, int64_t>> files;
  std::exception_ptr error;
  {
    std::lock_guard lock(mutex_);
    files.swap(finished_);
    error = due();
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

std::exception_ptr QueuedSink::due() const {
  if (error_) return error_;
  // A piece that failed while every piece before it is settled without
  // error: nothing after it can change what the run ends with.
  if (!pieces_.empty() && pieces_.front()->error) return pieces_.front()->error;
  return nullptr;
}

void QueuedSink::report() {
  if (const std::exception_ptr error = tell()) std::rethrow_exception(error);
}

void QueuedSink::start(int32_t number) {
  report();
  // The cut may run one piece ahead of the pieces being written.
  const std::size_t inFlight = workers_.size() + 1;
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return due() || pieces_.size() < inFlight; });
  if (due()) {
    lock.unlock();
    report();
  }
  // The workers close the files; the host hears of them on the cut's thread.
  pieces_.push_back(std::make_unique<Piece>(begun_++, number, make_([this](const std::string& path, int64_t size) {
    std::lock_guard told(mutex_);
    finished_.emplace_back(path, size);
  })));
  open_ = pieces_.back().get();
  lock.unlock();
  work_.notify_all();
}

void QueuedSink::write(const uint8_t* data, std::size_t n) {
  report();
  if (!open_) return;
  while (n > 0) {
    const std::size_t step = std::min(n, kJobBytes);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return due() || queued_ == 0 || queued_ + step <= queueBytes_; });
    if (due()) {
      lock.unlock();
      report();
    }
    Job job{Job::Data, {}};
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

void QueuedSink::end(Job::Kind kind) {
  if (!open_) return;
  std::unique_lock lock(mutex_);
  push(Job{kind, {}}, lock);
  open_ = nullptr;
}

void QueuedSink::finish() {
  report();
  end(Job::Finish);
  if (!settled_) return;
  drain();
  report();
}

void QueuedSink::drain() noexcept {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return pieces_.empty(); });
}

void QueuedSink::abandon() noexcept {
  end(Job::Abandon);
  drain();
  tell();
}

void QueuedSink::close() {
  // A piece left open is kept as it is, as a cancel keeps it.
  end(Job::Abandon);
  drain();
  report();
}

}  // namespace mv
