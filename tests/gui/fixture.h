#pragma once
// Stand-ins for the window's tests: message boxes answered from a script, and
// a sound input that is there or not.

#include <QString>
#include <deque>
#include <vector>

#include "app/message_boxes.h"
#include "record/audio_inputs.h"

namespace mv::test {

struct Shown {
  QString text, caption;
  MessageBoxes::Buttons buttons;
  Icon icon;
};

// Answers questions from a queue (Yes when it runs dry) and keeps every box.
struct ScriptedBoxes : MessageBoxes {
  std::vector<Shown> shown;
  std::deque<bool> answers;
  bool show(const QString& text, const QString& caption, Buttons buttons, Icon icon) override {
    shown.push_back({text, caption, buttons, icon});
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

struct StandInInputs : AudioInputs {
  bool present = false;
  uint32_t flags = 0;
  bool any() override { return present; }
  uint32_t capabilityFlags() override { return flags; }
};

}  // namespace mv::test
