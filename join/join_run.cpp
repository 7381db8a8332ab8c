#include <algorithm>
#include <string>

#include "join/join.h"
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

// Where a source's samples lie: a ".wav" by its data, any other file whole;
// the stream is left at the first sample. Into a listed format, a WAVE file
// is read as it always was, unless its sizes are 64-bit.
Samples samplesOf(const std::string& name, ByteStream& source, const PcmFormat& format) {
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

// The output's header: in a format outside the lists, the first source's
// own record when it is of that format, and room for RF64 sizes when the
// data may pass what RIFF sizes say.
OutputHeader headerFor(const JoinSettings& s, const OpenSource& open) {
  if (IsListedFormat(s.format)) return {s.format, std::nullopt};
  int64_t total = 0;
  std::vector<uint8_t> record;
  for (const std::string& name : s.sources) {
    const std::unique_ptr<ByteStream> source = open(name);
    const Samples at = samplesOf(name, *source, s.format);
    total += std::min<int64_t>(at.size, source->size() - at.offset);
    if (&name == &s.sources.front() && at.layout && at.layout->format == s.format) record = at.layout->formatRecord;
  }
  return {s.format, ExtendedHeader(s.format, std::move(record), total > kRiffDataLimit)};
}

// The output would reach 2 GiB, which its header's sizes cannot say: refused
// before it is created. A source declaring more than it holds counts what it
// holds, so that its copy ends in the read error, as in the cut.
void refuseTooLong(const JoinSettings& s, const OpenSource& open) {
  if (!IsListedFormat(s.format)) return;
  int32_t total = kHeaderSize;
  for (const std::string& name : s.sources) {
    const std::unique_ptr<ByteStream> source = open(name);
    narrow<int32_t>(source->size());
    const Samples at = samplesOf(name, *source, s.format);
    total = add32(total, narrow<int32_t>(std::min<int64_t>(at.size, source->size() - at.offset)));
  }
}

// Copies every source behind one header; false when the run was cancelled.
bool joinSources(const JoinSettings& s, const OutputHeader& header, JobHost& host, const OpenSource& open) {
  OutputRules rules{{}, msg::kJoinOutputIsSource, true};
  for (const std::string& name : s.sources)
    if (const auto id = IdentityOf(name)) rules.sources.push_back(*id);
  WaveWriter out([&host](const std::string& path, int64_t size) { host.fileWritten(path, size); }, rules);
  out.create(s.output, header);
  const std::size_t count = s.sources.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& name = s.sources[i];
    host.status(name + std::string(msg::kJoining));
    host.pump();
    const std::unique_ptr<ByteStream> source = open(name);
    const bool listed = IsListedFormat(s.format);
    if (listed) narrow<int32_t>(source->size());
    const int64_t length = samplesOf(name, *source, s.format).size;
    // The output stays below 2 GiB, as its header's sizes must.
    if (listed) add32(narrow<int32_t>(out.size()), narrow<int32_t>(length));
    out.appendFrom(*source, length, kJoinBlock);
    host.pump();
    if (host.cancelRequested()) return false;
    host.progress(ProgressPercent(static_cast<int64_t>(i) + 1, static_cast<int64_t>(count)));
  }
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
    complete = joinSources(s, headerFor(s, open), host, open);
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
