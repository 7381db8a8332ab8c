#pragma once
// The shortest song: a piece shorter than the least length is merged with the
// piece before it, the first piece with the one after it. No audio is
// dropped; a merged file holds exactly the bytes of its pieces.

#include <cstdint>
#include <memory>
#include <string>
#include <optional>
#include <vector>

#include "cut/piece_outputs.h"
#include "cut/scan.h"
#include "wave/format.h"
#include "wave/writer.h"

namespace mv {

// The pieces a scan found, as the files will hold them.
std::vector<Piece> MergeShortPieces(const std::vector<Piece>& pieces, int64_t minBytes);

// The shortest song of the settings in data bytes; 0 when none is set.
int64_t MinSongBytes(double seconds, const PcmFormat& format);

// Writes a scan's pieces to their files, merged by the same rule. Each
// piece goes straight into a file of its own; one that ends short is moved
// into the file before it and its own file goes (a short first piece goes on
// into the piece after it). A file is finished once the piece after it is long
// enough. Nothing is held in memory, every file is a valid WAVE file at every
// moment, and no sound is ever declared in two files.
class MergingSink final : public PieceSink {
 public:
  MergingSink(PieceOutputs paths, OutputHeader header, FileClosed closed, OutputRules rules, int64_t minBytes);
  ~MergingSink() override;

  void start(int32_t number) override;
  void write(const uint8_t* data, std::size_t n) override;
  void finish() override;
  void abandon() noexcept override;
  void close() override;

 private:
  std::unique_ptr<WaveWriter> writer();
  void keepBoth(const std::string& path, int64_t size, int64_t before) noexcept;

  PieceOutputs paths_;
  OutputHeader header_;
  FileClosed closed_;
  OutputRules rules_;
  int64_t minBytes_;
  int32_t files_ = 0;       // files made and kept, the current one among them
  bool carry_ = false;      // the first piece, short, goes on into the next
  bool dropping_ = false;   // the file closing now goes: no one is told of it
  int64_t length_ = 0;      // bytes of the current piece (with a carried first piece)
  std::unique_ptr<WaveWriter> previous_;  // open while the current piece may still join it
  std::unique_ptr<WaveWriter> current_;
};

}  // namespace mv
