#pragma once
// The sound inputs the desktop offers, as the recording page asks for them:
// whether there is any, and the capability flags of the default one.

#include <cstdint>

namespace mv {

class AudioInputs {
 public:
  virtual ~AudioInputs() = default;
  virtual bool any() = 0;
  virtual uint32_t capabilityFlags() = 0;
};

// Qt Multimedia's view (PulseAudio or PipeWire underneath).
class QtAudioInputs : public AudioInputs {
 public:
  bool any() override;
  uint32_t capabilityFlags() override;
};

}  // namespace mv
