#include "cli/cut_report.h"

#include <cmath>
#include <cstdio>

#include "cli/console_host.h"
#include "cli/json_text.h"
#include "cut/modes.h"
#include "cut/units.h"
#include "wave/errors.h"
#include "wave/format.h"

namespace mv::cli {

namespace {

std::string number(double v) { return DecimalText(v, 6); }

// A level in dB, or null for silence.
std::string dB(double v) { return std::isinf(v) ? std::string("null") : DecimalText(v, 2); }

std::string labelOf(const PcmFormat& f) { return FormatLabel(f); }

}  // namespace

void PrintPieceLines(const CutResult& r, const PcmFormat& f) {
  int32_t n = 0;
  for (const Piece& p : r.report.pieces) {
    const double start = BytesSeconds(p.firstByte, f), length = BytesSeconds(p.dataBytes, f);
    std::printf("%s  %s  %s  %s  %lld bytes\n", r.fileName(++n).c_str(), ClockText(start).c_str(),
                ClockText(start + length).c_str(), ClockText(length).c_str(),
                static_cast<long long>(p.dataBytes));
  }
  std::fflush(stdout);
}

void PrintJson(const CutSettings& given, const CutResult& r, bool written) {
  const CutSettings s = AsRun(given, r);
  const PcmFormat& f = s.format;
  std::string j = "{";
  j += "\"source\": " + JsonString(s.source);
  j += ", \"source_hex\": \"" + HexBytes(s.source) + "\"";
  j += ", \"format\": " + JsonString(labelOf(f));
  j += ", \"channels\": " + std::to_string(f.channels);
  j += ", \"rate\": " + std::to_string(f.sampleRate);
  j += ", \"bits\": " + std::to_string(f.bitsPerSample);
  j += ", \"data_start\": " + std::to_string(r.dataStart);
  j += ", \"data_bytes\": " + std::to_string(r.dataSize);
  j += ", \"threshold\": " + std::to_string(s.threshold);
  j += ", \"run_length\": " + std::to_string(s.runLength);
  j += std::string(", \"written\": ") + (written ? "true" : "false");
  j += ", \"files\": [";
  int32_t n = 0;
  for (const Piece& p : r.report.pieces) {
    if (n > 0) j += ", ";
    j += "{\"file\": " + JsonString(r.fileName(++n));
    j += ", \"first_byte\": " + std::to_string(p.firstByte);
    j += ", \"data_bytes\": " + std::to_string(p.dataBytes);
    j += ", \"start_s\": " + number(BytesSeconds(p.firstByte, f));
    j += ", \"length_s\": " + number(BytesSeconds(p.dataBytes, f));
    j += ", \"peak\": " + std::to_string(p.peak);
    j += ", \"gap\": ";
    if (p.gap)
      j += "{\"frames\": " + std::to_string(p.gap->frames) + ", \"peak_db\": " +
           (p.gap->peak ? dB(PeakDb(*p.gap->peak, f)) : std::string("null")) + "}";
    else
      j += "null";
    if (s.keepSilenceSeconds)
      j += ", \"trimmed_start_s\": " + number(BytesSeconds(p.trimmedFront, f)) +
           ", \"trimmed_end_s\": " + number(BytesSeconds(p.trimmedBack, f));
    if (static_cast<std::size_t>(n) <= r.tags.size()) {
      const Tags& t = r.tags[static_cast<std::size_t>(n - 1)];
      j += ", \"track\": " + std::to_string(t.track) + ", \"title\": " + JsonString(t.title);
    }
    j += "}";
  }
  j += "], \"longest_quiet_run\": ";
  if (const auto& q = r.report.longestQuiet)
    j += "{\"first_frame\": " + std::to_string(q->firstFrame) + ", \"frames\": " + std::to_string(q->frames) +
         ", \"seconds\": " + number(FramesSeconds(q->frames, f)) + "}";
  else
    j += "null";
  if (const auto& d = r.detected) {
    j += ", \"auto\": {\"threshold\": " + std::to_string(d->threshold) + ", \"threshold_db\": " +
         dB(ThresholdDb(d->threshold, f)) + ", \"run_length\": " + std::to_string(d->runLength) +
         ", \"run_s\": " + number(FramesSeconds(d->runLength, f)) + ", \"zero\": ";
    if (s.correction) {
      const ZeroPoints z = ReadZeroPoints(s.correction);
      j += "[" + std::to_string(z.left) + ", " + std::to_string(z.right) + "]";
    } else {
      j += "null";
    }
    j += ", \"ignore_clicks\": " + std::to_string(d->ignoreClicks);
    if (s.detect.songs > 0) j += ", \"breaks_found\": " + std::to_string(d->breaksFound);
    j += "}";
  }
  j += "}\n";
  std::fputs(j.c_str(), stdout);
  std::fflush(stdout);
}

void PrintSummary(const CutSettings& s, const CutResult& r) {
  const CutExplanation told = ExplainCut(s, r);
  PrintMessage(told.summary);
  for (const std::string& note : told.notes) PrintMessage(note);
}

}  // namespace mv::cli
