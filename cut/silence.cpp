// The cut at silences: blocks of N frames are corrected and tested in place;
// a song ends once more than N frames in a row are silent, and the next song
// starts 513 frames before the sound returns (but not before its block).

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "cut/measure.h"
#include "cut/modes.h"
#include "cut/scan_kernels.h"
#include "cut/trim_sink.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/paths.h"

namespace mv {

SilenceRule SilenceRuleFor(const CutSettings& s) {
  // Sounds up to 10 ms count as short when the scan looks for clicks.
  return {s.threshold, s.runLength, s.ignoreClicks, std::max(1, s.format.sampleRate / 100)};
}

void GapPeaksFromEnvelope(ScanReport& report) {
  const int64_t g = report.envelopeFrames;
  for (Piece& p : report.pieces) {
    if (!p.gap) continue;
    const int64_t from = (p.gap->end - p.gap->frames + g - 1) / g, to = p.gap->end / g;
    for (int64_t i = from; i < to && i < static_cast<int64_t>(report.envelope.size()); ++i)
      p.gap->peak = std::max(p.gap->peak.value_or(0), report.envelope[static_cast<std::size_t>(i)]);
  }
}

bool CutAtSilences(const CutSettings& s, ZeroPoints z, CutSource src, JobHost& host, PieceSink& sink,
                   ScanReport& report) {
  const PcmFormat& fmt = s.format;
  const int32_t frameSize = mul32(fmt.channels, fmt.bytesPerSample());
  const ScanKernels k = ScanKernelsFor(fmt);
  // With the silence kept short the pieces go through the trim, which a dry
  // run has count without writing.
  std::optional<TrimSink> trim;
  if (s.keepSilenceSeconds)
    trim.emplace(sink, TrimRuleFor(s), report.pieces,
                 s.dryRun ? Reread{} : SourceReread(src.stream, src.dataStart, k, z, frameSize));
  PieceSink& out = trim ? *trim : sink;
  const int32_t blockBytes = mul32(frameSize, s.runLength);
  PieceMeter meter(fmt, src.dataSize, report, blockBytes);
  // Parts come here while still in the cache where reading left them.
  auto write = [&](const uint8_t* p, std::size_t n) {
    meter.add(p, n);
    out.write(p, n);
  };

  const SilenceRule rule = SilenceRuleFor(s);
  RunState st;
  int32_t song = 1;
  host.resetCancel();

  meter.start();
  out.start(song);

  // The source is read, corrected, tested and written a part at a time, so
  // that each part is still in the cache for the next step; parts run across
  // blocks and on into the tail, the frames after the last whole block, which
  // are never tested. Frames are written only once they lie more than a
  // lead-in and a burst behind the test, since a cut may fall that far back,
  // but not before its block. Those held back move to the front of the
  // buffer, ahead of the next part.
  const int64_t n = s.runLength;
  const int64_t blocks = src.dataSize / blockBytes;
  const int64_t tested = int64_t{blocks} * n;  // the frames of whole blocks
  const int64_t whole = src.dataSize / frameSize;
  // A source that ends before its declared data is read up to the end of its
  // last whole block (the tail is a block of its own): a block that cannot be
  // read in full is neither tested nor written, and the read error follows.
  int64_t end = whole;
  if (const int64_t held = std::max<int64_t>(0, src.stream.size() - src.dataStart) / frameSize; held < whole)
    end = std::min(tested, held / n * n);
  const int32_t partFrames = std::max<int32_t>(1, kScanPartBytes / frameSize);
  const int32_t holdBack = add32(add32(kLeadIn, 1), s.ignoreClicks);
  const int64_t bufferBytes = (std::min<int64_t>(holdBack, n) + partFrames) * frameSize;
  auto buffer = std::make_unique<uint8_t[]>(
      static_cast<std::size_t>(std::min<int64_t>(bufferBytes, std::max<int64_t>(src.dataSize, frameSize))));
  int64_t first = 0;    // the frame at the buffer's start
  int64_t written = 0;  // frames gone to a piece
  auto at = [&](int64_t frame) { return buffer.get() + (frame - first) * frameSize; };
  auto writeTo = [&](int64_t to) {
    if (to <= written) return;
    write(at(written), static_cast<std::size_t>((to - written) * frameSize));
    written = to;
  };
  bool cut = false;  // the block under test has its cut
  for (int64_t next = 0; next < end;) {
    std::memmove(buffer.get(), at(written), static_cast<std::size_t>((next - written) * frameSize));
    first = written;
    int64_t partEnd = std::min(end, next + partFrames);
    const std::size_t want = static_cast<std::size_t>((partEnd - next) * frameSize);
    const std::size_t got = src.stream.read(at(next), want);
    // Every frame leaves corrected (those after a cut's sound frame too).
    // Correcting by 0 changes nothing and is skipped.
    const auto frames = static_cast<int32_t>(got / static_cast<std::size_t>(frameSize));
    if (z.any()) k.correct(at(next), frames, z);
    if (got < want) {
      // The source shrank while it was read: the part goes on only to the
      // end of the last whole block in it.
      end = std::min(tested, (next + frames) / n * n);
      partEnd = std::max(next, end);
    }
    for (int64_t f = next; f < std::min(partEnd, tested);) {
      const int64_t blockStart = f / n * n;
      if (f == blockStart) {
        st.blockStart = blockStart;
        st.lastQuiet = 0;
        cut = false;
      }
      const int64_t stop = std::min(partEnd, blockStart + n);
      int32_t cutAt = 0;
      // At most one cut a block: the frames after its sound are not tested.
      if (!cut && k.scan(at(f), static_cast<int32_t>(f - blockStart), static_cast<int32_t>(stop - blockStart), rule,
                         st, cutAt) >= 0) {
        cut = true;
        writeTo(blockStart + cutAt);
        out.finish();
        song = add32(song, 1);
        host.status(std::to_string(song) + std::string(msg::kSongDetected));
        host.pump();
        meter.start();
        report.pieces.back().gap = Piece::Gap{st.cutRun, std::nullopt, st.cutRunEnd};
        out.start(song);
      }
      f = stop;
      if (f == blockStart + n) {
        host.progress(ProgressPercent(f / n, blocks));
        host.pump();
        if (host.cancelRequested()) {
          writeTo(f);
          out.abandon();
          return false;
        }
      }
    }
    next = partEnd;
    const int64_t open = next / n * n;  // the block the next part goes on with
    writeTo(next >= tested || next == open || cut ? next : std::max(open, next - holdBack));
  }
  if (end < whole) src.stream.endedEarly();
  st.blockStart = tested;
  k.end(st);
  if (st.longest > 0) report.longestQuiet = QuietRun{st.longestEnd - st.longest, st.longest};
  report.shortSoundBreak = st.shortBreak;

  GapPeaksFromEnvelope(report);

  // A trailing part of a frame goes into the last song as it is.
  if (const auto partial = static_cast<std::size_t>(src.dataSize % frameSize); partial > 0) {
    src.stream.readFull(buffer.get(), partial);
    write(buffer.get(), partial);
  }
  out.finish();
  return true;
}

}  // namespace mv
