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
#include "record/session.h"
#include <QElapsedTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <cmath>

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

// A device that "captures" a tone swelling and fading, its left channel
// reaching full scale now and then, for the meter's picture.
struct ToneDevice : mv::WaveDevice {
  mv::CaptureFile capture;
  QElapsedTimer clock;
  void open() override { capture.open(FileName); }
  void record() override { clock.start(); }
  void stop() override {}
  void save() override { capture.refresh(); }
  void close() override { capture.close(); }
  void flush() override { capture.refresh(); }
  std::optional<mv::CaptureFailure> failure() const override { return capture.failure(); }
  mv::InputLevel takeLevel() override {
    std::vector<uint8_t> block;
    const double t = clock.elapsed() / 1000.0;
    const double swell = 0.55 + 0.45 * std::sin(t * 2.1);
    for (int i = 0; i < 1764; ++i) {
      const double s = std::sin((t * 44100 + i) * 2 * M_PI / 100);
      const int left = std::clamp(static_cast<int>(s * 40000 * swell), -32768, 32767);
      const int right = static_cast<int>(s * 9000 * swell);
      for (int v : {left, right}) {
        block.push_back(static_cast<uint8_t>(v & 0xFF));
        block.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
      }
    }
    capture.append(block.data(), block.size());
    return capture.takeLevel();
  }
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
  windows = {};

  // The meter while recording: the recorder panel on the recording page.
  ToneDevice tone;
  windows = mv::CreateWindows({boxes, inputs, space, tone});
  mv::TForm1& recorder = *windows.main;
  recorder.show();
  recorder.ComboBox2->setCurrentIndex(recorder.ComboBox2->findText("16bit, Stereo, 44.1kHz"));
  recorder.CheckBox1->setChecked(false);
  recorder.SpinEdit2->setValue(5);
  recorder.BitBtn5->click();
  QElapsedTimer shown;
  shown.start();
  while (shown.elapsed() < 2300) {
    QApplication::processEvents();
    QThread::msleep(5);
  }
  const QString meter = out + "/meter.png";
  const bool saved = recorder.grab().save(meter);
  recorder.BitBtn4->click();
  if (!saved) {
    std::fprintf(stderr, "cannot save %s\n", meter.toLocal8Bit().constData());
    return 1;
  }
  std::printf("%s\n", meter.toLocal8Bit().constData());
  return 0;
}
