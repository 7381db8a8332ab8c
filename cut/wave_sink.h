#pragma once
// WAVE pieces, written on a worker thread (see QueuedSink) while the cut
// reads and tests the next parts of its source. One worker writes the pieces
// in turn, each as a WaveWriter on the cut's thread writes it: the same
// calls, the same header kept up to date, the same files in the end. A
// piece's finish waits for its file, so that between pieces the folder is
// as that writer leaves it.

#include <cstddef>

#include "cut/piece_outputs.h"
#include "cut/queued_sink.h"
#include "wave/writer.h"

namespace mv {

class WaveSink final : public QueuedSink {
 public:
  WaveSink(PieceOutputs paths, OutputHeader header, FileClosed closed, OutputRules rules,
           std::size_t queueBytes = kQueueBytes);

  // Bytes waiting for the disk at most: room for the cut to run on while a
  // write waits, a small part of what a page cache holds.
  static constexpr std::size_t kQueueBytes = 4 << 20;
};

}  // namespace mv
