#pragma once
// The sound server asked directly over its own protocol (PulseAudio's, which
// PipeWire serves too) for its default input, with a time limit: a server
// that does not answer costs no more than that time, and none is started.

#include <string>

namespace mv {

struct ServerAnswer {
  bool answered = false;      // the server answered in time
  std::string defaultSource;  // the name (id) of its default input
};

ServerAnswer AskSoundServer(int timeoutMs);

}  // namespace mv

#include <functional>
#include <memory>

namespace mv {

// Watches one input of the server from a connection of its own: gone runs
// (on the watch's thread) once, when the input is removed or the server goes
// away. A server moves the streams of a removed input to another one, so the
// capture itself would go on without a word.
class SourceWatch {
 public:
  SourceWatch(const std::string& source, std::function<void()> gone);
  ~SourceWatch();
  SourceWatch(const SourceWatch&) = delete;
  SourceWatch& operator=(const SourceWatch&) = delete;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace mv
