#include "cut/flac_sink.h"

#include "wave/paths.h"

namespace mv {

FlacSink::FlacSink(std::string folder, const FlacStreamInfo& info, FileClosed closed, OutputRules rules)
    : folder_(std::move(folder)), info_(info), out_(std::move(closed), std::move(rules)) {}

void FlacSink::start(int32_t number) { out_.create(PieceName(folder_, number, ".flac"), info_.format, info_.bits); }
void FlacSink::write(const uint8_t* data, std::size_t n) { out_.append(data, n); }
void FlacSink::finish() { out_.finish(); }
void FlacSink::abandon() noexcept { out_.abandon(); }

}  // namespace mv
