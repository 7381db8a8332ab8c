#pragma once
// How a job opens the files it reads: from disk in the program, from memory
// where a test or a fuzzer stands in.

#include <functional>
#include <memory>
#include <string>

#include "wave/file.h"

namespace mv {

using OpenSource = std::function<std::unique_ptr<ByteStream>(const std::string& path)>;

// A regular file, or the open error.
inline std::unique_ptr<ByteStream> OpenFile(const std::string& path) {
  return std::make_unique<File>(File::openRead(path));
}

}  // namespace mv
