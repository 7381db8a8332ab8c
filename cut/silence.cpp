// The cut at silences: blocks of N frames are corrected and tested in place;
// a song ends once more than N frames in a row are silent, and the next song
// starts 513 frames before the sound returns (but not before its block).

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "cut/measure.h"
#include "cut/modes.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/paths.h"

namespace mv {

namespace {

// Frames kept before the first sound frame of a new song, less one.
constexpr int32_t kLeadIn = 512;

// Silent-run state carried from block to block.
struct RunState {
  int32_t threshold = 0;
  int32_t runLength = 0;
  int32_t maxBurst = 0;   // K: sound frames a quiet run may hold, a burst at a time
  int32_t silent = 0;     // j: silent frames in a row (a tolerated burst's count too)
  bool pending = false;   // more than N silent frames: a cut is due
  int32_t burst = 0;      // sound frames since the run last was quiet
  int64_t burstStart = 0; // index of the burst's first frame in the data
  // Without tolerance: a quiet run a sound ended, while that sound is short.
  int32_t shortSound = 0;   // frames a sound may last and still count as short
  int32_t brokenRun = 0;    // the quiet run before it
  int64_t brokenAt = 0;     // where the sound began
  int32_t soundSince = 0;   // its frames so far
  std::optional<int64_t> shortBreak;  // the first such sound where the runs would have made a cut
  int64_t blockStart = 0;  // index of the block's first frame in the data
  int64_t longest = 0;     // the longest silent run so far, and the index
  int64_t longestEnd = 0;  // of the frame after it
};

// Sound frames without a quiet run: a short sound after a run is watched.
inline void soundGoesOn(RunState& st, int32_t frames) {
  if (st.brokenRun == 0) return;
  st.soundSince += frames;
  if (st.soundSince > st.shortSound) st.brokenRun = 0;
}

// A quiet run that a short sound broke, with the quiet after it, would have
// been long enough to cut.
inline void quietGoesOn(RunState& st, int32_t silent) {
  if (st.brokenRun == 0 || st.brokenRun + st.soundSince + silent <= st.runLength) return;
  if (!st.shortBreak) st.shortBreak = st.brokenAt;
  st.brokenRun = 0;
}

// A silent run ends before frame `end` of the block.
inline void runEnded(RunState& st, int32_t silent, int32_t end) {
  if (silent > st.longest) {
    st.longest = silent;
    st.longestEnd = st.blockStart + end;
  }
}

template <int Bits>
inline void correctSample(uint8_t* p, int32_t z) {
  if constexpr (Bits == 8) {
    p[0] = static_cast<uint8_t>(std::clamp<int32_t>(p[0] - z, 0, 255));
  } else {
    int32_t v = static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
    v = std::clamp<int32_t>(v - z, -32768, 32767);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
}

template <int Bits, int Channels>
void correctFrames(uint8_t* frames, int32_t count, ZeroPoints z) {
  constexpr int B = Bits / 8;
  // Whole runs of 32 samples through a local array, so that the compiler can
  // subtract and clamp them in vector registers; the rest one by one.
  constexpr int kRun = 32;
  const int32_t zero[2] = {z.left, Channels == 2 ? z.right : z.left};
  int32_t pattern[kRun];
  for (int k = 0; k < kRun; ++k) pattern[k] = zero[k & 1];
  const int64_t samples = int64_t{count} * Channels;
  int64_t i = 0;
  if constexpr (Bits == 16) {
    for (; i + kRun <= samples; i += kRun) {
      int16_t v[kRun];
      std::memcpy(v, frames + i * 2, sizeof v);
      for (int k = 0; k < kRun; ++k) v[k] = static_cast<int16_t>(std::clamp<int32_t>(v[k] - pattern[k], -32768, 32767));
      std::memcpy(frames + i * 2, v, sizeof v);
    }
  } else {
    for (; i + kRun <= samples; i += kRun) {
      uint8_t* v = frames + i;
      for (int k = 0; k < kRun; ++k) v[k] = static_cast<uint8_t>(std::clamp<int32_t>(v[k] - pattern[k], 0, 255));
    }
  }
  for (; i < samples; ++i) correctSample<Bits>(frames + i * B, zero[i & 1]);
}

template <int Bits>
inline int32_t sampleAt(const uint8_t* p) {
  if constexpr (Bits == 8)
    return p[0] - 128;
  else
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

// Channel 2 of a mono frame counts as 0.
template <int Bits, int Channels>
inline bool isSilent(const uint8_t* f, int32_t t) {
  const int32_t s1 = sampleAt<Bits>(f);
  const int32_t s2 = Channels == 2 ? sampleAt<Bits>(f + Bits / 8) : 0;
  return std::abs(s1) < t && std::abs(s2) < t;
}

// The samples with |s| < T as a range [lo, hi] of the file's own coding.
struct QuietRange {
  int32_t lo, hi;
};

template <int Bits>
QuietRange quietRange(int32_t t) {
  constexpr int32_t kMagnitude = Bits == 8 ? 128 : 32768;
  constexpr int32_t kBias = Bits == 8 ? 128 : 0;  // 8-bit samples are unsigned
  if (t <= 0) return {1, 0};                      // nothing is quiet
  if (t > kMagnitude) return {Bits == 8 ? 0 : -32768, Bits == 8 ? 255 : 32767};
  return {kBias - (t - 1), kBias + (t - 1)};
}

// Tests 64 bytes of frames at once in vector registers: whether any and
// whether all of them are silent.
template <int Bits, int Channels>
inline void testGroup(const uint8_t* p, QuietRange r, bool& any, bool& all) {
  using V16 = int16_t __attribute__((vector_size(16)));
  using V8 = uint8_t __attribute__((vector_size(16)));
  using V32 = int32_t __attribute__((vector_size(16)));
  using W = int64_t __attribute__((vector_size(16)));
  W anyAcc = {0, 0}, allAcc = {-1, -1};
  for (int k = 0; k < 4; ++k) {
    W frames;
    if constexpr (Bits == 16) {
      V16 x;
      std::memcpy(&x, p + 16 * k, 16);
      const V16 lo = V16{} + static_cast<int16_t>(r.lo);
      const V16 hi = V16{} + static_cast<int16_t>(r.hi);
      const V16 q = (x >= lo) & (x <= hi);
      // A stereo frame is silent when both its halves are.
      if constexpr (Channels == 2)
        frames = reinterpret_cast<W>(reinterpret_cast<V32>(q) == -1);
      else
        frames = reinterpret_cast<W>(q);
    } else {
      V8 x;
      std::memcpy(&x, p + 16 * k, 16);
      const V8 lo = V8{} + static_cast<uint8_t>(r.lo);
      const V8 hi = V8{} + static_cast<uint8_t>(r.hi);
      const auto q = (x >= lo) & (x <= hi);
      if constexpr (Channels == 2)
        frames = reinterpret_cast<W>(reinterpret_cast<V16>(q) == -1);
      else
        frames = reinterpret_cast<W>(q);
    }
    anyAcc |= frames;
    allAcc &= frames;
  }
  any = (anyAcc[0] | anyAcc[1]) != 0;
  all = (allAcc[0] & allAcc[1]) == -1;
}

// Tests frames 0..N-1 of a corrected block. Returns the index of the sound
// frame that makes a cut, with the cut position in cutAt, or -1 when the
// block holds no cut.
//
// Clicks: inside a quiet run, a burst of at most K sound frames followed by a
// quiet frame does not end the run, and its frames count toward it. A burst
// longer than K is sound: when it ends a run long enough, the cut lies 513
// frames before the burst's first frame, but not before the block. With K = 0
// every sound frame ends the run.
template <int Bits, int Channels>
int32_t scanBlock(const uint8_t* block, RunState& st, int32_t& cutAt) {
  constexpr int F = Channels * Bits / 8;
  constexpr int32_t kGroup = 64 / F;
  const int32_t n = st.runLength;
  const QuietRange range = quietRange<Bits>(st.threshold);
  const int32_t k = st.maxBurst;
  int32_t silent = st.silent;
  bool pending = st.pending;
  int32_t burst = st.burst;
  int32_t c = 0;
  int32_t i = 0;
  while (i < n) {
    const int32_t end = std::min(n, i + kGroup);
    // A group all of one kind is settled at once.
    if (end - i == kGroup) {
      bool anySilent, allSilent;
      testGroup<Bits, Channels>(block + i * F, range, anySilent, allSilent);
      if (!anySilent && !pending && (k == 0 || silent == 0)) {
        runEnded(st, silent, i);
        if (k == 0 && silent > 0) {
          st.brokenRun = silent;
          st.brokenAt = st.blockStart + i;
          st.soundSince = 0;
        }
        soundGoesOn(st, kGroup);
        silent = 0;
        i = end;
        continue;
      }
      if (allSilent) {
        silent += burst + kGroup;
        burst = 0;
        quietGoesOn(st, silent);
        if (silent > n) {
          pending = true;
          c = end - 1;
        }
        i = end;
        continue;
      }
    }
    for (; i < end; ++i) {
      if (isSilent<Bits, Channels>(block + i * F, st.threshold)) {
        silent += burst + 1;
        burst = 0;
        quietGoesOn(st, silent);
        if (silent > n) {
          pending = true;
          c = i;
        }
      } else if (silent > 0 && burst < k) {
        if (burst++ == 0) st.burstStart = st.blockStart + i;
      } else if (pending) {
        // The sound began with the burst, if there was one.
        const int32_t sound = burst > 0 ? static_cast<int32_t>(st.burstStart - st.blockStart) : i;
        runEnded(st, silent, sound);
        st.silent = 0;
        st.pending = false;
        st.burst = 0;
        st.brokenRun = 0;
        const int32_t last = burst > 0 ? sound - 1 : c;
        cutAt = last - kLeadIn > 0 ? last - kLeadIn : 0;
        return i;
      } else {
        runEnded(st, silent, burst > 0 ? static_cast<int32_t>(st.burstStart - st.blockStart) : i);
        if (k == 0 && silent > 0) {
          st.brokenRun = silent;
          st.brokenAt = st.blockStart + i;
          st.soundSince = 0;
        }
        soundGoesOn(st, 1);
        silent = 0;
        burst = 0;
      }
    }
  }
  st.silent = silent;
  st.pending = pending;
  st.burst = burst;
  return -1;
}

struct Kernels {
  int32_t (*scan)(const uint8_t*, RunState&, int32_t&);
  void (*correct)(uint8_t*, int32_t, ZeroPoints);
};

template <int Bits, int Channels>
constexpr Kernels kernels() {
  return {&scanBlock<Bits, Channels>, &correctFrames<Bits, Channels>};
}

Kernels kernelsFor(const PcmFormat& f) {
  if (f.bitsPerSample == 8) return f.channels == 2 ? kernels<8, 2>() : kernels<8, 1>();
  return f.channels == 2 ? kernels<16, 2>() : kernels<16, 1>();
}

}  // namespace

bool CutAtSilences(const CutSettings& s, ZeroPoints z, CutSource src, JobHost& host, PieceSink& out,
                   ScanReport& report) {
  const PcmFormat& fmt = s.format;
  const int32_t frameSize = mul32(fmt.channels, fmt.bytesPerSample());
  const Kernels k = kernelsFor(fmt);
  PieceMeter meter(fmt, src.dataSize, report);
  // Measured and written a cache-sized part at a time, so that the write
  // finds the part in the cache where the measuring left it.
  auto write = [&](const uint8_t* p, std::size_t n) {
    constexpr std::size_t kPart = 128 << 10;
    for (std::size_t done = 0; done < n; done += kPart) {
      const std::size_t part = std::min(kPart, n - done);
      meter.add(p + done, part);
      out.write(p + done, part);
    }
  };

  RunState st;
  st.threshold = s.threshold;
  st.runLength = s.runLength;
  st.maxBurst = s.ignoreClicks;
  // Sounds up to 10 ms count as short when the scan looks for clicks.
  st.shortSound = std::max(1, fmt.sampleRate / 100);
  int32_t song = 1;
  host.resetCancel();

  meter.start();
  out.start(song);

  const int32_t blockBytes = mul32(frameSize, s.runLength);
  const int32_t blocks = div32(src.dataSize, blockBytes);
  // The block buffer is also the tail's, which is shorter than a block.
  auto buffer = std::make_unique<uint8_t[]>(static_cast<std::size_t>(
      std::min(blockBytes, std::max(src.dataSize, frameSize))));

  for (int32_t u = 1; u <= blocks; ++u) {
    uint8_t* block = buffer.get();
    src.stream.readFull(block, static_cast<std::size_t>(blockBytes));
    // Every frame of a block leaves corrected (those after a cut's sound frame
    // too), so the whole block is corrected before it is tested. Correcting by
    // 0 changes nothing and is skipped.
    if (z.any()) k.correct(block, s.runLength, z);
    int32_t cutAt = 0;
    const int32_t sound = k.scan(block, st, cutAt);
    if (sound < 0) {
      write(block, static_cast<std::size_t>(blockBytes));
    } else {
      write(block, static_cast<std::size_t>(cutAt) * frameSize);
      out.finish();
      song = add32(song, 1);
      host.status(std::to_string(song) + std::string(msg::kSongDetected));
      host.pump();
      meter.start();
      out.start(song);
      write(block + cutAt * frameSize, static_cast<std::size_t>(s.runLength - cutAt) * frameSize);
    }
    meter.blockDone();
    st.blockStart += s.runLength;
    host.progress(ProgressPercent(u, blocks));
    host.pump();
    if (host.cancelRequested()) {
      out.abandon();
      return false;
    }
  }
  runEnded(st, st.silent, st.burst > 0 ? static_cast<int32_t>(st.burstStart - st.blockStart) : 0);
  if (st.longest > 0) report.longestQuiet = QuietRun{st.longestEnd - st.longest, st.longest};
  report.shortSoundBreak = st.shortBreak;

  // The tail, less than one block: corrected, never tested for silence.
  const int32_t done = mul32(blocks, blockBytes);
  const int32_t rest = sub32(src.dataSize, done);
  if (rest > 0) {
    src.stream.seek(src.dataStart + done);
    const int32_t wholeBytes = rest / frameSize * frameSize;
    uint8_t* tail = buffer.get();
    const std::size_t got = src.stream.read(tail, static_cast<std::size_t>(wholeBytes));
    const int32_t frames = static_cast<int32_t>(got) / frameSize;
    if (z.any()) k.correct(tail, frames, z);
    write(tail, static_cast<std::size_t>(frames) * frameSize);
    if (got < static_cast<std::size_t>(wholeBytes)) raise(msg::kReadError);
    // A trailing part of a frame goes into the last song as it is.
    const std::size_t partial = static_cast<std::size_t>(rest - wholeBytes);
    src.stream.readFull(tail, partial);
    write(tail, partial);
  }
  out.finish();
  return true;
}

}  // namespace mv
