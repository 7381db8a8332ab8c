#include "cut/flac_sink.h"

#include <memory>
#include <thread>

#include "flac/flac_writer.h"

namespace mv {

namespace {

// Two encoders keep up with the cut's scan and decoding on two cores; more
// would only contend with the cut's own thread there and hold more memory.
int32_t Workers() { return std::thread::hardware_concurrency() >= 2 ? 2 : 1; }

class FlacPiece final : public PieceFile {
 public:
  FlacPiece(std::shared_ptr<const PieceOutputs> paths, const FlacStreamInfo& info, FileClosed closed,
            OutputRules rules)
      : paths_(std::move(paths)), info_(info), out_(std::move(closed), std::move(rules)) {}
  void create(int32_t number) override {
    out_.create((*paths_)(number), info_.format, info_.bits, paths_->flacOptions(number));
  }
  void append(const uint8_t* data, std::size_t n) override { out_.append(data, n); }
  void finish() override { out_.finish(); }
  void abandon() noexcept override { out_.abandon(); }
  void discard() noexcept override { out_.discard(); }

 private:
  std::shared_ptr<const PieceOutputs> paths_;
  FlacStreamInfo info_;
  FlacWriter out_;
};

}  // namespace

FlacSink::FlacSink(PieceOutputs paths, const FlacStreamInfo& info, FileClosed closed, OutputRules rules,
                   std::size_t queueBytes)
    : QueuedSink(
          [paths = std::make_shared<const PieceOutputs>(std::move(paths)), info, rules = std::move(rules)](
              FileClosed told) -> std::unique_ptr<PieceFile> {
            return std::make_unique<FlacPiece>(paths, info, std::move(told), rules);
          },
          std::move(closed), Workers(), queueBytes) {}

}  // namespace mv
