#pragma once
// A job run from the window: the main window disabled, its progress window
// on top, events let run at the job's points, questions as message boxes.
// For as long as it lives it listens to the progress window's cancel button
// and keeps the answer in TForm1::CancelRequested.

#include <QMetaObject>

#include "wave/job.h"

namespace mv {

class TForm1;
class ProgressForm;

class WindowJobHost : public JobHost {
 public:
  WindowJobHost(TForm1& form, ProgressForm& progress);
  ~WindowJobHost() override;
  WindowJobHost(const WindowJobHost&) = delete;
  WindowJobHost& operator=(const WindowJobHost&) = delete;

  bool ask(const Message& question) override;
  void inform(const Message& message) override;
  void begin() override;
  void end() override;
  void status(std::string_view text) override;
  void progress(int percent) override;
  void pump() override;
  void resetCancel() override;
  bool cancelRequested() override;

 private:
  TForm1& form_;
  ProgressForm& progress_;
  QMetaObject::Connection cancel_;
};

}  // namespace mv
