#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"

namespace mv::fuzz {

namespace fs = std::filesystem;

namespace {
struct ScratchFolder {
  std::string path;
  ScratchFolder() : path((fs::temp_directory_path() / "morvane-fuzz-XXXXXX").string()) {
    if (!::mkdtemp(path.data())) std::abort();
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};
}  // namespace

const std::string& Scratch() {
  static const ScratchFolder folder;
  return folder.path;
}

void EmptyScratch() {
  for (const auto& e : fs::directory_iterator(Scratch())) fs::remove_all(e.path());
}

void Write(const std::string& path, const uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

Bytes Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

void RequireFinished(const std::string& path) {
  const Bytes b = Read(path);
  auto get32 = [&](std::size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
  };
  if (b.size() < 44) Fail(path + " is shorter than its header");
  if (get32(4) != b.size() - 8 || get32(40) != b.size() - 44) Fail(path + " has sizes that do not match");
}

Bytes DataOf(const std::string& path) {
  Bytes b = Read(path);
  return b.size() < 44 ? Bytes{} : Bytes(b.begin() + 44, b.end());
}

bool SourceData(const std::string& path, Bytes& data) {
  const Bytes all = Read(path);
  if (!IsWaveFileName(path)) {
    data = all;
    return true;
  }
  try {
    MemoryStream in(all);
    const DataLocation at = LocateWaveData(in);
    if (at.offset + at.size > static_cast<int64_t>(all.size())) return false;
    data.assign(all.begin() + at.offset, all.begin() + at.offset + at.size);
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace mv::fuzz
