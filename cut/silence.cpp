// The cut at silences: blocks of N frames are corrected and tested in place;
// a song ends once more than N frames in a row are silent, and the next song
// starts 513 frames before the sound returns (but not before its block).

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "cut/measure.h"
#include "cut/modes.h"
#include "cut/scan_kernels.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/paths.h"

namespace mv {

bool CutAtSilences(const CutSettings& s, ZeroPoints z, CutSource src, JobHost& host, PieceSink& out,
                   ScanReport& report) {
  const PcmFormat& fmt = s.format;
  const int32_t frameSize = mul32(fmt.channels, fmt.bytesPerSample());
  const ScanKernels k = ScanKernelsFor(fmt);
  PieceMeter meter(fmt, src.dataSize, report);
  // Parts come here while still in the cache where reading left them.
  auto write = [&](const uint8_t* p, std::size_t n) {
    meter.add(p, n);
    out.write(p, n);
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

  // A block is read, corrected, tested and written a part at a time, so that
  // each part is still in the cache for the next step. Frames are written only
  // once they lie more than a lead-in and a burst behind the test, since a
  // cut may fall that far back.
  const int32_t partFrames = std::max<int32_t>(1, kScanPartBytes / frameSize);
  const int32_t holdBack = add32(add32(kLeadIn, 1), s.ignoreClicks);
  for (int32_t u = 1; u <= blocks; ++u) {
    uint8_t* block = buffer.get();
    int32_t written = 0;  // frames of the block gone to a piece
    bool cut = false;
    st.lastQuiet = 0;
    auto flush = [&](int32_t to) {
      if (to <= written) return;
      write(block + written * frameSize, static_cast<std::size_t>(to - written) * frameSize);
      written = to;
    };
    for (int32_t from = 0; from < s.runLength; from += partFrames) {
      const int32_t to = std::min(s.runLength, from + partFrames);
      src.stream.readFull(block + from * frameSize, static_cast<std::size_t>(to - from) * frameSize);
      // Every frame of a block leaves corrected (those after a cut's sound
      // frame too). Correcting by 0 changes nothing and is skipped.
      if (z.any()) k.correct(block + from * frameSize, to - from, z);
      int32_t cutAt = 0;
      if (!cut && k.scan(block, from, to, st, cutAt) >= 0) {
        // At most one cut a block: the frames after its sound are not tested.
        cut = true;
        flush(cutAt);
        out.finish();
        song = add32(song, 1);
        host.status(std::to_string(song) + std::string(msg::kSongDetected));
        host.pump();
        meter.start();
        out.start(song);
      }
      flush(cut || to == s.runLength ? to : std::max(written, to - holdBack));
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
  k.end(st);
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
