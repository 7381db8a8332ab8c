#include "join/join.h"
#include "flac/source_check.h"
#include "wave/encoded.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"
#include "wave/layout.h"

namespace mv {

IntakeEnd AddJoinFiles(const std::vector<std::string>& batch, JoinIntake& list) {
  for (std::size_t p = 0; p < batch.size(); ++p) {
    const std::string& name = batch[p];
    if (IsWaveFileName(name) || IsFlacFile(name)) {
      const CheckedFormat q = *CheckSourceFormat(name);
      auto choose = [&] {
        if (q.position == kExtendedPosition)
          list.setExtendedFormat(q.format);
        else
          list.setFormatPosition(q.position);
      };
      const bool same = q.position == list.formatPosition() &&
                        (q.position != kExtendedPosition || list.extendedFormat() == q.format);
      // Only the batch's first name sets the format unasked; the second is
      // compared like every later one.
      if (p == 0) {
        choose();
      } else if (!same) {
        if (!list.ask({msg::kDifferentFormat, msg::kDifferentFormatCaption, Icon::Exclamation}))
          return IntakeEnd::Declined;
        choose();
      }
    } else {
      File source = File::openRead(name);
      RefuseEncodedAudio(source);
    }
    list.append(name);
  }
  return IntakeEnd::AllAdded;
}

}  // namespace mv
