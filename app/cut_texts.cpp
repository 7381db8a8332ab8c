#include "app/cut_texts.h"

#include <cmath>

#include "cut/units.h"

namespace mv {

QString LevelText(int32_t level, const PcmFormat& format) {
  const double dB = ThresholdDb(level, format);
  if (std::isinf(dB)) return QStringLiteral("-∞ dBFS");
  return QStringLiteral("%1 dBFS").arg(dB, 0, 'f', 1);
}

QString SampleLevelText(int32_t level, const PcmFormat& format) {
  return QStringLiteral("%1 (%2)").arg(level).arg(LevelText(level, format));
}

QString SecondsText(double seconds) { return QStringLiteral("%1秒").arg(seconds, 0, 'f', 2); }

QString ClockText(double seconds) {
  const auto ms = static_cast<int64_t>(std::floor(seconds * 1000 + 1e-6));
  return QStringLiteral("%1:%2:%3.%4")
      .arg(ms / 3600000)
      .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
      .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

}  // namespace mv
