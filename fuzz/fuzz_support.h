#pragma once
// What the fuzz targets share: a scratch folder, files in it, a host that
// does nothing, and the check that a file is a finished WAVE file.

#include <cstdint>
#include <string>
#include <vector>

#include "wave/job.h"

namespace mv::fuzz {

using Bytes = std::vector<uint8_t>;

// One folder for the whole process, emptied before each input.
const std::string& Scratch();
void EmptyScratch();

void Write(const std::string& path, const uint8_t* data, std::size_t size);
Bytes Read(const std::string& path);

// A finished header (RIFF and data sizes match the file); aborts otherwise.
void RequireFinished(const std::string& path);
// The sample data of a file Morvane wrote.
Bytes DataOf(const std::string& path);
// Where a source's data lies, as the engines take it; false if refused.
bool SourceData(const std::string& path, Bytes& data);

struct QuietHost : JobHost {
  int pumps = 0;
  int cancelAt = -1;
  std::vector<std::string> files;
  bool ask(const Message&) override { return true; }
  void inform(const Message&) override {}
  void pump() override { ++pumps; }
  bool cancelRequested() override { return cancelAt >= 0 && pumps >= cancelAt; }
  void fileWritten(const std::string& path) override { files.push_back(path); }
};

[[noreturn]] void Fail(const std::string& what);

}  // namespace mv::fuzz
