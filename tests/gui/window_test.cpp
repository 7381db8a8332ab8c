// The window on real widgets (offscreen): start-up state, menus, the cut page
// from source intake to completion, questions, cancel, the folder picker, the
// error report and the About box.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/BrowsDlg.h"
#include "app/cbfrm.h"
#include "app/cutfrm.h"
#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/shlabout.h"
#include "app/startup.h"
#include "record/audio_inputs.h"
#include "tests/gui/fixture.h"
#include "tests/support.h"

using mv::test::Bytes;
using mv::test::Text;
namespace msg = mv::msg;

class WindowTest : public QObject, mv::test::WindowFixture {
  Q_OBJECT

  // Three songs of 16-bit stereo, 300 loud frames apart by 250 quiet ones.
  QString tape(const QString& name, int channels = 2) {
    const Bytes loud = mv::test::Repeat16(4000, 300, channels), quiet = mv::test::Repeat16(3, 250, channels);
    return wav(name, channels, 22050, 16, mv::test::Concat({loud, quiet, loud, quiet, loud}));
  }
  // The pieces a cut wrote into a folder, by name.
  std::vector<Bytes> pieces(const QString& folder) {
    std::vector<Bytes> out;
    for (const std::string& name : mv::test::FileNames(mv::ToPath(folder), "mv"))
      out.push_back(mv::test::ReadBytes(mv::ToPath(folder) + "/" + name));
    return out;
  }
  // What the command line writes into a folder for the same settings.
  std::vector<Bytes> cliPieces(const QStringList& args, const QString& folder) {
    QDir().mkpath(folder);
    runCli(args);
    return pieces(folder);
  }
  // A source taken by the cut page, as a dropped file.
  void takeCutSource(const QString& name) {
    form_->KS2->trigger();
    drop({name});
  }

 private slots:
  void init() {
    setUp();
    open();
  }
  void cleanup() { tearDown(); }

