#pragma once
// What the window's tests share: stand-ins for the platform (message boxes
// answered from a script, a sound input that is there or not, free space, a
// device), and a fixture that opens the windows on them in a folder of its
// own.

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/paths_qt.h"
#include "app/services.h"
#include "app/startup.h"
#include "record/audio_inputs.h"
#include "record/capacity.h"
#include "record/wave_device.h"
#include "tests/files.h"
#include "tests/stand_in_device.h"
#include "tests/support.h"
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

// Inputs as the test sets them. With present, one input "mic" (the default)
// with the flags; inputs and defaultId name others. Deferred, the answer
// waits for answer().
struct StandInInputs : AudioInputs {
  bool present = false;
  uint32_t flags = 0;
  std::vector<AudioInput> inputs;
  std::string defaultId;
  std::map<std::string, uint32_t> flagsOf;  // per input; else flags
  bool deferred = false;
  std::function<void(const InputList&)> waiting;

  InputList answer() const {
    InputList list;
    list.answered = true;
    list.inputs = inputs;
    if (present && list.inputs.empty()) list.inputs.push_back({"mic", "Microphone"});
    list.defaultId = PickDefaultInput(list.inputs, defaultId);
    return list;
  }
  void query(std::function<void(const InputList&)> found) override {
    if (deferred)
      waiting = std::move(found);
    else
      found(answer());
  }
  // A deferred query answered now: the inputs as set, or no answer at all.
  void answerNow(bool answered = true) {
    auto found = std::move(waiting);
    waiting = nullptr;
    found(answered ? answer() : InputList{});
  }
  uint32_t capabilityFlags(const std::string& id) override {
    auto it = flagsOf.find(id);
    return it == flagsOf.end() ? flags : it->second;
  }
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

// The pieces a cut wrote into a folder, by name.
inline std::vector<Bytes> Pieces(const QString& folder) { return PieceFiles(ToPath(folder)); }

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

// The windows on stand-ins, in a folder of their own that is also the
// temporary folder they see. A test class derives from it and calls setUp
// and tearDown from its init and cleanup.
class WindowFixture {
 protected:
  QTemporaryDir temp_;
  StandIns stand_;
  ScriptedBoxes& boxes_ = stand_.boxes;
  Windows windows_;
  TForm1* form_ = nullptr;

  // Fresh stand-ins (no input, a terabyte free); TMPDIR is the folder.
  void setUp() {
    qputenv("TMPDIR", temp_.path().toLocal8Bit());
    stand_ = StandIns{};
  }
  // The windows on the services (the stand-ins unless given), shown; no box
  // shown or answer queued before.
  void open() { open(stand_.services()); }
  void open(const Services& services) {
    boxes_ = {};
    windows_ = CreateWindows(services);
    form_ = windows_.main.get();
    form_->show();
  }
  void tearDown() {
    windows_ = {};
    form_ = nullptr;
    QDir(temp_.path()).removeRecursively();
    QDir().mkpath(temp_.path());
  }

  QString dir(const QString& name = {}) const { return name.isEmpty() ? temp_.path() : temp_.filePath(name); }
  std::string file(const QString& name) const { return ToPath(dir(name)); }
  QString wav(const QString& name, int channels, int rate, int bits, const Bytes& data = Bytes(8, 1)) const {
    WriteBytes(file(name), MakeWav(channels, rate, bits, data));
    return dir(name);
  }
  void drop(const QStringList& names) { Drop(form_, names); }
  // The last box shown: text, caption and icon, to compare in one go.
  std::tuple<QString, QString, Icon> lastBox() const {
    if (boxes_.shown.empty()) return {};
    const Shown& b = boxes_.shown.back();
    return {b.text, b.caption, b.icon};
  }
  // Runs morvane-cli (MORVANE_CLI) to its end: its exit status, or -1 when
  // it did not end by itself.
  static int runCli(const QStringList& args) {
    QProcess cli;
    cli.start(QString::fromLocal8Bit(qgetenv("MORVANE_CLI")), args);
    if (!cli.waitForFinished() || cli.exitStatus() != QProcess::NormalExit) return -1;
    return cli.exitCode();
  }
};

}  // namespace mv::test
