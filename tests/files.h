#pragma once
// Files and bytes made in the tests and the fuzz targets: no test framework
// here, so that both can use them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

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

}  // namespace mv::test
