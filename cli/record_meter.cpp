#include "cli/record_meter.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/console_host.h"
#include "cut/units.h"

namespace mv::cli {

namespace {

constexpr double kFloorDb = -60;
constexpr auto kHold = std::chrono::milliseconds(1000);

std::string clock(int32_t s) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", s / 3600 % 100, s / 60 % 60, s % 60);
  return text;
}

}  // namespace

void ConsoleMeter::start(int channels, int32_t lengthSeconds) {
  tty_ = ::isatty(STDERR_FILENO) == 1;
  channels_ = channels == 1 ? 1 : 2;
  length_ = lengthSeconds;
  elapsed_ = 0;
  clipped_ = false;
  for (double& p : peakDb_) p = -90;
}

void ConsoleMeter::feed(const InputLevel& level, int32_t elapsedSeconds) {
  elapsed_ = elapsedSeconds;
  const auto now = Clock::now();
  for (int c = 0; c < channels_; ++c) {
    const double dB = c < level.channels && level.peak[c] > 0 ? 20 * std::log10(double{level.peak[c]}) : -90;
    if (dB >= peakDb_[c] || now - heldAt_[c] > kHold) {
      peakDb_[c] = dB;
      heldAt_[c] = now;
    }
    if (c < level.channels && level.clipped[c]) clipped_ = true;
  }
  if (!tty_) return;
  const std::string text = line(TerminalColumns(STDERR_FILENO) - 1);
  if (drawn_ && text == shown_) return;
  shown_ = text;
  std::fprintf(stderr, "\r\033[K%s", text.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

std::string ConsoleMeter::line(int columns) const {
  std::string out = clock(elapsed_) + "/" + clock(length_);
  const std::string tail = clipped_ ? " CLIP" : "";
  // Each channel: " L [bar] -12.3"; the bars take what room is left.
  const int fixed = static_cast<int>(out.size() + tail.size()) + channels_ * 11;
  const int bar = std::min(30, (columns - fixed) / channels_);
  if (bar < 4) return out.substr(0, static_cast<std::size_t>(std::max(0, columns)));
  for (int c = 0; c < channels_; ++c) {
    const double dB = peakDb_[c];
    const int filled = static_cast<int>(std::lround(std::clamp((dB - kFloorDb) / -kFloorDb, 0.0, 1.0) * bar));
    std::string number = dB <= -90 ? std::string("-inf") : DecimalText(dB, 1);
    number.insert(0, number.size() < 5 ? 5 - number.size() : 0, ' ');
    out += channels_ == 1 ? "   [" : (c == 0 ? " L [" : " R [");
    out += std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(bar - filled), '.');
    out += "] ";
    out += number;
  }
  return out + tail;
}

void ConsoleMeter::end() {
  if (tty_ && drawn_) std::fputs("\r\033[K", stderr);
  drawn_ = false;
}

}  // namespace mv::cli
