#pragma once
// The join run: the listed files' sample data, one after the other, behind a
// single header.

#include <optional>
#include <string>
#include <vector>

#include "wave/errors.h"
#include "wave/format.h"
#include "wave/job.h"
#include "wave/source.h"

namespace mv {

struct JoinSettings {
  std::vector<std::string> sources;  // join order; ".wav" by its data, others whole
  std::string output;                // file to make; replaced if it exists
  PcmFormat format = ParseFormatLabel(kJoinLabels[kDefaultFormatPosition]);  // header of the output
  bool deleteSources = false;        // after a finished run only
};

enum class JoinEnd { NothingToDo, Complete, Cancelled };

struct JoinResult {
  JoinEnd end = JoinEnd::NothingToDo;
  bool sourcesDeleted = false;  // the list is then to be emptied
  std::vector<std::string> notDeleted;  // sources a deletion could not remove
};

// Errors raise mv::Error after the clean-up; the output left behind is then a
// valid WAVE file holding the data copied so far.
// The sources are read through open (files, unless a test or fuzzer gives
// another).
JoinResult RunJoin(const JoinSettings& settings, JobHost& host, const OpenSource& open = OpenFile);

// The join list as the intake sees it: entries, the format selector, and the
// format question.
class JoinIntake {
 public:
  virtual ~JoinIntake() = default;
  virtual int formatPosition() const = 0;
  virtual void setFormatPosition(int position) = 0;
  // A format outside the lists, chosen as the entry after them (position
  // kExtendedPosition); a list without that entry takes none.
  virtual std::optional<PcmFormat> extendedFormat() const { return std::nullopt; }
  virtual void setExtendedFormat(const PcmFormat&) { refuse(msg::kUnsupported); }
  virtual void append(const std::string& name) = 0;
  virtual bool ask(const Message& question) = 0;
};

enum class IntakeEnd { AllAdded, Declined };

// Adds one batch (one dialog's choice, or one drop). A refused file raises
// mv::Error; the names before it stay added.
IntakeEnd AddJoinFiles(const std::vector<std::string>& batch, JoinIntake& list);

}  // namespace mv
