// Writes a tape as a user would record it: an hour (or the minutes given) of
// 16-bit stereo 44.1 kHz, songs of 3 to 5 minutes of noise-like music parted
// by 4-second near-silences, all with a small DC offset.
//
//   make-tape OUT.wav [MINUTES]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tape_file.h"

namespace {

using bench::kRate;
constexpr int kDcOffset = 37;

struct Noise {
  uint32_t state = 12345;
  int next() {  // roughly uniform in -32768..32767
    state = state * 1664525u + 1013904223u;
    return static_cast<int>(state >> 16) - 32768;
  }
};


}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make-tape OUT.wav [MINUTES]\n");
    return 2;
  }
  const long minutes = argc > 2 ? std::atol(argv[2]) : 60;
  const int64_t totalFrames = int64_t{minutes} * 60 * kRate;
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  bench::PutHeader(f, totalFrames);

  Noise noise;
  std::vector<int16_t> buf;
  buf.reserve(2 * kRate);
  int64_t written = 0;
  int song = 0;
  while (written < totalFrames) {
    // A song of 3 to 5 minutes: low-passed noise under a slow envelope.
    const int64_t songFrames = (180 + (song * 53) % 121) * int64_t{kRate};
    const int64_t gapFrames = 4 * int64_t{kRate};
    int l = 0, r = 0;
    for (int64_t i = 0; i < songFrames + gapFrames && written < totalFrames; ++i, ++written) {
      int left, right;
      if (i < songFrames) {
        const int envelope = 6 + static_cast<int>((i / 4410) % 10);  // 6..15
        l = (l * 3 + noise.next()) / 4;
        r = (r * 3 + noise.next()) / 4;
        // Each channel crosses zero on its own, as music does: a frame is
        // quiet here and there where both happen to at once.
        left = l * envelope / 16 + kDcOffset;
        right = r * envelope / 16 + kDcOffset;
      } else {
        left = kDcOffset + noise.next() % 40;
        right = kDcOffset + noise.next() % 40;
      }
      buf.push_back(static_cast<int16_t>(left));
      buf.push_back(static_cast<int16_t>(right));
      if (buf.size() == buf.capacity()) {
        std::fwrite(buf.data(), 2, buf.size(), f);
        buf.clear();
      }
    }
    ++song;
  }
  std::fwrite(buf.data(), 2, buf.size(), f);
  std::fclose(f);
  std::printf("%s: %lld frames, %d songs\n", argv[1], static_cast<long long>(totalFrames), song);
  return 0;
}