  void startsWithTheDefaultsJobsRead() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("Ambry Recorder - Morvane"));
    QCOMPARE(form_->Panel1->size(), QSize(500, 349));
    QVERIFY(!(form_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form_->minimumSize(), form_->maximumSize());
    QCOMPARE(form_->PageControl1->currentWidget(), form_->TabSheet1);
    QCOMPARE(form_->Edit1->text(), temp_.path());
    QCOMPARE(form_->Edit4->text(), temp_.path());
    QCOMPARE(form_->Edit3->text(), temp_.path() + "/morvntmp.wav");
    QVERIFY(form_->Edit1->isReadOnly() && form_->Edit4->isReadOnly());
    QCOMPARE(form_->ComboBox3->count(), 24);
    QCOMPARE(form_->ComboBox3->currentText(), QStringLiteral("16bit, Stereo, 44.1kHz"));
    QCOMPARE(form_->ComboBox4->itemText(6), QStringLiteral("16bit, Mono,  48kHz"));
    QCOMPARE(form_->ComboBox4->currentIndex(), 1);
    QVERIFY(form_->RadioButton1->isChecked() && !form_->RadioButton2->isChecked());
    QCOMPARE(form_->SpinEdit7->value(), 100);
    QCOMPARE(form_->SpinEdit7->maximum(), 65536);
    QCOMPARE(form_->SpinEdit8->value(), 132300);
    QCOMPARE(form_->SpinEdit8->maximum(), 441000);
    QCOMPARE(form_->SpinEdit4->value(), 0);
    QCOMPARE(form_->SpinEdit4->maximum(), 215);
    QCOMPARE(form_->SpinEdit5->value(), 1);
    QCOMPARE(form_->SpinEdit6->value(), 0);
    QVERIFY(!form_->SpinEdit4->isEnabled() && !form_->Label16->isEnabled());
    QVERIFY(form_->SpinEdit7->isEnabled());
    QVERIFY(form_->CheckBox1->isChecked() && form_->CheckBox4->isChecked());
    QVERIFY(!form_->CheckBox5->isChecked() && !form_->CheckBox6->isChecked());
    QCOMPARE(form_->Label29->text(), QStringLiteral("0"));
    QCOMPARE(form_->Label30->text(), QStringLiteral("0"));
    QCOMPARE(form_->Label33->text(), QStringLiteral("00:00:00"));
    // No input here: nothing to record from.
    QVERIFY(!form_->BitBtn5->isEnabled() && !form_->BitBtn4->isEnabled() && !form_->BitBtn1->isEnabled());
    QVERIFY(!form_->Timer1->isActive() && !form_->Timer2->isActive());
    QCOMPARE(form_->ListBox1->count(), 0);
    QVERIFY(form_->Edit2->text().isEmpty());
    QVERIFY(form_->Button11->isDefault());
    QCOMPARE(form_->Button11->text(), QStringLiteral("切り出し開始(&B)"));
    QCOMPARE(form_->KS1->text(), QStringLiteral("録音開始(&S)"));
    // Every control answers to its designer name.
    const std::vector<std::pair<QObject*, const char*>> named = {
        {form_->Edit3, "Edit3"},           {form_->SpinEdit8, "SpinEdit8"},
        {form_->Label29, "Label29"},       {form_->TrackBar951, "TrackBar951"},
        {form_->KS3, "KS3"},               {form_->CDPlayerC1, "CDPlayerC1"},
        {form_->SpeedButton3, "SpeedButton3"}, {form_->ComboBox4, "ComboBox4"}};
    for (auto [w, name] : named) QCOMPARE(form_->findChild<QObject*>(name), w);
    QCOMPARE(windows_.cutting->windowTitle(), QStringLiteral("分割中..."));
    QVERIFY(windows_.cutting->isHidden());
  }

  void withoutAnInputTheRecordingPageIsEmptyUntilChosen() {
    QCOMPARE(boxes_.shown.size(), size_t{1});
    QCOMPARE(boxes_.shown[0].text, Text(msg::kNoDevice));
    QCOMPARE(boxes_.shown[0].caption, Text(msg::kDeviceErrorCaption));
    QCOMPARE(boxes_.shown[0].icon, mv::Icon::Stop);
    QVERIFY(form_->RecordingContents->isHidden());
    QCOMPARE(form_->ComboBox2->count(), 0);
    form_->KF1->trigger();
    QVERIFY(form_->RecordingContents->isVisible());
  }

  void anInputOffersItsFormatsSorted() {
    stand_.inputs.present = true;
    stand_.inputs.flags = 0x80 | 0x800;  // 16-bit stereo at 22.05 and 44.1 kHz
    open();
    QVERIFY(boxes_.shown.empty());
    QCOMPARE(form_->ComboBox2->count(), 4);
    QCOMPARE(form_->ComboBox2->currentText(), QStringLiteral("16bit, Stereo, 22kHz"));
    QCOMPARE(form_->ComboBox2->itemText(3), QStringLiteral("16bit, Stereo, 48kHz"));
    QVERIFY(form_->RecordingContents->isVisible());
  }

  void menusSwitchPages() {
    form_->KS2->trigger();
    QCOMPARE(form_->PageControl1->currentWidget(), form_->TabSheet2);
    form_->K1->trigger();
    QCOMPARE(form_->PageControl1->currentWidget(), form_->TabSheet3);
    form_->KF1->trigger();
    QCOMPARE(form_->PageControl1->currentWidget(), form_->TabSheet1);
    // Starting a cut from the menu shows the cut page first.
    form_->Edit3->clear();
    form_->K1->trigger();
    form_->KS3->trigger();
    QCOMPARE(form_->PageControl1->currentWidget(), form_->TabSheet2);
    QCOMPARE(boxes_.shown.size(), size_t{1});  // only the start-up box
  }

  void cutAtSilencesWritesWhatTheCommandLineWrites() {
    const QString src = tape("tape.wav");
    form_->ComboBox3->setCurrentIndex(0);
    takeCutSource(src);
    QCOMPARE(form_->Edit3->text(), src);
    QCOMPARE(form_->ComboBox3->currentText(), QStringLiteral("16bit, Stereo, 22kHz"));
    QDir().mkpath(dir("win"));
    form_->Edit4->setText(dir("win"));
    form_->SpinEdit8->setValue(200);
    form_->Label29->setText("5");
    form_->Label30->setText("-7");
    QTest::mouseClick(form_->Button11, Qt::LeftButton);
    const std::vector<Bytes> got = pieces(dir("win"));
    QCOMPARE(got.size(), size_t{3});
    QCOMPARE(got, cliPieces({"cut", src, "--out", dir("cli"), "--run", "200", "--zero", "5,-7"}, dir("cli")));
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kCutDoneCaption));
    QCOMPARE(boxes_.shown.back().icon, mv::Icon::Information);
    QVERIFY(form_->isEnabled());
    QVERIFY(windows_.cutting->isHidden());
    QVERIFY(windows_.cutting->Label1->text().isEmpty());
    // Correction off: the captions are not read.
    form_->CheckBox4->click();
    form_->Label29->setText("not a number");
    QTest::mouseClick(form_->Button11, Qt::LeftButton);
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kCutDoneCaption));
    QCOMPARE(pieces(dir("win"))[0], cliPieces({"cut", src, "--out", dir("plain"), "--run", "200"}, dir("plain"))[0]);
  }

  void cutIntoEqualLengthsWritesWhatTheCommandLineWrites() {
    const QString src = tape("tape.wav", 1);
    takeCutSource(src);
    form_->RadioButton2->click();
    QVERIFY(form_->SpinEdit4->isEnabled() && !form_->SpinEdit7->isEnabled());
    form_->SpinEdit5->setValue(0);
    QCOMPARE(form_->SpinEdit6->value(), 1);
    QDir().mkpath(dir("win"));
    form_->Edit4->setText(dir("win"));
    form_->CheckBox6->setChecked(true);
    form_->KS3->trigger();
    const std::vector<Bytes> got = pieces(dir("win"));
    QCOMPARE(got.size(), size_t{1});
    QVERIFY(form_->Edit3->text().isEmpty());  // the source was deleted
    tape("tape.wav", 1);
    QCOMPARE(got, cliPieces({"split", src, "--out", dir("cli"), "--length", "0:00:01"}, dir("cli")));
  }

  void overwriteQuestionYesAndNo() {
    const QString src = tape("tape.wav");
    takeCutSource(src);
    QDir().mkpath(dir("out"));
    form_->Edit4->setText(dir("out"));
    form_->SpinEdit8->setValue(200);
    for (int n : {1, 2, 3, 4, 5}) mv::test::WriteBytes(file(QString("out/mv00000%1.wav").arg(n)), {9});
    boxes_.answers = {false};
    form_->KS3->trigger();
    QCOMPARE(boxes_.shown.back().text, Text(msg::kOverwritePieces));
    QCOMPARE(boxes_.shown.back().buttons, mv::MessageBoxes::Buttons::YesNo);
    QCOMPARE(mv::test::ReadBytes(file("out/mv000001.wav")), Bytes{9});
    boxes_.answers = {true};
    form_->KS3->trigger();
    QVERIFY(mv::test::IsFinishedWave(file("out/mv000003.wav")));
    QCOMPARE(mv::test::ReadBytes(file("out/mv000004.wav")), Bytes{9});
  }

  void cancelAfterABlockLeavesFinishedFiles_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("button") << false;
    QTest::newRow("escape") << true;
  }
  void cancelAfterABlockLeavesFinishedFiles() {
    QFETCH(bool, escape);
    mv::test::WriteBytes(file("long.raw"), mv::test::Repeat16(4000, 50000, 2));
    form_->Edit3->setText(dir("long.raw"));
    QDir().mkpath(dir("out"));
    form_->Edit4->setText(dir("out"));
    form_->SpinEdit8->setValue(1000);  // 50 blocks
    bool busySeen = false;
    mv::TForm4* progress = windows_.cutting.get();
    connect(progress->ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) {
      busySeen = !form_->isEnabled() && progress->isVisible();
      if (v != 10) return;
      if (escape)
        QTimer::singleShot(0, progress, [progress] { QTest::keyClick(progress, Qt::Key_Escape); });
      else
        QTimer::singleShot(0, progress->Button1, &QPushButton::click);
    });
    form_->KS3->trigger();
    QVERIFY(busySeen);
    QCOMPARE(form_->CancelRequested, -1);
    const Bytes song = mv::test::ReadBytes(file("out/mv000001.wav"));
    QCOMPARE(song.size(), size_t{44 + 5 * 4000});  // five blocks of 1000 frames
    QVERIFY(mv::test::IsFinishedWave(file("out/mv000001.wav")));
    QCOMPARE(boxes_.shown.size(), size_t{1});  // no completion message
    QVERIFY(form_->isEnabled() && progress->isHidden());
    // Between jobs nobody listens, and the next job starts from "go on".
    form_->CancelRequested = 0;
    QTest::keyClick(progress, Qt::Key_Escape);
    QCOMPARE(form_->CancelRequested, 0);
    form_->CancelRequested = -1;
    form_->SpinEdit8->setValue(200000);
    form_->KS3->trigger();
    QCOMPARE(form_->CancelRequested, 0);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
  }

  void secondsNeverLetThePieceReachZero() {
    form_->RadioButton2->click();
    form_->SpinEdit5->setValue(0);
    QCOMPARE(form_->SpinEdit6->value(), 1);
    QCOMPARE(form_->SpinEdit6->minimum(), 1);
    form_->SpinEdit4->setValue(1);
    QCOMPARE(form_->SpinEdit6->minimum(), 0);
    form_->SpinEdit6->setValue(0);
    QCOMPARE(form_->SpinEdit6->value(), 0);
    form_->SpinEdit4->setValue(0);
    QCOMPARE(form_->SpinEdit6->value(), 1);
  }

  void errorsAreReportedWithTheirRules() {
    form_->Edit3->setText(dir("none.raw"));
    form_->KS3->trigger();
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCannotOpen, dir("none.raw")) + ".");
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kAppTitle));
    QCOMPARE(boxes_.shown.back().icon, mv::Icon::Stop);
    QVERIFY(form_->isEnabled() && windows_.cutting->isHidden());
    // A format the intake refuses: its own box, and nothing changes.
    mv::test::WriteBytes(file("bad.wav"), mv::test::MakeWav(2, 8000, 16, {}));
    form_->Edit3->setText("keep");
    takeCutSource(dir("bad.wav"));
    QCOMPARE(boxes_.shown.back().text, Text(msg::kUnsupported));
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kErrorCaption));
    QCOMPARE(form_->Edit3->text(), QStringLiteral("keep"));
    // Other files are taken as they are.
    takeCutSource(dir("x.raw"));
    QCOMPARE(form_->Edit3->text(), dir("x.raw"));
  }

  void folderPickerDropsTheTrailingSlash() {
    auto pick = [&](const QString& folder) {
      QMetaObject::Connection c = connect(form_->BrowseDialog2, &mv::TBrowseDialog::opened, this,
                                          [folder](QFileDialog* d) {
                                            d->setDirectory(folder);
                                            QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
                                          });
      form_->Button13->click();
      disconnect(c);
    };
    QDir().mkpath(dir("music"));
    pick(dir("music"));
    QCOMPARE(form_->Edit4->text(), dir("music"));
    pick("/");
    QCOMPARE(form_->Edit4->text(), QString());
    // Cancel leaves the text.
    form_->Edit4->setText("before");
    QMetaObject::Connection c = connect(form_->BrowseDialog2, &mv::TBrowseDialog::opened, this,
                                        [](QFileDialog* d) { QMetaObject::invokeMethod(d, "reject", Qt::QueuedConnection); });
    form_->Button13->click();
    disconnect(c);
    QCOMPARE(form_->Edit4->text(), QStringLiteral("before"));
  }

  void aboutBoxShowsItsTexts() {
    mv::TShellAboutDialog& about = *form_->ShellAboutDialog1;
    QString title, first, other;
    QMetaObject::Connection c = connect(&about, &mv::TShellAboutDialog::opened, this, [&](QDialog* d) {
      title = d->windowTitle();
      first = d->findChild<QLabel*>("AppName")->text();
      other = d->findChild<QLabel*>("OtherText")->text();
      d->accept();
    });
    form_->About1->trigger();
    disconnect(c);
    QCOMPARE(title, QStringLiteral("Version Information"));
    QCOMPARE(first, Text(msg::kVersion));
    QCOMPARE(other, "Created by " + about.Creator + "," + about.DateStr + "\n" + about.Comment);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
