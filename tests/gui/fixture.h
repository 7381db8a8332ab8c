#pragma once
// Stand-ins for the window's tests: message boxes answered from a script, and
// a sound input that is there or not.

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "app/message_boxes.h"
#include "app/paths_qt.h"
#include "app/services.h"
#include "record/audio_inputs.h"
#include "record/capacity.h"
#include "record/wave_device.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/header.h"

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

// Free space per folder as the test sets it; unknown folders share key 0.
struct StandInSpace : FreeSpaceProvider {
  int64_t free = int64_t{1} << 40;
  std::map<std::string, uint64_t> keys;
  int64_t freeSpace(const std::string&) override { return free; }
  uint64_t key(const std::string& folder) override {
    auto it = keys.find(folder);
    return it == keys.end() ? 0 : it->second;
  }
};

// A device that "captures" the bytes the test gives it at each flush (one
// per tick of the recording clock).
struct StandInDevice : WaveDevice {
  std::vector<std::string> calls;
  bool failOpen = false;
  std::vector<uint8_t> perTick;
  File file = File::closed();

  void open() override {
    calls.push_back("open");
    if (failOpen) raise(msg::kUnknownDeviceError);
    file = File::openReadWrite(FileName);
    file.seek(file.size());
  }
  void record() override { calls.push_back("record"); }
  void flush() override {
    if (!file.isOpen()) return;
    file.write(perTick.data(), perTick.size());
    FinishWaveHeader(file);
  }
  void stop() override {
    calls.push_back("stop");
    flush();  // what was captured since the last tick
  }
  void save() override {
    calls.push_back("save");
    if (file.isOpen()) FinishWaveHeader(file);
  }
  void close() override {
    calls.push_back("close");
    file.close();
  }
};

struct StandIns {
  ScriptedBoxes boxes;
  StandInInputs inputs;
  StandInSpace space;
  StandInDevice device;
  Services services() { return {boxes, inputs, space, device}; }
};

// A text of the message table as the window shows it, "%s" filled in.
inline QString Text(std::string_view message, const QString& arg = {}) {
  return FromUtf8(format(message, ToPath(arg)));
}

// Drops files on a window as a file manager's drag does it: enter, then drop.
inline void Drop(QWidget* window, const QStringList& names) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& n : names) urls << QUrl::fromLocalFile(n);
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(250, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  QDropEvent event(QPointF(250, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &event);
}

// One tick of a timer, through its connections as the clock would give it.
inline void Tick(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection); }

}  // namespace mv::test
