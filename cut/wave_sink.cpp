#include "cut/wave_sink.h"

#include <memory>

#include "wave/paths.h"

namespace mv {

namespace {

struct WaveOutputs {
  PieceOutputs paths;
  OutputHeader header;
  OutputRules rules;
};

class WavePiece final : public PieceFile {
 public:
  WavePiece(std::shared_ptr<const WaveOutputs> outputs, FileClosed closed)
      : outputs_(std::move(outputs)),
        out_(
            [this, closed = std::move(closed)](const std::string& path, int64_t size) {
              if (!discarded_ && closed) closed(path, size);
            },
            outputs_->rules) {}
  void create(int32_t number) override {
    path_ = outputs_->paths(number);
    out_.create(path_, outputs_->paths.header(outputs_->header, number));
  }
  void append(const uint8_t* data, std::size_t n) override { out_.append(data, n); }
  void finish() override { out_.finish(); }
  void abandon() noexcept override { out_.abandon(); }
  void discard() noexcept override {
    if (!out_.isOpen()) return;
    discarded_ = true;
    out_.abandon();
    DeleteFile(path_);
  }

 private:
  std::shared_ptr<const WaveOutputs> outputs_;
  std::string path_;
  bool discarded_ = false;
  WaveWriter out_;
};

}  // namespace

WaveSink::WaveSink(PieceOutputs paths, OutputHeader header, FileClosed closed, OutputRules rules,
                   std::size_t queueBytes)
    : QueuedSink(
          [outputs = std::make_shared<const WaveOutputs>(
               WaveOutputs{std::move(paths), std::move(header), std::move(rules)})](
              FileClosed told) -> std::unique_ptr<PieceFile> {
            return std::make_unique<WavePiece>(outputs, std::move(told));
          },
          // In turn: a second worker would only contend with the cut for the
          // disk and the cores.
          std::move(closed), 1, queueBytes, true) {}

}  // namespace mv
