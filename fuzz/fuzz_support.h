#pragma once
// What the fuzz targets share beyond the tests' files: a scratch folder for
// the outputs, sources in memory, a host that does nothing, and the check that
// a file is a finished WAVE file.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/files.h"
#include "wave/job.h"
#include "wave/source.h"

namespace mv::fuzz {

using test::Bytes;

// One folder for the whole process, emptied before each input.
const std::string& Scratch();
void EmptyScratch();

// Opens the named sources from memory; any other name cannot be opened.
OpenSource InMemory(std::map<std::string, Bytes> files);
inline OpenSource InMemory(const std::string& name, const Bytes& bytes) { return InMemory({{name, bytes}}); }

// A finished header (RIFF and data sizes match the file); aborts otherwise.
void RequireFinished(const std::string& path);
// The sample data of a file Morvane wrote.
Bytes DataOf(const std::string& path);
// Where a source's data lies, as the engines take it; false if refused.
bool SourceData(const std::string& name, const Bytes& file, Bytes& data);

struct QuietHost : JobHost {
  int pumps = 0;
  int cancelAt = -1;
  std::vector<std::string> files;
  bool ask(const Message&) override { return true; }
  void inform(const Message&) override {}
  void pump() override { ++pumps; }
  bool cancelRequested() override { return cancelAt >= 0 && pumps >= cancelAt; }
  void fileWritten(const std::string& path, int64_t) override { files.push_back(path); }
};

[[noreturn]] void Fail(const std::string& what);

}  // namespace mv::fuzz
