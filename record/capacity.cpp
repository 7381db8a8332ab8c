#include "record/capacity.h"

#include <algorithm>

#include "record/capture_file.h"
#include "wave/format.h"
#include "wave/paths.h"

namespace mv {

namespace {
// No recording is planned beyond what its header can tell, whatever the space.
constexpr int64_t kCapacityCap = kMaxRecordingBytes;
}

int64_t RoundHalfEven(int64_t a, int64_t b) {
  int64_t q = a / b;
  int64_t r = a % b;
  const int64_t twice = 2 * (r < 0 ? -r : r);
  const int64_t away = a < 0 ? -1 : 1;
  if (twice > b || (twice == b && q % 2 != 0)) q += away;
  return q;
}

int64_t CapacitySeconds(const CapacityInput& in) {
  int64_t fs = in.freeRecording, ft = in.freeTemp, fc = in.freeCut;
  const uint64_t s = in.keyRecording, t = in.keyTemp, c = in.keyCut;
  int64_t r;
  if (in.cutAfterRecording) {
    if (s == t && c == t)
      fs = RoundHalfEven(fs, 3);
    else if (s == t)
      fs = RoundHalfEven(fs, 2);
    else if (c == t)
      ft = RoundHalfEven(ft, 2);
    else if (s == c)
      fc = RoundHalfEven(fc, 2);
    r = fs < ft ? fs : ft;
    if (fc < r) r = fc;
  } else {
    if (s == t) fs = RoundHalfEven(fs, 2);
    r = fs < ft ? fs : ft;
  }
  // At the cap, rounding up would set a length the file cannot hold.
  const auto wide = ParseExtendedLabel(in.label);
  const int64_t cap = wide ? MaxRecordingBytes(*wide) : kCapacityCap;
  if (r >= cap) return cap / LabelBytesPerSecond(in.label);
  return RoundHalfEven(r, LabelBytesPerSecond(in.label));
}

int64_t FileSystems::freeSpace(const std::string& folder) { return FreeSpace(folder); }
uint64_t FileSystems::key(const std::string& folder) { return FileSystemKey(folder); }

CapacityInput CapacityFor(const std::string& label, const std::string& recordingFolder,
                          const std::string& tempFolder, const std::string& cutFolder,
                          bool cutAfterRecording, FreeSpaceProvider& space) {
  CapacityInput in;
  in.label = label;
  in.freeRecording = space.freeSpace(recordingFolder);
  in.freeTemp = space.freeSpace(tempFolder);
  in.freeCut = space.freeSpace(cutFolder);
  in.keyRecording = space.key(recordingFolder);
  in.keyTemp = space.key(tempFolder);
  in.keyCut = space.key(cutFolder);
  in.cutAfterRecording = cutAfterRecording;
  return in;
}

void ApplyLengthLimits(int64_t n, LengthFields& f) {
  const auto h = static_cast<int32_t>(n / 3600);
  f.hours.maximum = h;
  f.hours.value = std::min(f.hours.value, h);

  const auto m = static_cast<int32_t>((n - int64_t{h} * 3600) / 60);
  const bool atHours = f.hours.value == f.hours.maximum;
  f.minutes.maximum = atHours ? m : 59;
  if (atHours) f.minutes.value = std::min(f.minutes.value, f.minutes.maximum);

  const auto x = static_cast<int32_t>(n - (int64_t{h} * 60 + m) * 60);
  const bool atMinutes = atHours && f.minutes.value == f.minutes.maximum;
  f.seconds.maximum = atMinutes ? x : 59;
  if (atMinutes) f.seconds.value = std::min(f.seconds.value, f.seconds.maximum);

  f.hours.enabled = h != 0;
  f.minutes.enabled = h != 0 || f.minutes.maximum != 0;
}

}  // namespace mv
