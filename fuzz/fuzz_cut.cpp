// The whole cut, both modes, on a source in memory made of the input: the
// first bytes are the settings, the rest the file. Whatever happens, every piece left is
// a finished WAVE file; a complete run without correction loses no byte.

#include <cstdint>
#include <string>

#include "cut/cut.h"
#include "fuzz/fuzz_support.h"
#include "wave/errors.h"
#include "wave/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mv;
  if (size < 9) return 0;
  fuzz::EmptyScratch();
  const uint8_t* p = data;
  CutSettings s;
  s.mode = (p[0] & 1) == 0 ? CutMode::AtSilences : CutMode::EqualLengths;
  s.source = fuzz::Scratch() + ((p[0] & 2) ? "/tape.wav" : "/tape.raw");
  s.saveFolder = fuzz::Scratch();
  s.format = ParseFormatLabel(kCutLabels[p[1] % kFormatCount]);
  s.threshold = p[2] * 260;  // 0 .. 66300, past both ends of the range
  s.runLength = 1 + (p[3] | (p[4] & 7) << 8);
  s.pieceLength = {0, 0, 1 + p[5] % 3};
  // Captions as the window holds them, or numbers as the command line gives.
  if (p[0] & 4) s.correction = Correction{std::to_string(static_cast<int8_t>(p[6]) * 64), int64_t{static_cast<int8_t>(p[7]) * 3}};
  // Clicks and a shortest song, off for half the inputs.
  s.ignoreClicks = (p[8] & 0x80) ? p[8] & 0x1F : 0;
  s.minSongSeconds = (p[8] & 0x40) ? (p[8] >> 5 & 1) * 0.001 + (p[3] & 3) * 0.0004 : 0;
  const fuzz::Bytes file(data + 9, data + size);

  fuzz::QuietHost host;
  if (p[0] & 8) host.cancelAt = 1 + p[5] / 8;
  CutEnd end = CutEnd::NothingToDo;
  try {
    end = RunCut(s, host, fuzz::InMemory(s.source, file)).end;
  } catch (const Error&) {
  }
  fuzz::Bytes joined;
  for (const std::string& f : host.files) {
    fuzz::RequireFinished(f);
    const fuzz::Bytes d = fuzz::DataOf(f);
    joined.insert(joined.end(), d.begin(), d.end());
  }
  fuzz::Bytes source;
  if (end == CutEnd::Complete) {
    // A dry run finds the pieces the run wrote.
    CutSettings dry = s;
    dry.dryRun = true;
    fuzz::QuietHost dryHost;
    const CutResult found = RunCut(dry, dryHost, fuzz::InMemory(s.source, file));
    if (found.report.pieces.size() != host.files.size()) fuzz::Fail("the dry run finds other pieces");
    for (std::size_t k = 0; k < host.files.size(); ++k)
      if (static_cast<std::size_t>(found.report.pieces[k].dataBytes) != fuzz::DataOf(host.files[k]).size())
        fuzz::Fail("a piece of the dry run has another length");
  }
  if (end == CutEnd::Complete && fuzz::SourceData(s.source, file, source)) {
    if (joined.size() != source.size()) fuzz::Fail("the pieces do not add up to the source");
    if (!s.correction && joined != source) fuzz::Fail("the pieces differ from the source");
  }
  return 0;
}
