#pragma once
// The pieces of a FLAC source: numbered FLAC files of its depth and rate.

#include <string>

#include "cut/scan.h"
#include "flac/flac_source.h"
#include "flac/flac_writer.h"
#include "wave/writer.h"

namespace mv {

class FlacSink final : public PieceSink {
 public:
  FlacSink(std::string folder, const FlacStreamInfo& info, FileClosed closed, OutputRules rules);
  void start(int32_t number) override;
  void write(const uint8_t* data, std::size_t n) override;
  void finish() override;
  void abandon() noexcept override;

 private:
  std::string folder_;
  FlacStreamInfo info_;
  FlacWriter out_;
};

}  // namespace mv
