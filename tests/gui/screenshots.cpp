// Saves a picture of each page of the window, as a person sees it:
//   morvane-screenshots OUT_DIR
// Run it under a real X server (scripts/screenshots uses Xvfb).

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QTabWidget>
#include <QThread>
#include <cstdio>

#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/services.h"
#include "app/startup.h"
#include "record/audio_inputs.h"
#include "record/capabilities.h"
#include "record/capacity.h"
#include "record/qt_wave_device.h"

namespace {

// An input with every format, so that the recording page shows its list.
struct EveryFormat : mv::AudioInputs {
  void query(std::function<void(const mv::InputList&)> found) override {
    mv::InputList list;
    list.answered = true;
    list.inputs = {{"mic", "Microphone"}};
    list.defaultId = "mic";
    found(list);
  }
  uint32_t capabilityFlags(const std::string&) override { return 0xFFF; }
};

struct SayOk : mv::MessageBoxes {
  bool show(const QString& text, const QString&, Buttons, mv::Icon) override {
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);
  SayOk boxes;
  EveryFormat inputs;
  mv::FileSystems space;
  mv::QtWaveDevice device;
  mv::Windows windows = mv::CreateWindows({boxes, inputs, space, device});
  mv::TForm1& form = *windows.main;
  form.ListBox1->addItems({"/home/user/tapes/side-a/mv000001.wav", "/home/user/tapes/side-a/mv000002.wav",
                           "/home/user/tapes/side-b/mv000001.wav"});
  form.ListBox1->setCurrentRow(1);
  form.show();
  const char* names[] = {"recording", "cutting", "joining"};
  for (int page = 0; page < 3; ++page) {
    form.PageControl1->setCurrentIndex(page);
    for (int i = 0; i < 20; ++i) {
      QApplication::processEvents();
      QThread::msleep(10);
    }
    const QString file = out + "/" + names[page] + ".png";
    if (!form.grab().save(file)) {
      std::fprintf(stderr, "cannot save %s\n", file.toLocal8Bit().constData());
      return 1;
    }
    std::printf("%s\n", file.toLocal8Bit().constData());
  }
  return 0;
}
