// The join on up to three sources in memory, cut from the input. An output
// left is always a finished file; a complete join of WAVE and raw sources holds
// every source's data in order.

#include <cstdint>
#include <map>
#include <string>

#include "flac/flac_source.h"
#include "fuzz/fuzz_support.h"
#include "join/join.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mv;
  if (size < 4) return 0;
  fuzz::EmptyScratch();
  const int count = 1 + data[0] % 3;
  JoinSettings s;
  s.output = fuzz::Scratch() + "/out.wav";
  s.format = ParseFormatLabel(kJoinLabels[data[1] % kFormatCount]);
  std::map<std::string, fuzz::Bytes> files;
  std::size_t at = 4;
  for (int i = 0; i < count; ++i) {
    const std::size_t left = size - at;
    const std::size_t take = i + 1 == count ? left : std::min<std::size_t>(left, data[2 + i % 2] * 4u);
    const std::string name = fuzz::Scratch() + "/s" + std::to_string(i) + (data[0] & (8 << i) ? ".wav" : ".RAW");
    files[name] = fuzz::Bytes(data + at, data + at + take);
    s.sources.push_back(name);
    at += take;
  }
  fuzz::QuietHost host;
  JoinEnd end = JoinEnd::NothingToDo;
  try {
    end = RunJoin(s, host, fuzz::InMemory(files)).end;
  } catch (const Error&) {
  }
  // A FLAC source, whatever its name, is joined decoded, into FLAC or, for a
  // format FLAC cannot hold, WAVE: an output left decodes whole or is finished.
  bool flac = false;
  for (auto& [name, bytes] : files) {
    MemoryStream in(bytes);
    flac = flac || IsFlacStream(in);
  }
  if (flac) {
    if (end == JoinEnd::Complete && !test::Exists(s.output)) fuzz::Fail("a complete join left no output");
    if (!test::Exists(s.output)) return 0;
    if (test::ReadText(s.output).rfind("fLaC", 0) != 0) {
      fuzz::RequireFinished(s.output);
      return 0;
    }
    try {
      const auto out = FlacSource::open(s.output);
      std::vector<uint8_t> buf(4096);
      while (out->read(buf.data(), buf.size()) == buf.size()) {
      }
    } catch (const Error&) {
      fuzz::Fail("the FLAC output does not decode");
    }
    return 0;
  }
  // A refused join makes no output at all; any output is a finished file.
  if (end == JoinEnd::Complete || test::Exists(s.output)) fuzz::RequireFinished(s.output);
  if (end == JoinEnd::Complete) {
    fuzz::Bytes expected;
    for (const std::string& src : s.sources) {
      fuzz::Bytes d;
      if (!fuzz::SourceData(src, files[src], d)) fuzz::Fail("a refused source was joined");
      expected.insert(expected.end(), d.begin(), d.end());
    }
    if (fuzz::DataOf(s.output) != expected) fuzz::Fail("the output differs from its sources");
  }
  return 0;
}
