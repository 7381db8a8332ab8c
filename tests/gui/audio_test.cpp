// Recording from a real sound server (tests/audio/with-sound-server): the
// window records the test tone for a set length and cuts it, the closing
// question saves a recording, and a measurement ended early is analysed.
// Skips when no server is up.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "app/adjfrm.h"
#include "app/mvfrm.h"
#include "app/services.h"
#include "app/startup.h"
#include "record/analysis.h"
#include "record/audio_inputs.h"
#include "record/capacity.h"
#include "record/qt_wave_device.h"
#include "tests/gui/fixture.h"
#include "tests/support.h"

using mv::test::Bytes;
using mv::test::Text;
namespace msg = mv::msg;

namespace {

// Mean magnitude of 16-bit samples after a 44-byte header.
double loudness(const Bytes& file) {
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = 44; i + 1 < file.size(); i += 2, ++n) sum += std::abs(int16_t(file[i] | file[i + 1] << 8));
  return n ? sum / static_cast<double>(n) : 0;
}

}  // namespace

// The fixture with the real input, space and device; the boxes stay scripted.
class AudioTest : public QObject, mv::test::WindowFixture {
  Q_OBJECT

  mv::QtAudioInputs inputs_;
  mv::FileSystems space_;
  mv::QtWaveDevice device_;

 private slots:
  void initTestCase() {
    if (qgetenv("MORVANE_AUDIO") != "1") QSKIP("no sound server for this run");
    if (inputs_.list().inputs.empty()) QSKIP("the sound server lists no input");
  }
  void init() {
    setUp();
    open({boxes_, inputs_, space_, device_});
    QTRY_VERIFY_WITH_TIMEOUT(form_->haveInput(), 3000);
    const int stereo = form_->ComboBox2->findText("16bit, Stereo, 44.1kHz");
    QVERIFY(stereo >= 0);
    form_->ComboBox2->setCurrentIndex(stereo);
    emit form_->ComboBox2->activated(stereo);
  }
  void cleanup() { tearDown(); }

  void recordsTwoSecondsOfTheToneAndCutsThem() {
    QDir().mkpath(dir("songs"));
    form_->Edit4->setText(dir("songs"));
    form_->SpinEdit3->setValue(2);
    QVERIFY(form_->CheckBox1->isChecked());
    form_->BitBtn5->click();
    QVERIFY(form_->recording());
    QTRY_VERIFY_WITH_TIMEOUT(!form_->recording(), 8000);
    const Bytes rec = mv::test::ReadBytes(file("morvntmp.wav"));
    QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
    QCOMPARE(mv::test::Get16(rec, 22), 2);
    QCOMPARE(mv::test::Get32(rec, 24), 44100u);
    QCOMPARE(mv::test::Get16(rec, 34), 16);
    const double seconds = static_cast<double>(rec.size() - 44) / 176400.0;
    QVERIFY2(seconds > 1.9 && seconds < 2.1, qPrintable(QString("recorded %1 s").arg(seconds)));
    QVERIFY2(loudness(rec) > 3000, "the tone is not in the recording");
    // The cut followed at once: a tone without silence is one song.
    const Bytes song = mv::test::ReadBytes(file("songs/mv000001.wav"));
    QCOMPARE(mv::test::DataOf(song), mv::test::DataOf(rec));
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
  }

  void closingDuringARecordingSavesIt() {
    form_->SpinEdit3->setValue(30);
    form_->BitBtn5->click();
    QTest::qWait(1500);
    boxes_.answers = {true};
    QVERIFY(form_->close());
    QVERIFY(!form_->recording());
    const Bytes rec = mv::test::ReadBytes(file("morvntmp.wav"));
    QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
    const double seconds = static_cast<double>(rec.size() - 44) / 176400.0;
    QVERIFY2(seconds > 1.0 && seconds < 2.5, qPrintable(QString("recorded %1 s").arg(seconds)));
    QCOMPARE(boxes_.shown.back().text, Text(msg::kRecordingDone));
  }

  void measurementEndedEarlyMatchesItsFile() {
    Bytes saved;
    connect(form_, &mv::TForm1::measurementSaved, this,
            [&](const QString& path) { saved = mv::test::ReadBytes(path.toStdString()); });
    QTimer::singleShot(1500, this, [&] { windows_.measuring->Button1->click(); });
    form_->Button14->click();
    QVERIFY(saved.size() > 44 + 100000);
    mv::MemoryStream in(saved);
    const mv::CorrectionValues v = mv::AnalyseInput(in, 44, 2, 16);
    const QLabel* shown[6] = {form_->Label29, form_->Label30, form_->Label37,
                              form_->Label38, form_->Label40, form_->Label41};
    const int32_t want[6] = {v.zero[0], v.zero[1], v.maximum[0], v.maximum[1], v.minimum[0], v.minimum[1]};
    for (int i = 0; i < 6; ++i) QCOMPARE(shown[i]->text(), QString::number(want[i]));
    QVERIFY(v.maximum[0] > 10000);  // the tone, not silence
    QCOMPARE(form_->SpinEdit7->value(), v.threshold());
    QVERIFY(mv::test::FileNames(file(""), "wav").empty());
  }

  void commandLineRecords() {
    QDir().mkpath(dir("cli"));
    QCOMPARE(runCli({"record", "--out", dir("cli"), "--length", "0:00:01", "--format", "16bit, Mono, 22kHz"}), 0);
    const Bytes rec = mv::test::ReadBytes(file("cli/morvntmp.wav"));
    QCOMPARE(mv::test::Get32(rec, 24), 22050u);
    const double seconds = static_cast<double>(rec.size() - 44) / 44100.0;
    QVERIFY2(seconds > 0.9 && seconds < 1.1, qPrintable(QString("recorded %1 s").arg(seconds)));
    QVERIFY(loudness(rec) > 3000);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  AudioTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "audio_test.moc"
