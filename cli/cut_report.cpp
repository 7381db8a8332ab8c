#include "cli/cut_report.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "cli/console_host.h"
#include "cut/units.h"
#include "wave/errors.h"
#include "wave/format.h"

namespace mv::cli {

namespace {

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char ch : text) {
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += static_cast<char>(ch);
    } else if (ch < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", ch);
      out += esc;
    } else {
      out += static_cast<char>(ch);
    }
  }
  return out + "\"";
}

std::string number(double v) { return DecimalText(v, 6); }

std::string labelOf(const PcmFormat& f) {
  const auto p = FormatListPosition(f.channels, f.sampleRate, f.bitsPerSample);
  return p ? std::string(kCutLabels[*p]) : std::string();
}

// A text file that holds all of text or reports the write error.
void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) raise(msg::kCannotCreate, path);
}

std::string dB(int32_t level, const PcmFormat& f) {
  const double v = ThresholdDb(level, f);
  return std::isinf(v) ? std::string("-inf dBFS") : DecimalText(v, 1) + " dBFS";
}

std::string secondsText(double seconds) { return DecimalText(seconds, 2) + "秒"; }

}  // namespace

std::string PieceFileName(int32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "mv%6.6d.wav", number);
  return name;
}

void PrintPieceLines(const CutResult& r, const PcmFormat& f) {
  int32_t n = 0;
  for (const Piece& p : r.report.pieces) {
    const double start = BytesSeconds(p.firstByte, f), length = BytesSeconds(p.dataBytes, f);
    std::printf("%s  %s  %s  %s  %lld bytes\n", PieceFileName(++n).c_str(), ClockText(start).c_str(),
                ClockText(start + length).c_str(), ClockText(length).c_str(),
                static_cast<long long>(p.dataBytes));
  }
  std::fflush(stdout);
}

void PrintJson(const CutSettings& s, const CutResult& r, bool written) {
  const PcmFormat& f = s.format;
  std::string j = "{";
  j += "\"source\": " + jsonString(s.source);
  j += ", \"format\": " + jsonString(labelOf(f));
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
    j += "{\"file\": " + jsonString(PieceFileName(++n));
    j += ", \"first_byte\": " + std::to_string(p.firstByte);
    j += ", \"data_bytes\": " + std::to_string(p.dataBytes);
    j += ", \"start_s\": " + number(BytesSeconds(p.firstByte, f));
    j += ", \"length_s\": " + number(BytesSeconds(p.dataBytes, f));
    j += ", \"peak\": " + std::to_string(p.peak) + "}";
  }
  j += "], \"longest_quiet_run\": ";
  if (const auto& q = r.report.longestQuiet)
    j += "{\"first_frame\": " + std::to_string(q->firstFrame) + ", \"frames\": " + std::to_string(q->frames) +
         ", \"seconds\": " + number(FramesSeconds(q->frames, f)) + "}";
  else
    j += "null";
  j += "}\n";
  std::fputs(j.c_str(), stdout);
  std::fflush(stdout);
}

void WriteLabels(const std::string& path, const CutResult& r, const PcmFormat& f) {
  std::string text;
  int32_t n = 0;
  for (const Piece& p : r.report.pieces) {
    const std::string name = PieceFileName(++n);
    text += number(BytesSeconds(p.firstByte, f)) + "\t" + number(BytesSeconds(p.firstByte + p.dataBytes, f)) +
            "\t" + name.substr(0, name.size() - 4) + "\n";
  }
  writeText(path, text);
}

void WriteCue(const std::string& path, const std::string& source, const CutResult& r, const PcmFormat& f) {
  std::string text = "FILE " + jsonString(source) + " WAVE\n";
  int32_t n = 0;
  for (const Piece& p : r.report.pieces) {
    const int64_t frames = BytesCueFrames(p.firstByte, f);
    char lines[96];
    std::snprintf(lines, sizeof lines, "  TRACK %02d AUDIO\n    INDEX 01 %02lld:%02lld:%02lld\n", ++n,
                  static_cast<long long>(frames / 75 / 60), static_cast<long long>(frames / 75 % 60),
                  static_cast<long long>(frames % 75));
    text += lines;
  }
  writeText(path, text);
}

void PrintSummary(const CutSettings& s, const CutResult& r) {
  const PcmFormat& f = s.format;
  const auto& q = r.report.longestQuiet;
  const std::string longest =
      q ? secondsText(FramesSeconds(q->frames, f)) + " (" + ClockText(FramesSeconds(q->firstFrame, f)) + "から)"
        : std::string("なし");
  PrintMessage(format(format(msg::kCutSummary, std::to_string(r.report.pieces.size())), longest));
  if (const auto& at = r.report.shortSoundBreak)
    PrintMessage(format(msg::kShortSoundBroke, ClockText(FramesSeconds(*at, f))));
  if (r.mergedPieces > 0) {
    const std::string shortest = ShortDecimalText(s.minSongSeconds) + "秒";
    PrintMessage(format(format(msg::kBreaksMerged, std::to_string(r.mergedPieces)), shortest));
  }
  // Breaks merged away were found: there is nothing more to explain.
  if (r.report.pieces.size() > 1 || r.mergedPieces > 0 || s.mode != CutMode::AtSilences) return;
  const auto& level = r.report.quietestBlockPeak;
  const std::string runText = secondsText(FramesSeconds(s.runLength, f)) + " (" + std::to_string(s.runLength) + "ｻﾝﾌﾟﾙ)";
  if (q && q->frames > s.runLength) {
    // Quiet enough for long enough, but no song followed where the cut looks.
    PrintMessage(format(format(msg::kNoBreakAfterQuiet, secondsText(FramesSeconds(q->frames, f))), runText));
    return;
  }
  std::string why = format(msg::kNoBreakFound, q ? secondsText(FramesSeconds(q->frames, f)) : "0秒");
  why = format(why, runText);
  why = format(why, level ? std::to_string(*level) + " (" + dB(*level, f) + ")" : std::string("-"));
  why = format(why, std::to_string(s.threshold) + " (" + dB(s.threshold, f) + ")");
  PrintMessage(why);
}

}  // namespace mv::cli
