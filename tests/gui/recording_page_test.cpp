// The recording page with a stand-in device: the timed recording and its
// states, the closing question, the hand-over to the cut, the length limits,
// and the correction measurement.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/adjfrm.h"
#include "app/mvfrm.h"
#include "app/startup.h"
#include "record/analysis.h"
#include "tests/gui/fixture.h"
#include "tests/support.h"
#include "wave/format.h"

using mv::test::Bytes;
using mv::test::Text;
namespace msg = mv::msg;

class RecordingPageTest : public QObject, mv::test::WindowFixture {
  Q_OBJECT

  void selectFormat(const QString& label) {
    const int index = form_->ComboBox2->findText(label);
    form_->ComboBox2->setCurrentIndex(index);
    emit form_->ComboBox2->activated(index);
  }
  void ticks(int n) {
    for (int i = 0; i < n && form_->recording(); ++i) mv::test::Tick(form_->Timer2);
  }
  int wavTemporaries() const { return static_cast<int>(mv::test::FileNames(file(""), "wav").size()); }

 private slots:
  void init() {
    setUp();
    stand_.device.perTick = mv::test::Repeat16(2000, 2205, 2);  // a tenth of a second
    stand_.inputs.present = true;
    stand_.inputs.flags = 0xFFF;
    open();
    selectFormat("16bit, Stereo, 22kHz");
    form_->SpinEdit3->setValue(3);
  }
  void cleanup() { tearDown(); }

