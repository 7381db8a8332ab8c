#include "cut/explain.h"

#include <algorithm>
#include <cmath>

#include "cut/modes.h"
#include "cut/units.h"
#include "wave/errors.h"
#include "wave/paths.h"

namespace mv {

namespace {

// The shortest song is the user's own value and is given back as typed:
// "1秒", "2.5秒".
std::string shortestSongText(double seconds) { return ShortDecimalText(seconds) + "秒"; }

}  // namespace

std::string PieceFileName(int32_t number, std::string_view extension) {
  // The name in the root folder, whose folder text is empty, less its "/".
  return PieceName("", number, extension).substr(1);
}

std::string SecondsText(double seconds) { return DecimalText(seconds, 2) + "秒"; }

std::string LevelText(int32_t level, const PcmFormat& format) {
  const double dB = ThresholdDb(level, format);
  if (std::isinf(dB)) return "-∞ dBFS";
  return DecimalText(dB, 1) + " dBFS";
}

std::string SampleLevelText(int32_t level, const PcmFormat& format) {
  return std::to_string(level) + " (" + LevelText(level, format) + ")";
}

std::string PeakLevelText(int32_t peak, const PcmFormat& format) {
  const double dB = PeakDb(peak, format);
  return std::to_string(peak) + " (" + (std::isinf(dB) ? std::string("-∞") : DecimalText(dB, 1)) + " dBFS)";
}

CutExplanation ExplainCut(const CutSettings& given, const CutResult& r) {
  const CutSettings s = AsRun(given, r);
  const PcmFormat& f = s.format;
  const ScanReport& report = r.report;
  const auto& quiet = report.longestQuiet;
  const std::string quietSeconds = SecondsText(quiet ? FramesSeconds(quiet->frames, f) : 0);
  CutExplanation e;
  e.summary = format(msg::kCutSummary, std::to_string(report.pieces.size()),
                     quiet ? quietSeconds + " (" + ClockText(FramesSeconds(quiet->firstFrame, f)) + "から)"
                           : std::string("なし"));
  if (const auto& d = r.detected) {
    // The values the cut went by, so that they can be given the next time.
    const ZeroPoints z = ReadZeroPoints(s.correction);
    e.summary += format(msg::kAutoChosen, SampleLevelText(d->threshold, f),
                        SecondsText(FramesSeconds(d->runLength, f)) + " (" + std::to_string(d->runLength) + "ｻﾝﾌﾟﾙ)",
                        s.correction ? std::to_string(z.left) + "," + std::to_string(z.right) : std::string("なし"),
                        std::to_string(d->ignoreClicks));
    // The breaks the cut made, which a short sound in a gap may leave fewer
    // than the quiet runs chosen.
    const auto made = std::min<int64_t>(d->breaksFound, std::max<int64_t>(0, std::ssize(report.pieces) - 1));
    if (s.detect.songs > 0 && made < s.detect.songs - 1)
      e.notes.push_back(format(msg::kFewerBreaks, std::to_string(s.detect.songs), std::to_string(made)));
  }
  if (const auto& at = report.shortSoundBreak)
    e.notes.push_back(format(msg::kShortSoundBroke, ClockText(FramesSeconds(*at, f))));
  if (r.mergedPieces > 0)
    e.notes.push_back(
        format(msg::kBreaksMerged, std::to_string(r.mergedPieces), shortestSongText(s.minSongSeconds)));
  // Breaks merged away were found: there is nothing more to explain.
  if (report.pieces.size() > 1 || r.mergedPieces > 0 || s.mode != CutMode::AtSilences) return e;

  const std::string run =
      SecondsText(FramesSeconds(s.runLength, f)) + " (" + std::to_string(s.runLength) + "ｻﾝﾌﾟﾙ)";
  if (quiet && quiet->frames > s.runLength) {
    // Quiet enough for long enough, but no song followed where the cut looks.
    e.notes.push_back(format(msg::kNoBreakAfterQuiet, quietSeconds, run));
  } else {
    const auto& level = report.quietestBlockPeak;
    e.notes.push_back(format(msg::kNoBreakFound, quietSeconds, run,
                             level ? PeakLevelText(*level, f) : std::string("-"),
                             SampleLevelText(s.threshold, f)));
  }
  return e;
}

}  // namespace mv
