#pragma once
// The shortest song: a piece shorter than the least length is merged with the
// piece before it, the first piece with the one after it. No audio is
// dropped; a merged file holds exactly the bytes of its pieces.

#include <cstdint>
#include <optional>
#include <vector>

#include "cut/scan.h"

namespace mv {

// The pieces a scan found, as the files will hold them.
std::vector<Piece> MergeShortPieces(const std::vector<Piece>& pieces, int64_t minBytes);

// Passes a scan's pieces on to files, merged by the same rule. A piece is
// held in memory until it is known to be long enough (at most minBytes), and
// a finished file is kept open until the piece after it is.
class MergingSink final : public PieceSink {
 public:
  MergingSink(PieceSink& files, int64_t minBytes);

  void start(int32_t number) override;
  void write(const uint8_t* data, std::size_t n) override;
  void finish() override;
  void abandon() noexcept override;
  // After the last piece: what is still held goes where the rule puts it.
  void close();

 private:
  void confirm();

  PieceSink& files_;
  int64_t minBytes_;
  int32_t filesMade_ = 0;
  bool fileOpen_ = false;   // a file takes bytes now, or waits for a short piece
  bool confirmed_ = false;  // the current piece is long enough: it has its own file
  bool carry_ = false;      // the first piece, short, goes on into the next
  int64_t length_ = 0;      // bytes of the current piece (with a carried first piece)
  std::vector<uint8_t> held_;
};

}  // namespace mv
