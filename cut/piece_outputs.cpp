#include "cut/piece_outputs.h"

#include <sys/stat.h>

#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {

PieceOutputs::PieceOutputs(std::string folder, std::vector<std::string> names, std::string extension,
                           std::vector<Tags> tags, int32_t flacLevel)
    : folder_(std::move(folder)),
      names_(std::move(names)),
      extension_(std::move(extension)),
      tags_(std::move(tags)),
      flacLevel_(flacLevel) {}

OutputHeader PieceOutputs::header(const OutputHeader& plain, int32_t n) const {
  OutputHeader h = plain;
  if (n >= 1 && static_cast<std::size_t>(n) <= tags_.size()) h.info = InfoChunk(tags_[static_cast<std::size_t>(n - 1)]);
  return h;
}

FlacOptions PieceOutputs::flacOptions(int32_t n) const {
  FlacOptions o;
  o.level = flacLevel_;
  if (n >= 1 && static_cast<std::size_t>(n) <= tags_.size()) o.tags = tags_[static_cast<std::size_t>(n - 1)];
  return o;
}

std::string PieceOutputs::operator()(int32_t n) const {
  if (names_.empty()) return PieceName(folder_, n, extension_);
  if (n < 1 || static_cast<std::size_t>(n) > names_.size())
    refuse(format(msg::kTracksCountDiffers, std::to_string(names_.size()), std::to_string(n)));
  return folder_ + "/" + names_[static_cast<std::size_t>(n - 1)];
}

bool PieceOutputs::anyExists() const {
  if (names_.empty()) return HasNumberedFiles(folder_, extension_);
  struct stat st{};
  for (const std::string& name : names_)
    if (::lstat((folder_ + "/" + name).c_str(), &st) == 0) return true;
  return false;
}

bool PieceOutputs::isOutput(const std::string& source) const {
  if (names_.empty()) return IsNumberedOutput(source, folder_);
  for (const std::string& name : names_)
    if (SameFile(source, folder_ + "/" + name)) return true;
  return false;
}

}  // namespace mv
