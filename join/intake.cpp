#include "join/join.h"
#include "wave/encoded.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"

namespace mv {

IntakeEnd AddJoinFiles(const std::vector<std::string>& batch, JoinIntake& list) {
  for (std::size_t p = 0; p < batch.size(); ++p) {
    const std::string& name = batch[p];
    if (IsWaveFileName(name)) {
      const int q = ReadWaveFormat(name);
      // Only the batch's first name sets the format unasked; the second is
      // compared like every later one.
      if (p == 0) {
        list.setFormatPosition(q);
      } else if (q != list.formatPosition()) {
        if (!list.ask({msg::kDifferentFormat, msg::kDifferentFormatCaption, Icon::Exclamation}))
          return IntakeEnd::Declined;
        list.setFormatPosition(q);
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