  void recordingLocksThePageAndTicksToItsLength() {
    form_->CheckBox1->setChecked(false);
    form_->BitBtn5->click();
    QVERIFY(form_->recording());
    QVERIFY(!form_->BitBtn5->isEnabled() && !form_->Button1->isEnabled() && !form_->ComboBox2->isEnabled());
    QVERIFY(!form_->TabSheet2->isEnabled() && !form_->TabSheet3->isEnabled());
    QVERIFY(!form_->KC1->menuAction()->isEnabled() && !form_->KA1->menuAction()->isEnabled());
    QVERIFY(!form_->Button14->isEnabled() && !form_->CheckBox4->isEnabled());
    QCOMPARE(form_->KS1->text(), QStringLiteral("録音終了"));
    QVERIFY(form_->Timer2->isActive());
    QCOMPARE(form_->Label34->text(), QStringLiteral("00:00:03"));
    QCOMPARE(form_->TrackBar951->maximum(), 3);
    // The prepared file carries the format before the device opens it.
    const Bytes empty = mv::test::ReadBytes(file("morvntmp.wav"));
    QCOMPARE(empty.size(), size_t{44});
    QCOMPARE(mv::test::Get32(empty, 24), 22050u);
    QCOMPARE(mv::test::Get32(empty, 4), 36u);
    QCOMPARE(form_->RecChannels, 2);
    QCOMPARE(form_->RecRate, 22050);

    ticks(2);
    QCOMPARE(form_->Label33->text(), QStringLiteral("00:00:02"));
    QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));  // valid at every tick
    ticks(1);
    QVERIFY(!form_->recording());
    QCOMPARE(stand_.device.calls, (std::vector<std::string>{"open", "record", "stop", "save", "close"}));
    QCOMPARE(boxes_.shown.back().text, Text(msg::kRecordingDone));
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kRecordingDoneCaption));
    QCOMPARE(boxes_.shown.back().icon, mv::Icon::Information);
    QCOMPARE(form_->KS1->text(), QStringLiteral("録音開始(&S)"));
    QVERIFY(form_->BitBtn5->isEnabled() && form_->Button14->isEnabled() && form_->TabSheet2->isEnabled());
    QCOMPARE(form_->TrackBar951->value(), 0);
    QCOMPARE(form_->Label33->text(), QStringLiteral("00:00:03"));
    QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
    QCOMPARE(mv::test::DataOf(mv::test::ReadBytes(file("morvntmp.wav"))).size(), 4 * stand_.device.perTick.size());
    // The menu starts the next one.
    boxes_.answers = {true};
    form_->KS1->trigger();
    QVERIFY(form_->recording());
    form_->KS1->trigger();
    QVERIFY(!form_->recording());
  }

  void aRecordingIsCutAtOnceWhenAsked() {
    QDir().mkpath(dir("songs"));
    form_->Edit4->setText(dir("songs"));
    form_->ComboBox3->setCurrentIndex(5);
    form_->BitBtn5->click();
    ticks(3);
    QCOMPARE(form_->Edit3->text(), dir("morvntmp.wav"));
    QCOMPARE(form_->ComboBox3->currentText(), QStringLiteral("16bit, Stereo, 22kHz"));
    QVERIFY(mv::test::IsFinishedWave(file("songs/mv000001.wav")));
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
  }

  void zeroLengthEndsOnTheFirstTick() {
    form_->SpinEdit3->setValue(0);
    form_->CheckBox1->setChecked(false);
    form_->BitBtn5->click();
    ticks(1);
    QVERIFY(!form_->recording());
    QCOMPARE(mv::ElapsedText(90000), QStringLiteral("01:00:00"));
    QCOMPARE(mv::ElapsedText(3725), QStringLiteral("01:02:05"));
  }

  void declinedOverwriteChangesNothing() {
    mv::test::WriteBytes(file("morvntmp.wav"), {1, 2, 3});
    boxes_.answers = {false};
    form_->BitBtn5->click();
    QCOMPARE(boxes_.shown.back().text, Text(msg::kOverwriteRecording));
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kOverwriteCaption));
    QVERIFY(!form_->recording() && !form_->Timer2->isActive());
    QVERIFY(stand_.device.calls.empty());
    QCOMPARE(mv::test::ReadBytes(file("morvntmp.wav")), (Bytes{1, 2, 3}));
  }

  void failingDeviceLeavesTheRecordingState() {
    stand_.device.failOpen = true;
    form_->BitBtn5->click();
    QCOMPARE(boxes_.shown.back().text, Text(msg::kUnknownDeviceError) + ".");
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kAppTitle));
    QVERIFY(!form_->recording() && !form_->Timer2->isActive() && form_->BitBtn5->isEnabled());
    // And a folder that is gone.
    stand_.device.failOpen = false;
    form_->Edit1->setText(dir("gone"));
    form_->BitBtn5->click();
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCannotCreate, dir("gone/morvntmp.wav")) + ".");
    QVERIFY(!form_->recording());
  }

  void closingWhileRecordingAsks() {
    form_->BitBtn5->click();
    boxes_.answers = {false};
    QVERIFY(!form_->close());
    QCOMPARE(boxes_.shown.back().text, Text(msg::kQuitWhileRecording));
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kQuitWhileRecordingCaption));
    QCOMPARE(boxes_.shown.back().icon, mv::Icon::Exclamation);
    QVERIFY(form_->recording() && form_->isVisible());
    boxes_.answers = {true};
    QVERIFY(form_->close());
    QVERIFY(!form_->recording());
    QVERIFY(!form_->CheckBox1->isChecked());  // no cut follows
    QCOMPARE(boxes_.shown.back().text, Text(msg::kRecordingDone));
    QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
    // Ending again does nothing.
    const size_t boxes = boxes_.shown.size();
    form_->EndRecording();
    QCOMPARE(boxes_.shown.size(), boxes);
  }

  void lengthLimitsFollowTheFreeSpace() {
    stand_.space.free = 1000000000;
    selectFormat("16bit, Stereo, 44.1kHz");
    QCOMPARE(form_->SpinEdit1->maximum(), 0);
    QVERIFY(!form_->SpinEdit1->isEnabled());
    QCOMPARE(form_->SpinEdit2->maximum(), 31);
    QCOMPARE(form_->SpinEdit3->maximum(), 59);
    form_->SpinEdit2->setValue(31);
    QCOMPARE(form_->SpinEdit3->maximum(), 30);
    QCOMPARE(form_->SpinEdit3->value(), 3);
    form_->CheckBox1->click();  // no cut: two copies only
    QCOMPARE(form_->SpinEdit2->maximum(), 47);
    form_->SpinEdit2->setValue(47);
    QCOMPARE(form_->SpinEdit3->maximum(), 14);
    // Unreadable space: nothing can be set.
    stand_.space.free = -1;
    form_->CheckBox1->click();
    QCOMPARE(form_->SpinEdit2->maximum(), 0);
    QCOMPARE(form_->SpinEdit2->value(), 0);
    QVERIFY(!form_->SpinEdit2->isEnabled());
    QCOMPARE(form_->SpinEdit3->maximum(), 0);
  }

  void formatChoiceFollowsIntoTheCutList() {
    form_->ComboBox3->setCurrentIndex(0);
    selectFormat("8bit, Mono, 11kHz");
    QCOMPARE(form_->ComboBox3->currentIndex(), 22);
    QCOMPARE(form_->ComboBox4->currentIndex(), 1);
  }

  void measurementEndedEarlyAnalysesWhatWasRecorded() {
    Bytes captured;
    for (int i = 0; i < 500; ++i) {
      mv::test::Put16(captured, static_cast<uint16_t>(10 + i % 7));
      mv::test::Put16(captured, static_cast<uint16_t>(-20 - i % 11));
    }
    stand_.device.perTick = captured;
    Bytes saved;
    connect(form_, &mv::TForm1::measurementSaved, this,
            [&](const QString& path) { saved = mv::test::ReadBytes(path.toStdString()); });
    QTimer::singleShot(0, this, [&] {
      QVERIFY(windows_.measuring->isVisible());
      QCOMPARE(windows_.measuring->ProgressBar1->value(), 0);
      windows_.measuring->Button1->click();
    });
    form_->Button14->click();
    QVERIFY(!form_->Timer1->isActive());
    mv::MemoryStream in(saved);
    const mv::CorrectionValues v = mv::AnalyseInput(in, 44, 2, 16);
    QCOMPARE(v.frames, 500);
    QCOMPARE(form_->Label29->text(), QString::number(v.zero[0]));
    QCOMPARE(form_->Label30->text(), QString::number(v.zero[1]));
    QCOMPARE(form_->Label37->text(), QStringLiteral("16"));
    QCOMPARE(form_->Label38->text(), QString::number(v.maximum[1]));
    QCOMPARE(form_->Label40->text(), QStringLiteral("10"));
    QCOMPARE(form_->Label41->text(), QStringLiteral("-30"));
    QCOMPARE(form_->SpinEdit7->value(), v.threshold());
    QCOMPARE(wavTemporaries(), 0);
    // The zero points now correct the cut: reset puts them back to 0.
    form_->SpeedButton1->click();
    QCOMPARE(form_->Label29->text(), QStringLiteral("0"));
    QCOMPARE(form_->Label37->text(), QStringLiteral("16"));
  }

  void twentyTicksEndAMeasurement() {
    form_->CheckBox1->setChecked(false);
    form_->SpinEdit7->setValue(77);
    QTimer::singleShot(0, this, [&] {
      for (int i = 0; i < 20; ++i) mv::test::Tick(form_->Timer1);
    });
    form_->Button14->click();
    QCOMPARE(windows_.measuring->ProgressBar1->value(), 100);
    QCOMPARE(form_->SpinEdit7->value(), 77);  // the cut does not follow: threshold kept
    QCOMPARE(form_->Label37->text(), QStringLiteral("2000"));
  }

  void measurementWithNothingRecordedShowsZeros() {
    stand_.device.perTick = {};
    form_->Label29->setText("5");
    form_->SpinEdit7->setValue(77);
    QTimer::singleShot(0, this, [&] { windows_.measuring->Button1->click(); });
    form_->Button14->click();
    QCOMPARE(form_->Label29->text(), QStringLiteral("0"));
    QCOMPARE(form_->Label37->text(), QStringLiteral("0"));
    QCOMPARE(form_->SpinEdit7->value(), 77);
  }

  void failingDeviceLeavesNoTemporaryFile() {
    stand_.device.failOpen = true;
    form_->Button14->click();
    QCOMPARE(boxes_.shown.back().text, Text(msg::kUnknownDeviceError) + ".");
    QVERIFY(windows_.measuring->isHidden());
    QVERIFY(!form_->Timer1->isActive());
    QCOMPARE(wavTemporaries(), 0);
  }

  void correctionSwitchGreysItsControls() {
    form_->CheckBox4->click();
    QVERIFY(!form_->Button14->isEnabled() && !form_->GroupBox2->isEnabled() && !form_->Label29->isEnabled());
    form_->CheckBox4->click();
    QVERIFY(form_->Button14->isEnabled() && form_->Label29->isEnabled());
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  RecordingPageTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "recording_page_test.moc"
