#pragma once
// The threshold and the run length in the units people think in: a level in
// dBFS and a length in seconds, for the format of the data.

#include <cstdint>
#include <string>

#include "wave/format.h"

namespace mv {

// Full scale of a sample: 32768 for 16-bit data, 128 for 8-bit.
int32_t FullScale(const PcmFormat& format);

// T = trunc(F × 10^(dB/20)), for dB <= 0.
int32_t ThresholdFromDb(double dB, const PcmFormat& format);
// The level of a threshold in dBFS; -infinity for 0.
double ThresholdDb(int32_t threshold, const PcmFormat& format);

// The level of a peak, in the samples' own units, in dBFS; -infinity for 0.
double PeakDb(int32_t peak, const PcmFormat& format);

// N = floor(seconds × rate + 0.5).
int64_t FramesFromSeconds(double seconds, const PcmFormat& format);
double FramesSeconds(int64_t frames, const PcmFormat& format);

// Bytes of data from its start as seconds; frames and 1/75 s counted down.
double BytesSeconds(int64_t bytes, const PcmFormat& format);
int64_t BytesCueFrames(int64_t bytes, const PcmFormat& format);

// Seconds as H:MM:SS.mmm, counted down to the millisecond.
std::string ClockText(double seconds);

// A number with a point, never a comma, whatever locale the process runs
// in (Qt sets the user's): with the decimals given, or as %g writes it.
std::string DecimalText(double value, int decimals);
std::string ShortDecimalText(double value);

}  // namespace mv
