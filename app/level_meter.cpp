#include "app/level_meter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace mv {

namespace {

constexpr double kFallDbPerSecond = 24;
constexpr qint64 kHoldMs = 1500;
constexpr qint64 kHotMs = 500;  // a red bar stays red this long
constexpr double kYellowDb = -12;

constexpr int kBarLeft = 10, kBarWidth = 104, kMarkLeft = 117, kMarkWidth = 8;
constexpr int kTickTop = 22;

const QColor kTrough(24, 24, 24);
const QColor kGreen(40, 200, 60);
const QColor kYellow(230, 210, 40);
const QColor kRed(230, 30, 30);

double toDb(float peak) {
  return peak > 0 ? std::max(LevelMeter::kFloorDb, 20.0 * std::log10(double{peak})) : LevelMeter::kFloorDb;
}

}  // namespace

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) {
  setObjectName("Meter");
  clock_.start();
}

double LevelMeter::Position(double dB) {
  // Piecewise linear: 15 % for -70..-40 dB, 35 % for -40..-20, 50 % for -20..0.
  double p;
  if (dB < -40)
    p = (dB - kFloorDb) / 30 * 0.15;
  else if (dB < -20)
    p = 0.15 + (dB + 40) / 20 * 0.35;
  else
    p = 0.5 + (dB + 20) / 20 * 0.5;
  return std::clamp(p, 0.0, 1.0);
}

void LevelMeter::start(int channels) {
  channels_ = channels == 1 ? 1 : 2;
  for (Channel& c : ch_) c = Channel{};
  updates_ = 0;
  lastFeed_ = clock_.elapsed();
  update();
}

void LevelMeter::feed(const InputLevel& level) {
  const qint64 now = clock_.elapsed();
  const double fall = kFallDbPerSecond * static_cast<double>(now - lastFeed_) / 1000.0;
  lastFeed_ = now;
  for (int i = 0; i < channels_; ++i) {
    Channel& c = ch_[i];
    const bool got = i < level.channels;
    const double dB = got ? toDb(level.peak[i]) : kFloorDb;
    c.level = std::max(dB, std::max(kFloorDb, c.level - fall));
    if (c.level >= c.hold) {
      c.hold = c.level;
      c.heldAt = now;
    } else if (now - c.heldAt > kHoldMs) {
      c.hold = std::max(c.level, c.hold - fall);
    }
    if (got && level.clipped[i]) {
      c.hot = c.clipMark = true;
      c.hotAt = now;
    } else if (c.hot && now - c.hotAt > kHotMs) {
      c.hot = false;
    }
  }
  ++updates_;
  update();
}

void LevelMeter::stop() {
  for (Channel& c : ch_) {
    c.level = c.hold = kFloorDb;
    c.hot = false;
  }
  update();
}

QRect LevelMeter::barRect(int channel) const {
  if (channels_ == 1) return {kBarLeft, 4, kBarWidth, 14};
  return {kBarLeft, channel == 0 ? 2 : 12, kBarWidth, 8};
}

void LevelMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QFont small = font();
  small.setPixelSize(8);
  p.setFont(small);
  const QColor ink = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);

  for (int i = 0; i < channels_; ++i) {
    const Channel& c = ch_[i];
    const QRect bar = barRect(i);
    p.setPen(ink);
    if (channels_ == 2)
      p.drawText(QRect(1, bar.top() - 1, 8, bar.height() + 2), Qt::AlignCenter,
                 i == 0 ? QStringLiteral("L") : QStringLiteral("R"));
    p.fillRect(bar, kTrough);
    const int filled = static_cast<int>(std::lround(Position(c.level) * bar.width()));
    if (filled > 0) {
      if (c.hot) {
        p.fillRect(bar.left(), bar.top(), filled, bar.height(), kRed);
      } else {
        const int green = std::min(filled, static_cast<int>(std::lround(Position(kYellowDb) * bar.width())));
        p.fillRect(bar.left(), bar.top(), green, bar.height(), kGreen);
        if (filled > green) p.fillRect(bar.left() + green, bar.top(), filled - green, bar.height(), kYellow);
      }
    }
    if (c.hold > kFloorDb) {
      const int x = bar.left() + static_cast<int>(std::lround(Position(c.hold) * bar.width())) - 1;
      p.fillRect(std::max(bar.left(), x - 1), bar.top(), 2, bar.height(), c.hot ? kRed : Qt::white);
    }
    const QRect mark(kMarkLeft, bar.top(), kMarkWidth, bar.height());
    p.fillRect(mark, c.clipMark ? kRed : kTrough);
  }

  // The scale under the bars, in dBFS.
  p.setPen(ink);
  for (int dB : {-60, -50, -40, -30, -20, -10, -6, -3, 0}) {
    const int x = kBarLeft + static_cast<int>(std::lround(Position(dB) * kBarWidth)) - (dB == 0 ? 1 : 0);
    p.drawLine(x, kTickTop, x, kTickTop + 2);
  }
  for (int dB : {-40, -20, -10, 0}) {
    const int x = kBarLeft + static_cast<int>(std::lround(Position(dB) * kBarWidth));
    p.drawText(QRect(x - 12, kTickTop + 2, 24, 10), Qt::AlignHCenter | Qt::AlignTop, QString::number(dB));
  }
  p.drawText(QRect(kMarkLeft - 3, kTickTop + 2, kMarkWidth + 6, 10), Qt::AlignHCenter | Qt::AlignTop,
             QStringLiteral("dB"));
}

}  // namespace mv
