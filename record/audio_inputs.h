#pragma once
// The sound inputs the desktop offers, as the recording page and the command
// line ask for them: which there are, which one is the desktop's default, and
// the capability flags of each.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QObject;

namespace mv {

struct AudioInput {
  std::string id;           // the sound server's name for it
  std::string description;  // what the desktop shows
};

struct InputList {
  bool answered = false;  // the sound server answered in time
  std::vector<AudioInput> inputs;
  std::string defaultId;  // the desktop's default input; empty when there is none

  const AudioInput* find(const std::string& id) const;
};

// The desktop's default among the inputs: the one the server names, else the
// first (the server may name a monitor, which is not offered as an input).
std::string PickDefaultInput(const std::vector<AudioInput>& inputs, const std::string& serverDefault);

// How long the sound server may take to answer before there is no input.
inline constexpr int kInputQueryMs = 2500;

class AudioInputs {
 public:
  virtual ~AudioInputs() = default;
  // Asks for the inputs; found runs once with the answer, at once or later
  // from the event loop.
  virtual void query(std::function<void(const InputList&)> found) = 0;
  virtual uint32_t capabilityFlags(const std::string& id) = 0;
};

// Qt Multimedia's view (PulseAudio or PipeWire underneath). The server is
// asked first, on a thread of its own and with a time limit, since Qt's own
// first question waits half a minute for a server that does not answer.
class QtAudioInputs : public AudioInputs {
 public:
  QtAudioInputs();
  ~QtAudioInputs() override;  // waits for a question under way
  void query(std::function<void(const InputList&)> found) override;
  uint32_t capabilityFlags(const std::string& id) override;
  // The same answer, waited for.
  InputList list();

 private:
  std::unique_ptr<QObject> receiver_;  // where the thread's answer is delivered
  std::thread asking_;
};

}  // namespace mv
