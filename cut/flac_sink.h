#pragma once
// FLAC pieces, of the source's depth and rate.
//
// Encoding takes about as long as decoding and scanning, so it runs on a
// worker thread of its own: the cut hands over each piece's bytes through a
// bounded queue and goes on. Every call still comes from the cut's thread,
// and everything the worker has to say (a finished file, an error) is said
// there, at the next call.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
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
  FlacSink(PieceOutputs paths, const FlacStreamInfo& info, FileClosed closed, OutputRules rules);
  FlacSink(const FlacSink&) = delete;
  FlacSink& operator=(const FlacSink&) = delete;
  // As abandon: what was handed over is kept in complete files.
  ~FlacSink() override;

  void start(int32_t number) override;
  void write(const uint8_t* data, std::size_t n) override;
  void finish() override;
  // Returns once every piece handed over is a complete file.
  void abandon() noexcept override;
  // Waits for the worker; raises its error, if it had one.
  void close() override;

  // Bytes the queue holds at most (a part larger than this goes alone).
  static constexpr std::size_t kQueueBytes = 4 << 20;

 private:
  struct Job {
    enum Kind { Start, Data, Finish, Abandon, Stop } kind;
    int32_t number = 0;
    std::vector<uint8_t> bytes;
  };
  void work();
  void push(Job job, std::unique_lock<std::mutex>& lock);
  // Waits until the worker has done every job handed over.
  void drain() noexcept;
  // On the cut's thread: tells of the files finished so far, in order, and
  // raises the worker's error.
  void report();
  // The same without raising: the error, if any.
  std::exception_ptr tell() noexcept;

  PieceOutputs paths_;
  FlacStreamInfo info_;
  FileClosed closed_;
  FlacWriter out_;       // the worker's alone
  bool pieceOpen_ = false;  // the cut's: a piece started and not ended

  std::mutex mutex_;
  std::condition_variable jobsReady_, jobsDone_;
  std::deque<Job> jobs_;
  std::size_t queued_ = 0;  // bytes in jobs_
  int32_t inFlight_ = 0;    // pieces started and not yet ended by the worker
  bool busy_ = false;       // the worker is on a job
  std::exception_ptr error_;
  std::vector<std::pair<std::string, int64_t>> finished_;  // not yet told
  std::vector<std::vector<uint8_t>> spare_;  // buffers to use again
  std::thread worker_;
};

}  // namespace mv
