// Saves a picture of each page of the window, of the cut's preview on a
// made-up tape (also with its track list and tags) and of a file dialog, as a
// person sees them:
//   morvane-screenshots OUT_DIR [PREFIX]
// into OUT_DIR/PREFIXrecording.png and so on. Run it under a real X server
// (scripts/screenshots uses Xvfb, once more with QT_SCALE_FACTOR=2).

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/album_panel.h"
#include "app/message_boxes.h"
#include "app/waveform_view.h"
#include "app/mvfrm.h"
#include "app/preview_dialog.h"
#include "app/services.h"
#include "app/startup.h"
#include "record/audio_inputs.h"
#include "record/capabilities.h"
#include "record/capacity.h"
#include "record/qt_wave_device.h"
#include "wave/file.h"
#include "wave/format.h"
#include "wave/header.h"
#include "record/session.h"

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
  std::string find(const std::string& input, const mv::PcmFormat&) override { return input; }
  void open(const std::string& file, int) override { capture.open(file); }
  void record() override { clock.start(); }
  void stop() override {}
  void save() override { capture.refresh(); }
  void close() override { capture.close(); }
  void flush() override { capture.refresh(); }
  bool complete(std::function<void()>) override { return true; }
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

// Five songs of a cassette at 11 kHz, 16-bit mono: chords that swell and
// fade, three seconds of hiss between them, and a DC offset of 150 under
// everything, so that no sample of the gaps comes below the default
// threshold of 100.
void writeTape(const std::string& path) {
  constexpr int kRate = 11025;
  const double songs[][3] = {{31, 0.55, 220}, {24, 0.35, 196}, {38, 0.7, 262}, {19, 0.25, 175}, {27, 0.5, 247}};
  uint32_t noise = 12345;
  auto hiss = [&noise] {
    noise = noise * 1664525u + 1013904223u;
    return static_cast<int>(noise >> 24) % 81 - 40;  // -40..40
  };
  std::vector<uint8_t> data;
  auto put = [&data](double v) {
    const auto s = static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
    data.push_back(static_cast<uint8_t>(s));
    data.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  };
  auto gap = [&](double seconds) {
    for (int i = 0; i < seconds * kRate; ++i) put(150 + hiss());
  };
  gap(1.5);
  for (const auto& [seconds, loudness, root] : songs) {
    const int n = static_cast<int>(seconds * kRate);
    for (int i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double swell = std::min({1.0, t / 0.3, (seconds - t) / 1.5}) * (0.65 + 0.35 * std::sin(t * 0.9));
      const double chord = std::sin(2 * M_PI * root * t) + 0.6 * std::sin(2 * M_PI * root * 1.26 * t) +
                           0.5 * std::sin(2 * M_PI * root * 1.5 * t);
      put(150 + hiss() + 32767 * loudness * swell * chord / 2.1);
    }
    gap(3);
  }
  mv::File file = mv::File::create(path);
  mv::WriteWaveHeader(file, mv::ParseFormatLabel("16bit, Mono, 11kHz"));
  file.write(data.data(), data.size());
  mv::FinishWaveHeader(file);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  const QString prefix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
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
    const QString file = out + "/" + prefix + names[page] + ".png";
    if (!form.grab().save(file)) {
      std::fprintf(stderr, "cannot save %s\n", file.toLocal8Bit().constData());
      return 1;
    }
    std::printf("%s\n", file.toLocal8Bit().constData());
  }

  // The preview of that tape, tuned: the level raised above the hiss and
  // its offset, the run length set to two seconds.
  QTemporaryDir folder;
  const QString tape = folder.filePath("tape-side-a.wav");
  writeTape(tape.toStdString());
  form.Edit3->setText(tape);
  form.Edit4->setText(folder.path());
  form.ComboBox3->setCurrentIndex(form.ComboBox3->findText("16bit, Mono, 11kHz"));
  form.KP1->trigger();
  auto* preview = form.findChild<mv::PreviewDialog*>("PreviewDialog");
  if (!preview) return 1;
  preview->ThresholdEdit->setValue(250);
  preview->RunLengthEdit->setValue(22050);
  QEventLoop loop;
  QObject::connect(preview, &mv::PreviewDialog::scanEnded, &loop, [&](bool complete) {
    // The first scan may be stopped by the change of the fields.
    if (complete) loop.quit();
  });
  QTimer::singleShot(20000, &loop, [&] { loop.exit(1); });
  if (loop.exec() != 0) {
    std::fprintf(stderr, "the preview did not finish its scan\n");
    return 1;
  }
  preview->CloseButton->setFocus();  // no caret in a field
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  const QString file = out + "/" + prefix + "preview.png";
  if (!preview->grab().save(file)) {
    std::fprintf(stderr, "cannot save %s\n", file.toLocal8Bit().constData());
    return 1;
  }
  std::printf("%s\n", file.toLocal8Bit().constData());

  // The cuts edited: one added by hand in the third song, drawn apart from
  // those found, the view zoomed in around it with the cursor there.
  mv::WaveformView& wave = *preview->Waveform;
  const std::vector<int64_t> found = wave.cuts();
  if (found.size() < 4) return 1;
  const int64_t byHand = found[2] + (found[3] - found[2]) / 2;
  wave.setCursorFrame(byHand);
  preview->AddCutButton->click();
  wave.zoom(3, byHand);
  preview->CloseButton->setFocus();
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  const QString editorFile = out + "/" + prefix + "editor-preview.png";
  if (!preview->grab().save(editorFile)) {
    std::fprintf(stderr, "cannot save %s\n", editorFile.toLocal8Bit().constData());
    return 1;
  }
  std::printf("%s\n", editorFile.toLocal8Bit().constData());
  preview->UndoButton->click();
  wave.zoom(1e-9, 0);

  // The same with the tape's track list pasted and the album named, FLAC
  // chosen: titles and names beside the pieces, the fourth far from its
  // listed length.
  mv::AlbumPanel& album = *preview->Album;
  album.TrackList->setPlainText(QStringLiteral("A1. 朝の光 / 山田 花子 0:31\nA2. Morning Walk 0:24\nA3. 海辺にて 0:38\n"
                                               "B1. 夕暮れ (0:45)\nB2. おやすみ 0:27\n"));
  album.AlbumEdit->setText(QStringLiteral("海辺の一日"));
  album.AlbumArtistEdit->setText(QStringLiteral("山田 花子"));
  album.YearEdit->setText(QStringLiteral("1987"));
  album.OutputFormat->setCurrentIndex(1);
  QObject::connect(preview, &mv::PreviewDialog::scanEnded, &loop, [&](bool complete) {
    if (complete) loop.quit();
  });
  if (loop.exec() != 0) {
    std::fprintf(stderr, "the preview did not finish its scan\n");
    return 1;
  }
  preview->CloseButton->setFocus();
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  const QString albumFile = out + "/" + prefix + "album-preview.png";
  if (!preview->grab().save(albumFile)) {
    std::fprintf(stderr, "cannot save %s\n", albumFile.toLocal8Bit().constData());
    return 1;
  }
  std::printf("%s\n", albumFile.toLocal8Bit().constData());
  // Its tags.
  album.Tabs->setCurrentIndex(1);
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  const QString tagsFile = out + "/" + prefix + "album-tags.png";
  if (!preview->grab().save(tagsFile)) {
    std::fprintf(stderr, "cannot save %s\n", tagsFile.toLocal8Bit().constData());
    return 1;
  }
  std::printf("%s\n", tagsFile.toLocal8Bit().constData());
  album.Tabs->setCurrentIndex(0);
  album.TrackList->clear();
  album.AlbumEdit->clear();
  album.AlbumArtistEdit->clear();
  album.YearEdit->clear();
  preview->reject();

  // The join's file dialog on the tape's folder, every column in view.
  QDir(folder.path()).mkpath(QStringLiteral("side-b"));
  const QString dialogFile = out + "/" + prefix + "file-dialog.png";
  bool dialogSaved = false;
  QTimer::singleShot(0, &form, [&] {
    auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    d->setDirectory(folder.path());
    for (int i = 0; i < 50; ++i) {
      QApplication::processEvents();
      QThread::msleep(10);
    }
    dialogSaved = d->grab().save(dialogFile);
    d->reject();
  });
  form.PageControl1->setCurrentIndex(2);
  form.Button3->click();
  if (!dialogSaved) {
    std::fprintf(stderr, "cannot save %s\n", dialogFile.toLocal8Bit().constData());
    return 1;
  }
  std::printf("%s\n", dialogFile.toLocal8Bit().constData());
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
  const QString meter = out + "/" + prefix + "meter.png";
  const bool saved = recorder.grab().save(meter);
  recorder.BitBtn4->click();
  if (!saved) {
    std::fprintf(stderr, "cannot save %s\n", meter.toLocal8Bit().constData());
    return 1;
  }
  std::printf("%s\n", meter.toLocal8Bit().constData());
  return 0;
}
