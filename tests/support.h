#pragma once
// Files made in the tests, and a host that records what a job reports.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "wave/job.h"

namespace mv::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
bool Exists(const std::string& path);
// The names in a folder that start with prefix, sorted; whatever they name.
std::vector<std::string> FileNames(const std::string& folder, const std::string& prefix = "");

void Put16(Bytes& b, uint16_t v);
void Put32(Bytes& b, uint32_t v);
uint32_t Get32(const Bytes& b, std::size_t at);
uint16_t Get16(const Bytes& b, std::size_t at);

// A canonical 44-byte-header file around the data.
Bytes MakeWav(int channels, int rate, int bits, const Bytes& data, uint16_t tag = 1);
// The data of one of Morvane's files after its 44-byte header.
Bytes DataOf(const Bytes& file);

// 16-bit frames: each value goes to every channel.
Bytes Frames16(const std::vector<int16_t>& values, int channels);
// n frames of the same value.
Bytes Repeat16(int16_t value, int frames, int channels);
Bytes Concat(std::initializer_list<Bytes> parts);

// The text of the mv::Error that f raises, or "(no error)".
std::string ErrorOf(const std::function<void()>& f);

// Checks that a file is a 44-byte-header WAVE file whose sizes match it.
::testing::AssertionResult IsFinishedWave(const std::string& path);

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
  void fileWritten(const std::string& path) override { files.push_back(path); }

  int count(const std::string& prefix) const;
  std::vector<std::string> only(const std::string& prefix) const;
};

}  // namespace mv::test
