#pragma once
// Where a run's pieces go: numbered files as ever, or the names a track list
// gave them, in the save folder.

#include <cstdint>
#include <string>
#include <vector>

namespace mv {

class PiecePaths {
 public:
  // names: one file name a piece; empty for the numbered names.
  PiecePaths(std::string folder, std::vector<std::string> names, std::string extension);

  // The path of piece n (from 1). A run that finds more pieces than it has
  // names raises the count's refusal rather than make up a name.
  std::string operator()(int32_t n) const;
  // Files of the names to be written are there already (numbered names: any
  // numbered file with the extension).
  bool anyExists() const;
  // The source is one of the pieces to be written, under any name of it.
  bool isOutput(const std::string& source) const;
  bool named() const { return !names_.empty(); }

 private:
  std::string folder_;
  std::vector<std::string> names_;
  std::string extension_;
};

}  // namespace mv
