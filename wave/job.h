#pragma once
// What a long job needs of its front end: questions, messages, the progress
// window (status text, bar, letting events run, the cancel flag) and the
// files it leaves. The window and the command line each implement it once.

#include <cstdint>
#include <string>
#include <string_view>

namespace mv {

enum class Icon { None, Information, Exclamation, Stop };

struct Message {
  std::string_view text;
  std::string_view caption;
  Icon icon = Icon::None;
};

class JobHost {
 public:
  virtual ~JobHost() = default;

  // A Yes/No question; true is Yes.
  virtual bool ask(const Message& question) = 0;
  // An OK box (the completion messages).
  virtual void inform(const Message& message) = 0;

  // The run takes over: main window disabled, progress window shown.
  virtual void begin() {}
  // Every way out of a run: status cleared, progress window hidden, main
  // window enabled again. Must not throw.
  virtual void end() {}

  virtual void status(std::string_view /*text*/) {}
  virtual void progress(int /*percent*/) {}
  // Lets pending events run; the cancel button is handled here.
  virtual void pump() {}
  // The run's loop starts: a cancel pressed before now is forgotten.
  virtual void resetCancel() {}
  virtual bool cancelRequested() { return false; }

  // An output file has been closed for good (finished or left as it is),
  // holding size bytes.
  virtual void fileWritten(const std::string& /*path*/, int64_t /*size*/) {}
};

// A run from begin() to end(): end() on every way out, an error included.
class JobScope {
 public:
  explicit JobScope(JobHost& host) : host_(host) { host_.begin(); }
  JobScope(const JobScope&) = delete;
  JobScope& operator=(const JobScope&) = delete;
  ~JobScope() { host_.end(); }

 private:
  JobHost& host_;
};

// The bar after step u of total: the quotient first, then times 100, in
// extended precision, truncated.
inline int ProgressPercent(int64_t u, int64_t total) {
  return static_cast<int>(static_cast<long double>(u) / static_cast<long double>(total) * 100.0L);
}

}  // namespace mv
