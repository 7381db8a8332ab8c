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

}  // namespace mv
