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
// The bytes of a file as a string; empty when it cannot be read.
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);
// An empty folder at path, whatever was there before; gives the path.
std::string EmptyFolder(const std::string& path);
// The names in a folder that start with prefix, sorted; whatever they name.
std::vector<std::string> FileNames(const std::string& folder, const std::string& prefix = "");
// The bytes of the folder's files whose names start with "mv", by name: the
// pieces of a cut.
std::vector<Bytes> PieceFiles(const std::string& folder);

void Put16(Bytes& b, uint16_t v);
void Put32(Bytes& b, uint32_t v);
uint32_t Get32(const Bytes& b, std::size_t at);
uint16_t Get16(const Bytes& b, std::size_t at);
// Overwrite the field at `at`, e.g. to make a header lie.
void Set16(Bytes& b, std::size_t at, uint16_t v);
void Set32(Bytes& b, std::size_t at, uint32_t v);

// Hand-made RIFF files: the bytes of a text, a chunk (padded to an even
// size), a file of chunks, and a format record's body (PCM unless tag says).
Bytes Ascii(const std::string& text);
Bytes Chunk(const std::string& id, const Bytes& payload);
Bytes Riff(std::initializer_list<Bytes> chunks, const std::string& id = "RIFF");
Bytes FormatRecord(int channels, int rate, int bits, uint16_t tag = 1);

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
