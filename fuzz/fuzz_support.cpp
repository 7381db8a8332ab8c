#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"
#include "wave/layout.h"

namespace mv::fuzz {

namespace fs = std::filesystem;

const std::string& Scratch() {
  static const test::TempDir folder;
  return folder.path();
}

void EmptyScratch() {
  for (const auto& e : fs::directory_iterator(Scratch())) fs::remove_all(e.path());
}

OpenSource InMemory(std::map<std::string, Bytes> files) {
  return [files = std::move(files)](const std::string& name) -> std::unique_ptr<ByteStream> {
    auto it = files.find(name);
    if (it == files.end()) raise(msg::kCannotOpen, name);
    return std::make_unique<MemoryStream>(it->second);
  };
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

void RequireFinished(const std::string& path) {
  const Bytes b = test::ReadBytes(path);
  if (b.size() < 44) Fail(path + " is shorter than its header");
  if (test::Get32(b, 4) != b.size() - 8 || test::Get32(b, 40) != b.size() - 44)
    Fail(path + " has sizes that do not match");
}

Bytes DataOf(const std::string& path) { return test::DataOf(test::ReadBytes(path)); }

bool SourceData(const std::string& name, const Bytes& file, Bytes& data) {
  if (!IsWaveFileName(name)) {
    data = file;
    return true;
  }
  try {
    MemoryStream in(file);
    int64_t offset = 0;
    int64_t bytes = 0;
    if (IsLongWave(in)) {
      const WaveLayout w = ReadWaveLayout(in);
      offset = w.dataOffset;
      bytes = w.dataBytes;
    } else {
      const DataLocation at = LocateWaveData(in);
      offset = at.offset;
      bytes = at.size;
    }
    if (offset + bytes > static_cast<int64_t>(file.size())) return false;
    data.assign(file.begin() + offset, file.begin() + offset + bytes);
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace mv::fuzz
