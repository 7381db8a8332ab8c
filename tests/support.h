#pragma once
// What the tests share beyond files: errors, the finished-file check, and a
// host that records what a job reports.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/files.h"
#include "wave/file.h"
#include "wave/job.h"

namespace mv::test {

// The text of the mv::Error that f raises, or "(no error)".
std::string ErrorOf(const std::function<void()>& f);

// Whether a program the tests make or read files with is on the PATH.
bool HaveTool(const std::string& tool);

// Checks that a file is a 44-byte-header WAVE file whose sizes match it.
::testing::AssertionResult IsFinishedWave(const std::string& path);

// Bytes in memory whose reads a test may watch, or hold back: beforeRead
// hears where each read starts and how much it asks for.
struct WatchedStream final : ByteStream {
  explicit WatchedStream(const Bytes& bytes) : inner(bytes) {}
  std::size_t read(void* buf, std::size_t n) override {
    if (beforeRead) beforeRead(inner.position(), n);
    return inner.read(buf, n);
  }
  void write(const void* buf, std::size_t n) override { inner.write(buf, n); }
  void seek(int64_t pos) override { inner.seek(pos); }
  int64_t position() const override { return inner.position(); }
  int64_t size() const override { return inner.size(); }
  void truncate(int64_t n) override { inner.truncate(n); }
  MemoryStream inner;
  std::function<void(int64_t at, std::size_t n)> beforeRead;
};

struct RecordingHost : JobHost {
  std::vector<std::string> events;  // "begin", "status:..", "progress:N", "end", ...
  std::vector<std::string> files;
  bool answer = true;
  int cancelAfterPumps = -1;  // press cancel at this pump (counting from 1)
  int pumps = 0;
  bool cancel = false;
  std::function<void()> onPump;

  bool ask(const Message& q) override {
    events.push_back("ask:" + std::string(q.text));
    return answer;
  }
  void inform(const Message& m) override { events.push_back("inform:" + std::string(m.text)); }
  void begin() override { events.push_back("begin"); }
  void end() override { events.push_back("end"); }
  void status(std::string_view t) override { events.push_back("status:" + std::string(t)); }
  void progress(int p) override { events.push_back("progress:" + std::to_string(p)); }
  void pump() override {
    ++pumps;
    if (pumps == cancelAfterPumps) cancel = true;
    if (onPump) onPump();
  }
  void resetCancel() override { cancel = false; }
  bool cancelRequested() override { return cancel; }
  void fileWritten(const std::string& path, int64_t) override { files.push_back(path); }

  int count(const std::string& prefix) const;
  std::vector<std::string> only(const std::string& prefix) const;
};

}  // namespace mv::test
