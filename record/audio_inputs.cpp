#include "record/audio_inputs.h"

namespace mv {

const AudioInput* InputList::find(const std::string& id) const {
  for (const AudioInput& input : inputs)
    if (input.id == id) return &input;
  return nullptr;
}

std::string PickDefaultInput(const std::vector<AudioInput>& inputs, const std::string& serverDefault) {
  for (const AudioInput& input : inputs)
    if (input.id == serverDefault) return input.id;
  return inputs.empty() ? std::string() : inputs.front().id;
}

}  // namespace mv
