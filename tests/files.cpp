#include "tests/files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace mv::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "morvane-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string ReadText(const std::string& path) {
  const Bytes b = ReadBytes(path);
  return std::string(b.begin(), b.end());
}

bool Exists(const std::string& path) { return fs::exists(path); }

std::string EmptyFolder(const std::string& path) {
  fs::remove_all(path);
  fs::create_directories(path);
  return path;
}

std::vector<std::string> FileNames(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with(prefix)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<Bytes> PieceFiles(const std::string& folder) {
  std::vector<Bytes> files;
  for (const std::string& name : FileNames(folder, "mv")) files.push_back(ReadBytes(folder + "/" + name));
  return files;
}

void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t Get32(const Bytes& b, std::size_t at) {
  return uint32_t{b.at(at)} | uint32_t{b.at(at + 1)} << 8 | uint32_t{b.at(at + 2)} << 16 |
         uint32_t{b.at(at + 3)} << 24;
}
uint16_t Get16(const Bytes& b, std::size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
void Set16(Bytes& b, std::size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
void Set32(Bytes& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + static_cast<std::size_t>(i)) = static_cast<uint8_t>(v >> (8 * i));
}

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Chunk(const std::string& id, const Bytes& payload) {
  Bytes b = Ascii(id);
  Put32(b, static_cast<uint32_t>(payload.size()));
  b.insert(b.end(), payload.begin(), payload.end());
  if (payload.size() % 2) b.push_back(0);
  return b;
}

Bytes Riff(std::initializer_list<Bytes> chunks, const std::string& id) {
  const Bytes body = Concat(chunks);
  Bytes b = Ascii(id);
  Put32(b, static_cast<uint32_t>(body.size() + 4));
  for (uint8_t c : Ascii("WAVE")) b.push_back(c);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes FormatRecord(int channels, int rate, int bits, uint16_t tag) {
  Bytes b;
  Put16(b, tag);
  Put16(b, static_cast<uint16_t>(channels));
  Put32(b, static_cast<uint32_t>(rate));
  Put32(b, static_cast<uint32_t>(rate * channels * ((bits + 7) / 8)));
  Put16(b, static_cast<uint16_t>(channels * ((bits + 7) / 8)));
  Put16(b, static_cast<uint16_t>(bits));
  return b;
}

Bytes MakeWav(int channels, int rate, int bits, const Bytes& data, uint16_t tag) {
  // Not Riff(): odd data gets no pad byte here, as Morvane writes it.
  Bytes b = Ascii("RIFF");
  Put32(b, static_cast<uint32_t>(36 + data.size()));
  b = Concat({b, Ascii("WAVE"), Chunk("fmt ", FormatRecord(channels, rate, bits, tag)), Ascii("data")});
  Put32(b, static_cast<uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes DataOf(const Bytes& file) {
  return file.size() < 44 ? Bytes{} : Bytes(file.begin() + 44, file.end());
}

Bytes Frames16(const std::vector<int16_t>& values, int channels) {
  Bytes b;
  for (int16_t v : values)
    for (int c = 0; c < channels; ++c) Put16(b, static_cast<uint16_t>(v));
  return b;
}

Bytes Repeat16(int16_t value, int frames, int channels) {
  return Frames16(std::vector<int16_t>(static_cast<std::size_t>(frames), value), channels);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace mv::test
