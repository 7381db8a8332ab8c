#pragma once
// Where a run's pieces go and what they say of themselves: numbered files as
// ever, or the names and tags a track list gave them, in the save folder.

#include <cstdint>
#include <string>
#include <vector>

#include "flac/flac_writer.h"
#include "wave/tags.h"
#include "wave/writer.h"

namespace mv {

class PieceOutputs {
 public:
  // names and tags: one a piece, or none.
  PieceOutputs(std::string folder, std::vector<std::string> names, std::string extension,
               std::vector<Tags> tags = {}, int32_t flacLevel = 5);

  // The path of piece n (from 1). A run that finds more pieces than it has
  // names raises the count's refusal rather than make up a name.
  std::string operator()(int32_t n) const;
  // Files of the names to be written are there already (numbered names: any
  // numbered file with the extension).
  bool anyExists() const;
  // The source is one of the pieces to be written, under any name of it.
  bool isOutput(const std::string& source) const;
  bool named() const { return !names_.empty(); }
  // Piece n's header with its tags' chunk, if it has tags.
  OutputHeader header(const OutputHeader& plain, int32_t n) const;
  FlacOptions flacOptions(int32_t n) const;

 private:
  std::string folder_;
  std::vector<std::string> names_;
  std::string extension_;
  std::vector<Tags> tags_;
  int32_t flacLevel_;
};

}  // namespace mv
