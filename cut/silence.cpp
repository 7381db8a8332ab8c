// The cut at silences: blocks of N frames are corrected and tested in place;
// a song ends once more than N frames in a row are silent, and the next song
// starts 513 frames before the sound returns (but not before its block).

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "cut/modes.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/paths.h"
#include "wave/writer.h"

namespace mv {

namespace {

// Frames kept before the first sound frame of a new song, less one.
constexpr int32_t kLeadIn = 512;

struct ZeroPoints {
  int32_t left = 0;
  int32_t right = 0;
  bool any() const { return left != 0 || right != 0; }
};

// Silent-run state carried from block to block.
struct RunState {
  int32_t threshold;
  int32_t runLength;
  int32_t silent = 0;     // j: silent frames in a row
  bool pending = false;   // more than N silent frames: a cut is due
};

template <int Bits>
inline int32_t correctSample(uint8_t* p, int32_t z) {
  if constexpr (Bits == 8) {
    int32_t v = std::clamp<int32_t>(p[0] - z, 0, 255);
    p[0] = static_cast<uint8_t>(v);
    return v - 128;
  } else {
    int32_t v = static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
    v = std::clamp<int32_t>(v - z, -32768, 32767);
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    return v;
  }
}

template <int Bits>
inline int32_t readSample(const uint8_t* p) {
  if constexpr (Bits == 8)
    return p[0] - 128;
  else
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

template <int Bits, int Channels, bool Correct>
inline bool frameIsSilent(uint8_t* f, ZeroPoints z, int32_t t) {
  constexpr int B = Bits / 8;
  int32_t s1 = Correct ? correctSample<Bits>(f, z.left) : readSample<Bits>(f);
  int32_t s2 = 0;
  if constexpr (Channels == 2) s2 = Correct ? correctSample<Bits>(f + B, z.right) : readSample<Bits>(f + B);
  return std::abs(s1) < t && std::abs(s2) < t;
}

// Scans frames 0..N-1 of the block, correcting each frame it tests. Returns
// the index of the sound frame that makes a cut, with the cut position in
// cutAt, or -1 when the block holds no cut.
template <int Bits, int Channels, bool Correct>
int32_t scanBlock(uint8_t* block, RunState& st, ZeroPoints z, int32_t& cutAt) {
  constexpr int F = Channels * Bits / 8;
  const int32_t n = st.runLength;
  const int32_t t = st.threshold;
  int32_t silent = st.silent;
  bool pending = st.pending;
  int32_t c = 0;
  uint8_t* f = block;
  for (int32_t i = 0; i < n; ++i, f += F) {
    if (frameIsSilent<Bits, Channels, Correct>(f, z, t)) {
      ++silent;
      if (silent > n) {
        pending = true;
        c = i;
      }
    } else if (pending) {
      st.silent = 0;
      st.pending = false;
      cutAt = c - kLeadIn > 0 ? c - kLeadIn : 0;
      return i;
    } else {
      silent = 0;
    }
  }
  st.silent = silent;
  st.pending = pending;
  return -1;
}

template <int Bits, int Channels>
void correctFrames(uint8_t* frames, int32_t count, ZeroPoints z) {
  constexpr int B = Bits / 8;
  for (int32_t i = 0; i < count; ++i, frames += Channels * B) {
    correctSample<Bits>(frames, z.left);
    if constexpr (Channels == 2) correctSample<Bits>(frames + B, z.right);
  }
}

using ScanFn = int32_t (*)(uint8_t*, RunState&, ZeroPoints, int32_t&);
using CorrectFn = void (*)(uint8_t*, int32_t, ZeroPoints);

template <int Bits, int Channels>
ScanFn pickScan(bool correct) {
  return correct ? &scanBlock<Bits, Channels, true> : &scanBlock<Bits, Channels, false>;
}

struct Kernels {
  ScanFn scan;
  CorrectFn correct;
};

Kernels kernelsFor(const PcmFormat& f, bool correcting) {
  if (f.bitsPerSample == 8)
    return f.channels == 2 ? Kernels{pickScan<8, 2>(correcting), &correctFrames<8, 2>}
                           : Kernels{pickScan<8, 1>(correcting), &correctFrames<8, 1>};
  return f.channels == 2 ? Kernels{pickScan<16, 2>(correcting), &correctFrames<16, 2>}
                         : Kernels{pickScan<16, 1>(correcting), &correctFrames<16, 1>};
}

ZeroPoints readZeroPoints(const CutSettings& s) {
  ZeroPoints z;
  if (s.correct) {
    z.left = narrow<int16_t>(toInt(s.zeroLeft));
    z.right = narrow<int16_t>(toInt(s.zeroRight));
  }
  return z;
}


}  // namespace

bool CutAtSilences(const CutSettings& s, CutSource src, JobHost& host) {
  const PcmFormat fmt = ParseFormatLabel(s.formatLabel);
  const int32_t frameSize = mul32(fmt.channels, fmt.bytesPerSample());
  const ZeroPoints z = readZeroPoints(s);
  // Correcting by 0 changes nothing, so it is skipped.
  const Kernels k = kernelsFor(fmt, z.any());

  RunState st{s.threshold, s.runLength};
  int32_t song = 1;
  host.resetCancel();

  WaveWriter out(host);
  out.create(PieceName(s.saveFolder, song), s.formatLabel);

  const int32_t blockBytes = mul32(frameSize, s.runLength);
  const int32_t blocks = div32(src.dataSize, blockBytes);
  // The block buffer is also the tail's, which is shorter than a block.
  auto buffer = std::make_unique<uint8_t[]>(static_cast<std::size_t>(
      std::min(blockBytes, std::max(src.dataSize, frameSize))));

  for (int32_t u = 1; u <= blocks; ++u) {
    uint8_t* block = buffer.get();
    src.file.readFull(block, static_cast<std::size_t>(blockBytes));
    int32_t cutAt = 0;
    const int32_t sound = k.scan(block, st, z, cutAt);
    if (sound < 0) {
      out.append(block, static_cast<std::size_t>(blockBytes));
    } else {
      if (z.any()) k.correct(block + (sound + 1) * frameSize, s.runLength - sound - 1, z);
      out.append(block, static_cast<std::size_t>(cutAt) * frameSize);
      out.finish();
      song = add32(song, 1);
      host.status(std::to_string(song) + std::string(msg::kSongDetected));
      host.pump();
      out.create(PieceName(s.saveFolder, song), s.formatLabel);
      out.append(block + cutAt * frameSize,
                 static_cast<std::size_t>(s.runLength - cutAt) * frameSize);
    }
    host.progress(ProgressPercent(u, blocks));
    host.pump();
    if (host.cancelRequested()) {
      out.abandon();
      return false;
    }
  }

  // The tail, less than one block: corrected, never tested for silence.
  const int32_t done = mul32(blocks, blockBytes);
  const int32_t rest = sub32(src.dataSize, done);
  if (rest > 0) {
    src.file.seek(src.dataStart + done);
    const int32_t wholeBytes = rest / frameSize * frameSize;
    uint8_t* tail = buffer.get();
    const std::size_t got = src.file.read(tail, static_cast<std::size_t>(wholeBytes));
    const int32_t frames = static_cast<int32_t>(got) / frameSize;
    k.correct(tail, z.any() ? frames : 0, z);
    out.append(tail, static_cast<std::size_t>(frames) * frameSize);
    if (got < static_cast<std::size_t>(wholeBytes)) raise(msg::kReadError);
    // A trailing part of a frame goes into the last song as it is.
    const std::size_t partial = static_cast<std::size_t>(rest - wholeBytes);
    src.file.readFull(tail, partial);
    out.append(tail, partial);
  }
  out.finish();
  return true;
}

}  // namespace mv
