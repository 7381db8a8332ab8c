#pragma once
// Values of a cut as the window shows them: levels in dBFS and lengths in
// seconds, for the format of the data.

#include <QString>
#include <cstdint>

#include "wave/format.h"

namespace mv {

// "-50.3 dBFS"; "-∞ dBFS" for 0.
QString LevelText(int32_t level, const PcmFormat& format);
// A level with its sample value: "50 (-56.3 dBFS)".
QString SampleLevelText(int32_t level, const PcmFormat& format);
// "2.35秒".
QString SecondsText(double seconds);

}  // namespace mv
