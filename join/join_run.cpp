#include <algorithm>
#include <string>

#include "join/join.h"
#include "flac/flac_source.h"
#include "flac/flac_writer.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"
#include "wave/layout.h"
#include "wave/paths.h"
#include "wave/writer.h"

namespace mv {

namespace {

constexpr std::size_t kJoinBlock = 0xF000;  // 61,440 bytes a block

struct Samples {
  int64_t offset = 0;
  int64_t size = 0;
  std::optional<WaveLayout> layout;  // of a WAVE file read beyond the lists
};

// A source as its samples are read: a FLAC file decoded.
struct Opened {
  std::unique_ptr<ByteStream> stream;
  std::optional<FlacStreamInfo> flac;
};
Opened openSamples(const std::string& name, const OpenSource& open) {
  Opened o{open(name), std::nullopt};
  if (IsFlacStream(*o.stream)) {
    auto decoded = FlacSource::open(std::move(o.stream), name);
    o.flac = decoded->info();
    o.stream = std::move(decoded);
  }
  return o;
}

// Where a source's samples lie: a ".wav" by its data, a FLAC file's decoded
// samples and any other file whole; the stream is left at the first sample.
// Into a listed format, a WAVE file is read as it always was, unless its
// sizes are 64-bit.
Samples samplesOf(const std::string& name, const Opened& opened, const PcmFormat& format) {
  ByteStream& source = *opened.stream;
  if (opened.flac) {
    source.seek(0);
    return {0, source.size(), std::nullopt};
  }
  if (!IsWaveFileName(name)) {
    source.seek(0);
    if (IsListedFormat(format)) return {0, narrow<int32_t>(source.size()), std::nullopt};
    return {0, source.size(), std::nullopt};
  }
  if (IsListedFormat(format) && !IsLongWave(source)) {
    const DataLocation at = LocateWaveData(source);
    return {at.offset, at.size, std::nullopt};
  }
  Samples s;
  s.layout = ReadWaveLayout(source);
  s.offset = s.layout->dataOffset;
  s.size = s.layout->dataBytes;
  source.seek(s.offset);
  return s;
}

// What the output is, from one look at every source: a join of FLAC sources,
// or one beyond the lists into a ".flac" name, is FLAC, at the first FLAC
// source's depth or else the format's; beyond the lists a WAVE output takes
// the first source's own record when it is of that format, and room for
// RF64 sizes when the data may pass what RIFF sizes say.
struct JoinOutput {
  OutputHeader header;
  std::optional<int32_t> flacBits;
};

JoinOutput outputFor(const JoinSettings& s, const OpenSource& open) {
  const bool listed = IsListedFormat(s.format);
  JoinOutput out{{s.format, std::nullopt}, std::nullopt};
  int64_t total = 0;
  std::vector<uint8_t> record;
  for (const std::string& name : s.sources) {
    const Opened source = openSamples(name, open);
    if (source.flac && !out.flacBits) out.flacBits = source.flac->bits;
    if (listed) continue;
    const Samples at = samplesOf(name, source, s.format);
    total += std::min<int64_t>(at.size, source.stream->size() - at.offset);
    if (&name == &s.sources.front() && at.layout && at.layout->format == s.format) record = at.layout->formatRecord;
  }
  if (!listed) out.header.extended = ExtendedHeader(s.format, std::move(record), total > kRiffDataLimit);
  if (!listed && UpperExtension(s.output) == ".FLAC" && !out.flacBits) out.flacBits = s.format.bitsPerSample;
  // A FLAC output is of integers that FLAC carries.
  if (out.flacBits && (s.format.isFloat() || *out.flacBits > s.format.bitsPerSample)) out.flacBits.reset();
  return out;
}

// The output would reach 2 GiB, which its header's sizes cannot say: refused
// before it is created. A source declaring more than it holds counts what it
// holds, so that its copy ends in the read error, as in the cut.
void refuseTooLong(const JoinSettings& s, const OpenSource& open) {
  if (!IsListedFormat(s.format)) return;
  int32_t total = kHeaderSize;
  for (const std::string& name : s.sources) {
    const Opened source = openSamples(name, open);
    narrow<int32_t>(source.stream->size());
    const Samples at = samplesOf(name, source, s.format);
    total = add32(total, narrow<int32_t>(std::min<int64_t>(at.size, source.stream->size() - at.offset)));
  }
}

// Copies every source behind one header; false when the run was cancelled.
bool joinSources(const JoinSettings& s, const JoinOutput& output, JobHost& host, const OpenSource& open) {
  OutputRules rules{{}, msg::kJoinOutputIsSource, true};
  for (const std::string& name : s.sources)
    if (const auto id = IdentityOf(name)) rules.sources.push_back(*id);
  const FileClosed closed = [&host](const std::string& path, int64_t size) { host.fileWritten(path, size); };
  WaveWriter out(closed, rules);
  FlacWriter flacOut(closed, rules);
  const std::optional<int32_t>& flacBits = output.flacBits;
  if (flacBits)
    flacOut.create(s.output, s.format, *flacBits);
  else
    out.create(s.output, output.header);
  std::vector<uint8_t> buffer;
  const std::size_t count = s.sources.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& name = s.sources[i];
    host.status(name + std::string(msg::kJoining));
    host.pump();
    const Opened source = openSamples(name, open);
    const bool listed = IsListedFormat(s.format) && !flacBits;
    if (listed) narrow<int32_t>(source.stream->size());
    const int64_t length = samplesOf(name, source, s.format).size;
    // The output stays below 2 GiB, as its header's sizes must.
    if (listed) add32(narrow<int32_t>(out.size()), narrow<int32_t>(length));
    if (flacBits) {
      buffer.resize(kJoinBlock);
      for (int64_t left = length; left > 0;) {
        const auto step = static_cast<std::size_t>(std::min<int64_t>(left, kJoinBlock));
        source.stream->readFull(buffer.data(), step);
        flacOut.append(buffer.data(), step);
        left -= static_cast<int64_t>(step);
      }
    } else {
      out.appendFrom(*source.stream, length, kJoinBlock);
    }
    host.pump();
    if (host.cancelRequested()) return false;
    host.progress(ProgressPercent(static_cast<int64_t>(i) + 1, static_cast<int64_t>(count)));
  }
  if (flacBits)
    flacOut.finish();
  else
    out.finish();
  return true;
}

}  // namespace

JoinResult RunJoin(const JoinSettings& s, JobHost& host, const OpenSource& open) {
  JoinResult result;
  if (s.sources.empty() || s.output.empty()) return result;
  // Creating the output would replace a source before it is read.
  for (const std::string& source : s.sources)
    if (SameFile(s.output, source)) refuse(msg::kJoinOutputIsSource);

  bool complete;
  {
    JobScope job(host);
    host.resetCancel();
    refuseTooLong(s, open);
    complete = joinSources(s, outputFor(s, open), host, open);
  }
  if (!complete) {
    result.end = JoinEnd::Cancelled;
    return result;
  }
  result.end = JoinEnd::Complete;
  host.inform({msg::kJoinDone, msg::kJoinDoneCaption, Icon::None});
  if (s.deleteSources) {
    // Only now that the output is complete and on the disk.
    const std::size_t slash = s.output.rfind('/');
    SyncFolder(slash == std::string::npos ? std::string(".") : s.output.substr(0, slash));
    for (const std::string& source : s.sources)
      if (!DeleteFile(source)) result.notDeleted.push_back(source);
    result.sourcesDeleted = true;
  }
  return result;
}

}  // namespace mv
