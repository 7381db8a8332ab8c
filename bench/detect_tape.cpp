// Writes a tape of real songs with known breaks, for the detection bench:
// the songs (raw 16-bit stereo 44.1 kHz, as sox decodes them) joined by gaps
// of the given lengths, all under hiss, hum and a DC offset, with clicks in
// some gaps and fade-outs on some songs. Prints each true gap as
// "start end" in seconds, one a line, on stdout. A gap takes in the songs'
// own edges below -60 dBFS: a song that starts late starts where its sound does.
//
//   detect-tape OUT.wav SEED HISS_DB HUM_HZ HUM_DB DC_L DC_R MONO SONG.raw...
//
// HISS_DB and HUM_DB are dBFS (RMS of the hiss, peak of the hum; HUM_HZ 0 for
// none); DC_L and DC_R are 16-bit units; MONO 1 puts the left channel in both.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "tape_file.h"

namespace {

using bench::kRate;
constexpr double kPi = 3.14159265358979323846;


std::vector<int16_t> readRaw(const char* path) {
  std::vector<int16_t> s;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return s;
  int16_t buf[8192];
  for (std::size_t n; (n = std::fread(buf, 2, 8192, f)) > 0;) s.insert(s.end(), buf, buf + n);
  std::fclose(f);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 10) {
    std::fprintf(stderr, "usage: detect-tape OUT.wav SEED HISS_DB HUM_HZ HUM_DB DC_L DC_R MONO SONG.raw...\n");
    return 2;
  }
  std::mt19937 rng(static_cast<uint32_t>(std::atoi(argv[2])));
  const double hiss = 32768.0 * std::pow(10.0, std::atof(argv[3]) / 20);
  const double humHz = std::atof(argv[4]);
  const double hum = 32768.0 * std::pow(10.0, std::atof(argv[5]) / 20);
  const double dc[2] = {std::atof(argv[6]), std::atof(argv[7])};
  const bool mono = std::atoi(argv[8]) != 0;
  std::uniform_real_distribution<double> unit(0.0, 1.0);

  // The clean signal first, then the floor over all of it.
  std::vector<float> tape;  // interleaved stereo
  auto silence = [&](double seconds) { tape.resize(tape.size() + 2 * static_cast<std::size_t>(seconds * kRate), 0.0f); };
  silence(1.0);
  std::vector<std::pair<double, double>> gaps;
  std::vector<std::size_t> clicks;
  // The clean tape's frames from `from` on, while they stay below -60 dBFS.
  const double edge = 32768.0 * std::pow(10.0, -60.0 / 20);
  auto quiet = [&](std::size_t from, std::size_t to, int direction) {
    std::size_t n = 0;
    for (std::size_t f = direction > 0 ? from : to - 1; n < to - from; f += static_cast<std::size_t>(direction), ++n)
      if (std::max(std::abs(tape[2 * f]), std::abs(tape[2 * f + 1])) > edge) break;
    return static_cast<double>(n) / kRate;
  };
  for (int i = 9; i < argc; ++i) {
    std::vector<int16_t> song = readRaw(argv[i]);
    if (song.size() < 2 * kRate) continue;
    const std::size_t songStart = tape.size() / 2;
    const double gain = std::pow(10.0, -(3 + 9 * unit(rng)) / 20);
    const std::size_t frames = song.size() / 2;
    // A fade-out of 2 to 6 s on half the songs; the others stop within 30 ms.
    const double fade = unit(rng) < 0.5 ? 2 + 4 * unit(rng) : 0.03;
    const std::size_t fadeFrames = std::min(frames, static_cast<std::size_t>(fade * kRate));
    const std::size_t inFrames = static_cast<std::size_t>(0.01 * kRate);
    for (std::size_t f = 0; f < frames; ++f) {
      double g = gain;
      if (f < inFrames) g *= static_cast<double>(f) / inFrames;
      if (f + fadeFrames > frames) g *= static_cast<double>(frames - f) / fadeFrames;
      const double l = song[2 * f] * g;
      tape.push_back(static_cast<float>(l));
      tape.push_back(static_cast<float>(mono ? l : song[2 * f + 1] * g));
    }
    if (!gaps.empty()) gaps.back().second += quiet(songStart, tape.size() / 2, 1);
    if (i + 1 == argc) break;
    const double start = static_cast<double>(tape.size() / 2) / kRate;
    // The song's own quiet end, measured before the gap's silence follows it.
    const double tail = quiet(songStart, tape.size() / 2, -1);
    const double length = 1.5 + 4.5 * unit(rng);
    silence(length);
    gaps.emplace_back(start - tail, start + length);
    // One gap in three holds one to three clicks.
    if (unit(rng) < 1.0 / 3) {
      const int n = 1 + static_cast<int>(3 * unit(rng));
      for (int c = 0; c < n; ++c) clicks.push_back(static_cast<std::size_t>((start + length * (0.1 + 0.8 * unit(rng))) * kRate));
    }
  }
  silence(1.0);

  std::normal_distribution<double> gauss(0.0, 1.0);
  const std::size_t frames = tape.size() / 2;
  for (std::size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / kRate;
    const double h = humHz > 0 ? hum * (0.8 * std::sin(2 * kPi * humHz * t) + 0.2 * std::sin(6 * kPi * humHz * t)) : 0;
    for (int c = 0; c < 2; ++c) tape[2 * f + c] += static_cast<float>(dc[c] + h + hiss * gauss(rng));
    if (mono) tape[2 * f + 1] = tape[2 * f];
  }
  for (std::size_t at : clicks) {
    const double amp = 3000 + 12000 * unit(rng);
    for (std::size_t k = 0; k < 3 && at + k < frames; ++k)
      for (int c = 0; c < 2; ++c) tape[2 * (at + k) + c] += static_cast<float>(k == 1 ? -amp : amp / 2);
  }

  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  bench::PutHeader(out, frames);
  for (float v : tape) bench::Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L))));
  std::fclose(out);
  for (const auto& [a, b] : gaps) std::printf("%.4f %.4f\n", a, b);
  return 0;
}
