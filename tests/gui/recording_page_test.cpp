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
#include <QElapsedTimer>
#include <QImage>
#include <cmath>
#include <functional>

#include "app/adjfrm.h"
#include "app/level_meter.h"
#include "app/mvfrm.h"
#include "app/startup.h"
#include "record/analysis.h"
#include "record/capabilities.h"
#include "record/capacity.h"
#include "tests/gui/fixture.h"
#include "tests/support.h"
#include "wave/format.h"
#include "wave/layout.h"

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

  // A capture that ends by itself ends the recording at once: the clock
  // stops, the page unlocks, the box says why, and no cut follows.
  void aCaptureThatEndsByItselfEndsTheRecordingWithItsMessage() {
    struct Row {
      std::function<void(mv::test::StandInDevice&)> before, during;
      std::string_view message;
    };
    const std::vector<Row> rows = {
        {[](auto& d) { d.opener = mv::test::FullDiskAfter(10000); }, [](auto&) {}, msg::kRecordingWriteFailed},
        {[](auto&) {}, [](auto& d) { d.lose(); }, msg::kRecordingInputLost},
        {[](auto& d) { d.capture.limit = 12000; }, [](auto&) {}, msg::kRecordingSizeLimit},
    };
    QDir().mkpath(dir("songs"));
    form_->Edit4->setText(dir("songs"));
    for (const Row& row : rows) {
      const QString was = form_->Edit3->text();
      stand_.device.opener = mv::CaptureFile::OpenFile;
      stand_.device.capture.limit = mv::kMaxRecordingBytes;
      row.before(stand_.device);
      boxes_.answers = {true};
      form_->BitBtn5->click();
      QVERIFY(form_->recording());
      ticks(1);
      row.during(stand_.device);
      ticks(1);
      QTRY_VERIFY(!form_->recording());
      QVERIFY(!form_->Timer2->isActive() && !form_->MeterTimer->isActive());
      QVERIFY(form_->BitBtn5->isEnabled() && form_->TabSheet2->isEnabled());
      QCOMPARE(form_->KS1->text(), QStringLiteral("録音開始(&S)"));
      QCOMPARE(boxes_.shown.back().text, Text(row.message));
      QCOMPARE(boxes_.shown.back().caption, Text(msg::kRecordingFailedCaption));
      QCOMPARE(boxes_.shown.back().icon, mv::Icon::Stop);
      QVERIFY(form_->CheckBox1->isChecked());
      QCOMPARE(form_->Edit3->text(), was);  // not handed to the cut
      QVERIFY(mv::test::FileNames(file("songs"), "mv").empty());
      QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
      QVERIFY(mv::test::DataOf(mv::test::ReadBytes(file("morvntmp.wav"))).size() >= stand_.device.perTick.size());
      QCOMPARE(stand_.device.calls.back(), std::string("close"));
    }
  }

  // An input that still owes sound when the clock reaches the length: the
  // clock stays at the length and the stop button is there; the rest, cut at
  // the length, ends the recording, and the stop button or a lost input ends
  // it at once, as at any moment.
  void theEndWaitsForAnInputThatDeliversLate() {
    struct Row {
      const char* name;
      std::function<void(mv::TForm1&, mv::test::StandInDevice&)> then;
      std::string_view message;
      std::size_t blocks;  // of perTick in the file; 0: the set length
    };
    const std::vector<Row> rows = {
        {"the rest comes", [](auto&, auto& d) { d.deliverLate(mv::test::Repeat16(2000, 66150, 2)); },
         msg::kRecordingDone, 0},
        {"stopped", [](auto& f, auto&) { f.BitBtn4->click(); }, msg::kRecordingDone, 4},
        {"input lost", [](auto&, auto& d) { d.lose(); }, msg::kRecordingInputLost, 3},
    };
    form_->CheckBox1->setChecked(false);
    stand_.device.late = true;
    for (const Row& row : rows) {
      boxes_.answers = {true};
      form_->BitBtn5->click();
      ticks(3);
      QVERIFY2(form_->recording() && stand_.device.done, row.name);
      QVERIFY(!form_->Timer2->isActive() && form_->BitBtn4->isEnabled());
      QCOMPARE(form_->Label33->text(), QStringLiteral("00:00:03"));
      row.then(*form_, stand_.device);
      QTRY_VERIFY(!form_->recording());
      QCOMPARE(boxes_.shown.back().text, Text(row.message));
      QVERIFY(!stand_.device.done);
      const std::size_t want = row.blocks ? row.blocks * stand_.device.perTick.size() : 3 * 88200;
      QCOMPARE(mv::test::DataOf(mv::test::ReadBytes(file("morvntmp.wav"))).size(), want);
    }
  }

  void aMeasurementWhoseInputGoesAwayIsNotAnalysed() {
    form_->Label29->setText("5");
    QTimer::singleShot(0, this, [&] {
      mv::test::Tick(form_->Timer1);
      stand_.device.lose();
    });
    form_->Button14->click();
    QVERIFY(windows_.measuring->isHidden());
    QVERIFY(!form_->Timer1->isActive());
    QCOMPARE(boxes_.shown.back().text, Text(msg::kRecordingInputLost));
    QCOMPARE(form_->Label29->text(), QStringLiteral("5"));
    QCOMPARE(wavTemporaries(), 0);
  }

  // Without an input nothing can start a recording or a measurement; while
  // the server is asked the page says so, and the window is there at once.
  void withoutAnInputTheRecordingCommandsAreUnavailable() {
    tearDown();
    setUp();
    stand_.inputs.deferred = true;
    open();
    QVERIFY(form_->isVisible());
    QCOMPARE(form_->InputStatus->text(), Text(msg::kSearchingInputs));
    QVERIFY(form_->InputStatus->isVisible());
    auto unavailable = [&] {
      return !form_->BitBtn5->isEnabled() && !form_->KS1->isEnabled() && !form_->Button14->isEnabled();
    };
    QVERIFY(unavailable());
    QVERIFY(boxes_.shown.empty());
    stand_.inputs.answerNow(false);  // the server did not answer in time
    QCOMPARE(form_->InputStatus->text(), Text(msg::kNoDevice));
    QCOMPARE(boxes_.shown.back().text, Text(msg::kNoDevice));
    QVERIFY(form_->RecordingContents->isHidden());
    form_->KF1->trigger();
    QVERIFY(form_->RecordingContents->isVisible() && form_->InputStatus->isVisible());
    QVERIFY(unavailable());
    form_->KS1->trigger();
    form_->BeginRecording();
    QVERIFY(!form_->recording() && stand_.device.calls.empty());
    // An answer in time with an input: everything is there.
    tearDown();
    setUp();
    stand_.inputs.deferred = true;
    stand_.inputs.present = true;
    stand_.inputs.flags = 0xFFF;
    open();
    QVERIFY(unavailable());
    stand_.inputs.answerNow();
    QVERIFY(form_->BitBtn5->isEnabled() && form_->KS1->isEnabled() && form_->Button14->isEnabled());
    QVERIFY(form_->InputStatus->isHidden());
    QCOMPARE(form_->ComboBox2->count(), 20);
  }

  // The desktop's default input at the moment Record is pressed is recorded
  // (the menu then marks it) unless another is picked; the formats and
  // limits follow the pick.
  void theInputMenuChoosesWhatIsRecorded() {
    tearDown();
    setUp();
    stand_.inputs.inputs = {{"usb", "USB Mic"}, {"line", "Line In"}};
    stand_.inputs.defaultId = "line";
    stand_.inputs.flagsOf = {{"usb", mv::kCap11kMono8 | mv::kCap22kMono16}, {"line", 0x800}};
    open();
    const QList<QAction*> items = form_->KI1->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0]->text(), QStringLiteral("USB Mic"));
    QVERIFY(!items[0]->isChecked() && items[1]->isChecked());
    QCOMPARE(form_->input(), std::string("line"));
    QCOMPARE(form_->ComboBox2->count(), 2);  // 44.1 and 48 kHz, 16-bit stereo
    form_->SpinEdit3->setValue(1);
    form_->CheckBox1->setChecked(false);
    stand_.device.defaultInput = "usb";  // changed since the window looked
    form_->BitBtn5->click();
    QCOMPARE(stand_.device.input(), std::string("usb"));
    QCOMPARE(form_->input(), std::string("usb"));
    QVERIFY(form_->KI1->actions()[0]->isChecked() && !form_->KI1->actions()[1]->isChecked());
    QVERIFY(!form_->KI1->menuAction()->isEnabled());  // not while recording
    ticks(1);
    QVERIFY(form_->KI1->menuAction()->isEnabled());
    form_->KI1->actions()[0]->trigger();
    QCOMPARE(form_->input(), std::string("usb"));
    QVERIFY(form_->KI1->actions()[0]->isChecked() && !form_->KI1->actions()[1]->isChecked());
    QCOMPARE(form_->ComboBox2->count(), 2);
    QCOMPARE(form_->ComboBox2->itemText(0), QStringLiteral("16bit, Mono, 22kHz"));
    QCOMPARE(form_->ComboBox2->itemText(1), QStringLiteral("8bit, Mono, 11kHz"));
    // The limits follow the format of the new list: 1 GB at 44100 bytes/s.
    stand_.space.free = 3000000000;
    form_->CheckBox1->click();
    QCOMPARE(form_->SpinEdit2->maximum(), 59);
    QCOMPARE(form_->SpinEdit1->maximum(), static_cast<int>(mv::RoundHalfEven(1000000000, 44100) / 3600));
    boxes_.answers = {true};
    stand_.device.defaultInput = "line";  // a pick holds
    form_->BitBtn5->click();
    QCOMPARE(stand_.device.input(), std::string("usb"));
    QCOMPARE(mv::test::Get32(mv::test::ReadBytes(file("morvntmp.wav")), 24), 22050u);
  }

  // An input that takes 32-bit integers offers 24-bit labels after the
  // others; the length limits count three bytes a sample; a measurement
  // reads the samples behind the longer header, in 16-bit units; and the
  // cut that follows takes the recording as what it is.
  void aTwentyFourBitRecordingIsMeasuredAndCut() {
    tearDown();
    setUp();
    stand_.inputs.present = true;
    stand_.inputs.flags = mv::kCap22kStereo16 | mv::kCap48kStereo24 | mv::kCap96kMono24;
    // A second at 48 kHz: left 1000..1006, right -2000..-2010 in 16-bit
    // units, with a lowest byte that the file leaves out.
    Bytes captured;
    for (int i = 0; i < 48000; ++i) {
      mv::test::Put32(captured, static_cast<uint32_t>((1000 + i % 7) * 65536 + 0xAB));
      mv::test::Put32(captured, static_cast<uint32_t>(-(2000 + i % 11) * 65536 + 0xAB));
    }
    stand_.device.perTick = captured;
    open();
    QStringList labels;
    for (int i = 0; i < form_->ComboBox2->count(); ++i) labels << form_->ComboBox2->itemText(i);
    QCOMPARE(labels, (QStringList{"16bit, Stereo, 22kHz", "24bit, Stereo, 48kHz", "24bit, Mono, 96kHz"}));
    selectFormat("24bit, Stereo, 48kHz");
    stand_.space.free = 3000000000;  // a third each for recording, temporary and cut
    form_->CheckBox1->click();
    form_->CheckBox1->click();
    QCOMPARE(form_->SpinEdit1->maximum(), 0);
    QCOMPARE(form_->SpinEdit2->maximum(), static_cast<int>(mv::RoundHalfEven(1000000000, 288000) / 60));

    Bytes saved;
    connect(form_, &mv::TForm1::measurementSaved, this,
            [&](const QString& path) { saved = mv::test::ReadBytes(path.toStdString()); });
    QTimer::singleShot(0, this, [&] { windows_.measuring->Button1->click(); });
    form_->Button14->click();
    QCOMPARE(saved.size(), size_t{68 + 48000 * 6});
    const QLabel* shown[6] = {form_->Label29, form_->Label30, form_->Label37,
                              form_->Label38, form_->Label40, form_->Label41};
    const char* want[6] = {"1002", "-2004", "1006", "-2000", "1000", "-2010"};
    for (int i = 0; i < 6; ++i) QCOMPARE(shown[i]->text(), QString(want[i]));
    mv::MemoryStream in(saved);
    QCOMPARE(form_->SpinEdit7->value(), mv::AnalyseInput(in, 68, 2, 24).threshold());

    QDir().mkpath(dir("songs"));
    form_->Edit4->setText(dir("songs"));
    form_->CheckBox4->setChecked(false);  // the song as recorded, not corrected
    form_->SpinEdit3->setValue(1);
    form_->BitBtn5->click();
    ticks(1);
    QVERIFY(!form_->recording());
    QCOMPARE(form_->ComboBox3->currentIndex(), mv::kFormatCount);
    QCOMPARE(form_->ComboBox3->currentText(), QStringLiteral("24bit, Stereo, 48kHz"));
    const mv::WaveLayout rec = mv::ReadWaveLayout(file("morvntmp.wav"));
    QCOMPARE(rec.dataOffset, 68);
    QCOMPARE(rec.dataBytes, 48000 * 6);
    const Bytes recording = mv::test::ReadBytes(file("morvntmp.wav"));
    QVERIFY(Bytes(recording.begin() + 68, recording.begin() + 74) == (Bytes{0x00, 0xE8, 0x03, 0x00, 0x30, 0xF8}));
    const mv::WaveLayout piece = mv::ReadWaveLayout(file("songs/mv000001.wav"));
    QCOMPARE(piece.format, rec.format);
    const Bytes song = mv::test::ReadBytes(file("songs/mv000001.wav"));
    QVERIFY(Bytes(song.begin() + piece.dataOffset, song.end()) == Bytes(recording.begin() + 68, recording.end()));
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
  }

  // The meter follows what the input sends, many times a second, and a
  // sample at full scale turns its bar red and leaves a mark until the next
  // recording.
  void theMeterShowsTheLevelAndClipping() {
    form_->SpinEdit3->setValue(30);
    form_->CheckBox1->setChecked(false);
    stand_.device.perTick = {};
    form_->BitBtn5->click();
    mv::LevelMeter* meter = form_->Meter;
    QCOMPARE(meter->parentWidget(), form_->Panel3);
    QCOMPARE(meter->channels(), 2);
    QCOMPARE(meter->levelDb(0), mv::LevelMeter::kFloorDb);
    QVERIFY(!meter->clipped(0) && !meter->clipped(1));
    // A tone at half of full scale on the left, a quarter on the right.
    Bytes tone;
    for (int i = 0; i < 2205; ++i) {
      const double s = std::sin(i * 2 * M_PI / 22.05);
      mv::test::Put16(tone, static_cast<uint16_t>(static_cast<int16_t>(16384 * s)));
      mv::test::Put16(tone, static_cast<uint16_t>(static_cast<int16_t>(8192 * s)));
    }
    QElapsedTimer t;
    t.start();
    const int before = meter->updates();
    while (t.elapsed() < 1000) {
      stand_.device.deliver(tone);
      QTest::qWait(20);
    }
    QVERIFY2(meter->updates() - before >= 15, qPrintable(QString::number(meter->updates() - before)));
    // The held peak is the tone's; the bar falls a little between blocks.
    QVERIFY2(std::abs(meter->holdDb(0) - -6.02) < 0.05, qPrintable(QString::number(meter->holdDb(0))));
    QVERIFY2(std::abs(meter->holdDb(1) - -12.04) < 0.05, qPrintable(QString::number(meter->holdDb(1))));
    QVERIFY(meter->levelDb(0) > -9 && meter->levelDb(0) <= meter->holdDb(0));
    QVERIFY(!meter->hot(0) && !meter->clipped(0));
    const QImage quiet = meter->grab().toImage();
    auto barColour = [&](const QImage& img, int row, double dB) {
      return img.pixelColor(10 + static_cast<int>(mv::LevelMeter::Position(dB) * 104), row);
    };
    QCOMPARE(barColour(quiet, 5, -30), QColor(40, 200, 60));      // green under the left level
    QCOMPARE(barColour(quiet, 15, -20), QColor(40, 200, 60));     // and the right
    QCOMPARE(barColour(quiet, 15, -9), QColor(24, 24, 24));       // the right stops short of -9 dB
    // A square wave at full scale on the left.
    Bytes square;
    for (int i = 0; i < 2205; ++i) {
      mv::test::Put16(square, static_cast<uint16_t>(i / 50 % 2 ? 32767 : -32768));
      mv::test::Put16(square, 0);
    }
    stand_.device.deliver(square);
    QTest::qWait(100);
    QVERIFY(meter->hot(0) && meter->clipped(0) && !meter->clipped(1));
    QCOMPARE(meter->holdDb(0), 0.0);
    const QImage loud = meter->grab().toImage();
    QCOMPARE(barColour(loud, 5, -30), QColor(230, 30, 30));  // the bar is red
    QCOMPARE(loud.pixelColor(120, 5), QColor(230, 30, 30));  // the clip mark
    QCOMPARE(loud.pixelColor(120, 15), QColor(24, 24, 24));
    // Back to the tone: the bar turns green again, the mark stays.
    for (int i = 0; i < 30; ++i) {
      stand_.device.deliver(tone);
      QTest::qWait(40);
    }
    QVERIFY(!meter->hot(0) && meter->clipped(0));
    form_->BitBtn4->click();
    QVERIFY(meter->clipped(0));
    QCOMPARE(meter->grab().toImage().pixelColor(120, 5), QColor(230, 30, 30));
    // The next recording starts with a clean meter.
    boxes_.answers = {true};
    form_->BitBtn5->click();
    QVERIFY(!meter->clipped(0));
    form_->BitBtn4->click();
  }

  void aMonoRecordingHasOneBar() {
    selectFormat("16bit, Mono, 22kHz");
    form_->BitBtn5->click();
    QCOMPARE(form_->Meter->channels(), 1);
    stand_.device.deliver(mv::test::Repeat16(3277, 2000, 1));
    QTest::qWait(100);
    QVERIFY(std::abs(form_->Meter->holdDb(0) - -20) < 0.1);
    form_->BitBtn4->click();
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
