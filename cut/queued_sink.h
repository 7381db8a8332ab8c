#pragma once
// Pieces written on worker threads, so that the cut reads and tests its
// source while their bytes go to disk.
//
// The cut hands over each piece's bytes through a bounded queue and goes on.
// Every call still comes from the cut's thread, and everything the workers
// have to say (a finished file, an error) is said there, at the next call, in
// the pieces' order: a piece's file is finished only after the pieces before
// it were, the host hears of it after them, and a piece after one that failed
// leaves no file. What is on disk in the end is what the same writer on the
// cut's thread leaves.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cut/scan.h"
#include "wave/writer.h"

namespace mv {

// One piece's file, driven by a worker.
class PieceFile {
 public:
  virtual ~PieceFile() = default;
  virtual void create(int32_t number) = 0;
  virtual void append(const uint8_t* data, std::size_t n) = 0;
  virtual void finish() = 0;
  // Keeps what was appended, as a cancel does.
  virtual void abandon() noexcept = 0;
  // Leaves nothing under the piece's name: it follows a piece that failed.
  virtual void discard() noexcept = 0;
};

// A piece's file that tells `closed` once it is closed for good.
using MakePieceFile = std::function<std::unique_ptr<PieceFile>(FileClosed closed)>;

class QueuedSink : public PieceSink {
 public:
  // workers: how many pieces may be written at once (at least one is
  // started, or the constructor raises). With settled, finish returns once
  // the piece's file is finished and told of, as a writer on the cut's thread
  // returns: whatever the host does between two pieces finds the files as
  // that writer leaves them, and only the bytes inside a piece overlap.
  QueuedSink(MakePieceFile make, FileClosed closed, int32_t workers, std::size_t queueBytes, bool settled = false);
  QueuedSink(const QueuedSink&) = delete;
  QueuedSink& operator=(const QueuedSink&) = delete;
  // As abandon: what was handed over is kept in complete files.
  ~QueuedSink() override;

  void start(int32_t number) override;
  void write(const uint8_t* data, std::size_t n) override;
  void finish() override;
  // Returns once every piece handed over is a complete file.
  void abandon() noexcept override;
  // Waits for the workers; raises the first piece's error, if one failed.
  void close() override;

 private:
  struct Job {
    enum Kind { Data, Finish, Abandon } kind;
    std::vector<uint8_t> bytes;
  };
  struct Piece {
    Piece(int64_t s, int32_t n, std::unique_ptr<PieceFile> f) : seq(s), number(n), out(std::move(f)) {}
    int64_t seq;  // the order the cut began them in
    int32_t number;
    std::unique_ptr<PieceFile> out;  // a worker's until written, then the settler's
    std::deque<Job> jobs;
    bool taken = false;    // a worker is on it
    bool written = false;  // its last job is done; it waits to be settled
    Job::Kind end = Job::Finish;
    std::exception_ptr error;
  };
  void work();
  // Does piece p's jobs until its end; with the lock held, as it returns.
  void drive(Piece& p, std::unique_lock<std::mutex>& lock);
  // Finishes, abandons or discards the written pieces at the head, in order,
  // unless another thread is at it.
  void settle(std::unique_lock<std::mutex>& lock);
  void push(Job job, std::unique_lock<std::mutex>& lock);
  // Waits until every piece handed over is settled.
  void drain() noexcept;
  // On the cut's thread: tells of the files finished so far, in order, and
  // raises the first piece's error.
  void report();
  // The same without raising: the error, if any.
  std::exception_ptr tell() noexcept;
  // The error the run ends with, as soon as it is sure to be the first one;
  // with the lock held.
  std::exception_ptr due() const;
  // Ends the open piece, if there is one, with a finish or an abandon.
  void end(Job::Kind kind);

  MakePieceFile make_;
  FileClosed closed_;
  std::size_t queueBytes_;
  bool settled_;
  Piece* open_ = nullptr;  // the cut's: a piece started and not ended

  std::mutex mutex_;
  std::condition_variable work_, done_;
  std::deque<std::unique_ptr<Piece>> pieces_;  // begun and not settled, in order
  int64_t begun_ = 0;
  int64_t firstFailed_ = INT64_MAX;  // seq of the first piece that failed so far
  std::size_t queued_ = 0;           // bytes in the pieces' jobs
  bool settling_ = false;
  bool stop_ = false;
  std::exception_ptr error_;  // the settled pieces' first
  std::vector<std::pair<std::string, int64_t>> finished_;  // not yet told
  std::vector<std::vector<uint8_t>> spare_;  // buffers to use again
  std::vector<std::thread> workers_;
};

}  // namespace mv
