#pragma once
// FLAC pieces, of the source's depth and rate.
//
// Encoding takes longer than decoding and scanning, so the pieces are
// encoded on worker threads (see QueuedSink), two at once where there are
// two cores. A piece's file gets its name only after the pieces before it
// got theirs, and a piece after one that failed is never named.

#include <cstddef>

#include "cut/piece_outputs.h"
#include "cut/queued_sink.h"
#include "flac/flac_source.h"
#include "wave/writer.h"

namespace mv {

class FlacSink final : public QueuedSink {
 public:
  FlacSink(PieceOutputs paths, const FlacStreamInfo& info, FileClosed closed, OutputRules rules,
           std::size_t queueBytes = kQueueBytes);

  // Bytes the pieces' queues hold at most, together (a part larger than
  // this goes alone). Enough for the cut to run a good way into the next
  // piece while a worker is still on the last one, so that both encode at
  // once: a third of the time of a few megabytes, and still flat in length.
  static constexpr std::size_t kQueueBytes = 40 << 20;
};

}  // namespace mv
