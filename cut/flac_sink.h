#pragma once
// FLAC pieces, of the source's depth and rate.
//
// Encoding takes longer than decoding and scanning, so it runs on worker
// threads: the cut hands over each piece's bytes through a bounded queue and
// goes on, and two pieces may be encoded at once. Every call still comes
// from the cut's thread, and everything the workers have to say (a finished
// file, an error) is said there, at the next call, in the pieces' order: a
// piece's file gets its name only after the pieces before it got theirs, and
// a piece after one that failed is never named.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cut/piece_outputs.h"
#include "cut/scan.h"
#include "flac/flac_source.h"
#include "flac/flac_writer.h"
#include "wave/writer.h"

namespace mv {

class FlacSink final : public PieceSink {
 public:
  FlacSink(PieceOutputs paths, const FlacStreamInfo& info, FileClosed closed, OutputRules rules,
           std::size_t queueBytes = kQueueBytes);
  FlacSink(const FlacSink&) = delete;
  FlacSink& operator=(const FlacSink&) = delete;
  // As abandon: what was handed over is kept in complete files.
  ~FlacSink() override;

  void start(int32_t number) override;
  void write(const uint8_t* data, std::size_t n) override;
  void finish() override;
  // Returns once every piece handed over is a complete file.
  void abandon() noexcept override;
  // Waits for the workers; raises the first piece's error, if one failed.
  void close() override;

  // Bytes the pieces' queues hold at most, together (a part larger than
  // this goes alone). Enough for the cut to run a good way into the next
  // piece while a worker is still on the last one, so that both encode at
  // once: a third of the time of a few megabytes, and still flat in length.
  static constexpr std::size_t kQueueBytes = 40 << 20;

 private:
  struct Job {
    enum Kind { Data, Finish, Abandon } kind;
    std::vector<uint8_t> bytes;
  };
  struct Piece {
    Piece(int64_t s, int32_t n, FileClosed closed, OutputRules rules)
        : seq(s), number(n), out(std::move(closed), std::move(rules)) {}
    int64_t seq;     // the order the cut began them in
    int32_t number;
    FlacWriter out;  // a worker's until encoded, then the settler's
    std::deque<Job> jobs;
    bool taken = false;    // a worker is on it
    bool encoded = false;  // its last job is done; it waits to be settled
    Job::Kind end = Job::Finish;
    std::exception_ptr error;
  };
  void work();
  // Does piece p's jobs until its end; with the lock held, as it returns.
  void encode(Piece& p, std::unique_lock<std::mutex>& lock);
  // Finishes, abandons or discards the encoded pieces at the head, in order,
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

  PieceOutputs paths_;
  std::size_t queueBytes_;
  FlacStreamInfo info_;
  FileClosed closed_;
  OutputRules rules_;
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
