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
}

JoinResult RunJoin(const JoinSettings& s, JobHost& host) {
  JoinResult result;
  if (s.sources.empty() || s.output.empty()) return result;
  // Creating the output would replace a source before it is read.
  for (const std::string& source : s.sources)
    if (SameFile(s.output, source)) refuse(msg::kJoinOutputIsSource);

  host.begin();
  host.resetCancel();
  try {
    WaveWriter out(host);
    out.create(s.output, s.formatLabel);
    const std::size_t count = s.sources.size();
    for (std::size_t i = 0; i < count; ++i) {
      const std::string& name = s.sources[i];
      host.status(name + std::string(msg::kJoining));
      host.pump();
      File source = File::openRead(name);
      int32_t length = narrow<int32_t>(source.size());
      if (IsWaveFileName(name)) length = LocateWaveData(source).size;
      // The output stays below 2 GiB, as its header's sizes must.
      add32(narrow<int32_t>(out.size()), length);
      out.appendFrom(source, length, kJoinBlock);
      host.pump();
      if (host.cancelRequested()) {
        out.abandon();
        host.end();
        result.end = JoinEnd::Cancelled;
        return result;
      }
      source.close();
      host.progress(ProgressPercent(static_cast<int64_t>(i) + 1, static_cast<int64_t>(count)));
    }
    out.finish();
    host.end();
  } catch (...) {
    host.end();
    throw;
  }

  result.end = JoinEnd::Complete;
  host.inform({msg::kJoinDone, msg::kJoinDoneCaption, Icon::None});
  if (s.deleteSources) {
    // Only now that the output is complete; a failed deletion is ignored.
    for (const std::string& source : s.sources) DeleteFile(source);
    result.sourcesDeleted = true;
  }
  return result;
}

}  // namespace mv
