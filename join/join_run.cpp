#include <algorithm>
#include <string>

#include "join/join.h"
#include "wave/checked.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"
#include "wave/paths.h"
#include "wave/writer.h"

namespace mv {

namespace {

constexpr std::size_t kJoinBlock = 0xF000;  // 61,440 bytes a block

// Where a source's samples lie: a ".wav" by its data, any other file whole.
DataLocation samplesOf(const std::string& name, ByteStream& source) {
  if (IsWaveFileName(name)) return LocateWaveData(source);
  source.seek(0);
  return {0, narrow<int32_t>(source.size())};
}

// The output would reach 2 GiB, which its header's sizes cannot say: refused
// before it is created. A source declaring more than it holds counts what it
// holds, so that its copy ends in the read error, as in the cut.
void refuseTooLong(const JoinSettings& s, const OpenSource& open) {
  int32_t total = kHeaderSize;
  for (const std::string& name : s.sources) {
    const std::unique_ptr<ByteStream> source = open(name);
    narrow<int32_t>(source->size());
    const DataLocation at = samplesOf(name, *source);
    total = add32(total, static_cast<int32_t>(std::min<int64_t>(at.size, source->size() - at.offset)));
  }
}

// Copies every source behind one header; false when the run was cancelled.
bool joinSources(const JoinSettings& s, JobHost& host, const OpenSource& open) {
  OutputRules rules{{}, msg::kJoinOutputIsSource, true};
  for (const std::string& name : s.sources)
    if (const auto id = IdentityOf(name)) rules.sources.push_back(*id);
  WaveWriter out([&host](const std::string& path, int64_t size) { host.fileWritten(path, size); }, rules);
  out.create(s.output, s.format);
  const std::size_t count = s.sources.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& name = s.sources[i];
    host.status(name + std::string(msg::kJoining));
    host.pump();
    const std::unique_ptr<ByteStream> source = open(name);
    narrow<int32_t>(source->size());
    const int32_t length = samplesOf(name, *source).size;
    // The output stays below 2 GiB, as its header's sizes must.
    add32(narrow<int32_t>(out.size()), length);
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
    complete = joinSources(s, host, open);
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
