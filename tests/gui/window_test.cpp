// The window on real widgets (offscreen): start-up state, the controls where
// they are placed, menus, the cut page from source intake to completion (by
// button and by Enter), questions, cancel, the folder picker, the error
// report, the About box and Qt's standard buttons in Japanese.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStyleOptionViewItem>
#include <QTreeView>
#include <QScopeGuard>
#include <QHeaderView>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/BrowsDlg.h"
#include "app/cbfrm.h"
#include "app/cutfrm.h"
#include "app/file_dialogs.h"
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
  // What the command line writes into a folder for the same settings.
  std::vector<Bytes> cliPieces(const QStringList& args, const QString& folder) {
    QDir().mkpath(folder);
    runCli(args);
    return mv::test::Pieces(folder);
  }
  // A fresh folder as the cut's save folder.
  QString saveInto(const QString& name) {
    QDir().mkpath(dir(name));
    form_->Edit4->setText(dir(name));
    return dir(name);
  }
  // A source taken by the cut page, as a dropped file.
  void takeCutSource(const QString& name) {
    form_->KS2->trigger();
    drop({name});
  }
  // The controls whose choices are kept between runs, as texts.
  QStringList keptChoices() const {
    QStringList state{form_->Edit1->text(), form_->Edit4->text(), form_->Edit2->text(),
                      form_->ComboBox2->currentText(), form_->ComboBox3->currentText(),
                      form_->ComboBox4->currentText()};
    for (const QSpinBox* spin : {form_->SpinEdit1, form_->SpinEdit2, form_->SpinEdit3, form_->SpinEdit4,
                                 form_->SpinEdit5, form_->SpinEdit6, form_->SpinEdit7, form_->SpinEdit8})
      state << QString::number(spin->value());
    for (const QAbstractButton* box : std::initializer_list<const QAbstractButton*>{
             form_->CheckBox1, form_->CheckBox4, form_->RadioButton1, form_->RadioButton2})
      state << (box->isChecked() ? "on" : "off");
    return state;
  }
  // The windows again, on an input with every format, keeping their
  // choices in the store (none: nothing kept).
  void reopen(QSettings* store) {
    windows_ = {};
    stand_.inputs.present = true;
    stand_.inputs.flags = 0xFFF;
    mv::Services services = stand_.services();
    services.choices = store;
    open(services);
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

  // Every control at its place and size within its page or group box: no
  // style widens a button past its neighbour or its column, and the pages
  // are tall enough for their bottom buttons. Check boxes and radio buttons
  // may grow for their text, into nothing else.
  void controlsKeepTheirPlacesInsideTheirPages() {
    struct Placed {
      QWidget* widget;
      QRect place;
      bool growsForText = false;
    };
    mv::TForm1& f = *form_;
    const std::vector<Placed> placed = {
        {f.Panel2, {0, 0, 321, 145}},          {f.BitBtn1, {16, 116, 57, 21}},
        {f.BitBtn5, {256, 116, 57, 21}},       {f.Edit1, {80, 148, 241, 20}},
        {f.Button1, {320, 148, 65, 21}},       {f.SpinEdit1, {80, 172, 49, 21}},
        {f.SpinEdit3, {260, 172, 49, 21}},     {f.ComboBox2, {80, 196, 305, 20}},
        {f.Button14, {316, 224, 165, 21}},     {f.CheckBox1, {8, 248, 165, 17}, true},
        {f.CheckBox4, {8, 272, 265, 17}, true}, {f.GroupBox2, {312, 248, 169, 65}},
        {f.Edit3, {88, 8, 249, 20}},           {f.Button12, {336, 8, 73, 21}},
        {f.GroupBox1, {8, 36, 401, 145}},      {f.RadioButton1, {12, 16, 345, 17}, true},
        {f.SpinEdit7, {128, 36, 65, 21}},      {f.SpinEdit8, {268, 36, 69, 21}},
        {f.RadioButton2, {12, 92, 325, 17}, true}, {f.SpinEdit6, {292, 116, 49, 21}},
        {f.ComboBox3, {84, 188, 325, 20}},     {f.Edit4, {84, 216, 253, 20}},
        {f.Button13, {336, 216, 73, 21}},      {f.CheckBox6, {84, 246, 237, 17}, true},
        {f.Button11, {192, 292, 105, 25}},     {f.Button3, {344, 12, 81, 21}},
        {f.ListBox1, {12, 36, 465, 125}},      {f.Button4, {12, 160, 77, 25}},
        {f.Button5, {88, 160, 77, 25}},        {f.Button6, {164, 160, 77, 25}},
        {f.Button7, {240, 160, 77, 25}},       {f.Button8, {324, 160, 77, 25}},
        {f.Button9, {400, 160, 77, 25}},       {f.Edit2, {88, 196, 293, 20}},
        {f.Button2, {380, 196, 61, 21}},       {f.ComboBox4, {88, 224, 353, 20}},
        {f.CheckBox5, {88, 248, 221, 17}, true}, {f.Button10, {192, 292, 105, 25}},
    };
    for (QWidget* page : {f.TabSheet1, f.TabSheet2, f.TabSheet3}) {
      f.PageControl1->setCurrentWidget(page);
      QApplication::processEvents();
      for (const Placed& p : placed) {
        if (!page->isAncestorOf(p.widget)) continue;
        const QString name = p.widget->objectName();
        const QRect got = p.widget->geometry();
        if (p.growsForText) {
          QCOMPARE(got.topLeft(), p.place.topLeft());
          QCOMPARE(got.height(), p.place.height());
          QVERIFY2(got.width() >= p.place.width(), qPrintable(name));
        } else {
          QCOMPARE(std::pair(name, got), std::pair(name, p.place));
        }
        QWidget* container = p.widget->parentWidget();
        QVERIFY2(container->rect().contains(got), qPrintable(name));
        const QRect onPage(p.widget->mapTo(page, QPoint(0, 0)), got.size());
        QVERIFY2(page->rect().contains(onPage), qPrintable(name));
      }
    }
  }

  // A group box's title sits on its frame line, so that neither the line nor
  // the title runs through a control inside: where each control (labels
  // aside, whose boxes are taller than their text) stands, the box alone
  // paints only its background.
  void groupBoxFramesCrossNoControl() {
    for (QGroupBox* box : {form_->GroupBox1, form_->GroupBox2}) {
      QImage image(box->size(), QImage::Format_RGB32);
      box->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
      const QRgb background = box->palette().color(QPalette::Window).rgb();
      int line = -1;  // the frame's top line, left of the title
      for (int y = 0; y < image.height() && line < 0; ++y)
        if (image.pixel(2, y) != background) line = y;
      QVERIFY(line >= 0);
      for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(line < child->y(), qPrintable(child->objectName()));
        if (qobject_cast<QLabel*>(child)) continue;
        const QRect r = child->geometry();
        for (int y = r.top(); y <= r.bottom(); ++y)
          for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixel(x, y) != background)
              QFAIL(qPrintable(QString("%1 crossed at %2,%3").arg(child->objectName()).arg(x).arg(y)));
      }
    }
  }

  void withoutAnInputTheRecordingPageIsEmptyUntilChosen() {
    QCOMPARE(boxes_.shown.size(), size_t{1});
    QCOMPARE(lastBox(), std::tuple(Text(msg::kNoDevice), Text(msg::kDeviceErrorCaption), mv::Icon::Stop));
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
    saveInto("win");
    form_->SpinEdit8->setValue(200);
    form_->Label29->setText("5");
    form_->Label30->setText("-7");
    QTest::mouseClick(form_->Button11, Qt::LeftButton);
    const std::vector<Bytes> got = mv::test::Pieces(dir("win"));
    QCOMPARE(got.size(), size_t{3});
    QCOMPARE(got, cliPieces({"cut", src, "--out", dir("cli"), "--run", "200", "--zero", "5,-7"}, dir("cli")));
    QCOMPARE(lastBox(), std::tuple(Text(msg::kCutDone), Text(msg::kCutDoneCaption), mv::Icon::Information));
    QVERIFY(form_->isEnabled());
    QVERIFY(windows_.cutting->isHidden());
    QVERIFY(windows_.cutting->Label1->text().isEmpty());
    // Correction off: the captions are not read.
    form_->CheckBox4->click();
    form_->Label29->setText("not a number");
    QTest::mouseClick(form_->Button11, Qt::LeftButton);
    QCOMPARE(boxes_.shown.back().caption, Text(msg::kCutDoneCaption));
    QCOMPARE(mv::test::Pieces(dir("win"))[0], cliPieces({"cut", src, "--out", dir("plain"), "--run", "200"}, dir("plain"))[0]);
  }

  // Enter presses the default button, from an edit box or a spin box whose
  // typed value is taken first; a focused push button takes Enter itself.
  void enterStartsTheCutAsItsButtonDoes() {
    const QString src = tape("tape.wav");
    takeCutSource(src);
    form_->SpinEdit8->setValue(200);
    auto cutInto = [&](const QString& folder, auto press) {
      saveInto(folder);
      press();
      return mv::test::Pieces(dir(folder));
    };
    auto focus = [&](QWidget* w) {
      form_->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(form_));
      w->setFocus();
      QVERIFY(w->hasFocus());
    };
    const std::vector<Bytes> byButton =
        cutInto("button", [&] { QTest::mouseClick(form_->Button11, Qt::LeftButton); });
    QCOMPARE(byButton.size(), size_t{3});
    focus(form_->Edit3);
    QCOMPARE(cutInto("edit", [&] { QTest::keyClick(form_->Edit3, Qt::Key_Return); }), byButton);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
    // 200 typed over 132300, then Enter on the keypad.
    form_->SpinEdit8->setValue(132300);
    focus(form_->SpinEdit8);
    form_->SpinEdit8->selectAll();
    QTest::keyClicks(form_->SpinEdit8, "200");
    QCOMPARE(cutInto("spin", [&] { QTest::keyClick(form_->SpinEdit8, Qt::Key_Enter, Qt::KeypadModifier); }), byButton);
    // The source's browse button has the focus: Enter opens its dialog, no cut.
    focus(form_->Button12);
    QTimer::singleShot(0, this, [] {
      if (QWidget* d = QApplication::activeModalWidget()) d->close();
    });
    QCOMPARE(cutInto("browse", [&] { QTest::keyClick(form_->Button12, Qt::Key_Return); }), std::vector<Bytes>{});
  }

  void cutIntoEqualLengthsWritesWhatTheCommandLineWrites() {
    const QString src = tape("tape.wav", 1);
    takeCutSource(src);
    form_->RadioButton2->click();
    QVERIFY(form_->SpinEdit4->isEnabled() && !form_->SpinEdit7->isEnabled());
    form_->SpinEdit5->setValue(0);
    QCOMPARE(form_->SpinEdit6->value(), 1);
    saveInto("win");
    form_->CheckBox6->setChecked(true);
    form_->KS3->trigger();
    const std::vector<Bytes> got = mv::test::Pieces(dir("win"));
    QCOMPARE(got.size(), size_t{1});
    QVERIFY(form_->Edit3->text().isEmpty());  // the source was deleted
    tape("tape.wav", 1);
    QCOMPARE(got, cliPieces({"split", src, "--out", dir("cli"), "--length", "0:00:01"}, dir("cli")));
  }

  void overwriteQuestionYesAndNo() {
    const QString src = tape("tape.wav");
    takeCutSource(src);
    saveInto("out");
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
    saveInto("out");
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
    QCOMPARE(lastBox(), std::tuple(Text(msg::kCannotOpen, dir("none.raw")) + ".", Text(msg::kAppTitle), mv::Icon::Stop));
    QVERIFY(form_->isEnabled() && windows_.cutting->isHidden());
    // A format the intake refuses: its own box, and nothing changes.
    mv::test::WriteBytes(file("bad.wav"), mv::test::MakeWav(2, 7000, 16, {}));
    form_->Edit3->setText("keep");
    takeCutSource(dir("bad.wav"));
    QCOMPARE(lastBox(), std::tuple(Text(msg::kUnsupported), Text(msg::kErrorCaption), mv::Icon::Stop));
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

  // `morvane FILE...`: one file is the cut's source, several join the list
  // in their order; a missing or unsupported file is told as a drop tells it.
  void filesNamedOnTheCommandLineOpenAsDropped() {
    const QString a = wav("a.wav", 1, 22050, 8), b = wav("b.wav", 2, 44100, 16);
    mv::test::WriteBytes(file("x.raw"), Bytes(8, 0));
    // As the program calls it once the window is up.
    auto openFiles = [&](const QStringList& names) { form_->Guarded([&] { form_->openFiles(names); }); };
    boxes_ = {};
    openFiles({a});
    QCOMPARE(form_->PageControl1->currentWidget(), form_->TabSheet2);
    QCOMPARE(form_->Edit3->text(), a);
    QCOMPARE(form_->ComboBox3->currentIndex(), 3 + 6 + 12);
    openFiles({b, dir("x.raw"), a});
    QCOMPARE(form_->PageControl1->currentWidget(), form_->TabSheet3);
    QStringList listed;
    for (int i = 0; i < form_->ListBox1->count(); ++i) listed << form_->ListBox1->item(i)->text();
    QCOMPARE(listed, (QStringList{b, dir("x.raw"), a}));
    QCOMPARE(boxes_.shown.size(), std::size_t{1});  // a's other format, answered Yes

    mv::test::WriteBytes(file("bad.wav"), mv::test::MakeWav(2, 7000, 16, {}));
    for (const QStringList& names : {QStringList{dir("gone.wav")}, QStringList{dir("bad.wav")},
                                     QStringList{dir("song.mp3")}, QStringList{a, dir("gone.wav")},
                                     QStringList{dir("bad.wav"), b}}) {
      const bool one = names.size() == 1;
      auto state = [&] { return std::pair(form_->Edit3->text(), form_->ListBox1->count()); };
      form_->Edit3->setText("keep");
      form_->ListBox1->clear();
      boxes_ = {};
      openFiles(names);
      const auto opened = state();
      const std::vector<mv::test::Shown> told = boxes_.shown;
      form_->Edit3->setText("keep");
      form_->ListBox1->clear();
      boxes_ = {};
      (one ? form_->KS2 : form_->K1)->trigger();
      drop(names);
      QCOMPARE(opened, state());
      // An unsupported name goes by a drop without a word, but not the
      // command line: the desktop offers the window any WAVE file.
      if (names.first().endsWith(".mp3")) {
        QVERIFY(boxes_.shown.empty());
        QCOMPARE(told.size(), std::size_t{1});
        QCOMPARE(told[0].text, Text(msg::kNotTakeableName, dir("song.mp3")));
        continue;
      }
      QCOMPARE(told.size(), boxes_.shown.size());
      for (std::size_t i = 0; i < told.size(); ++i) QCOMPARE(told[i].text, boxes_.shown[i].text);
      QVERIFY(!told.empty());
    }
  }

  // The choices of one run are there in the next; the delete options are not.
  void choicesAreKeptBetweenRuns() {
    const std::unique_ptr<QSettings> store = mv::ChoicesStore();
    QCOMPARE(store->fileName(), qEnvironmentVariable("XDG_CONFIG_HOME") + "/morvane/morvane.conf");
    store->clear();
    reopen(store.get());
    QDir().mkpath(dir("rec"));
    QDir().mkpath(dir("out"));
    form_->Edit1->setText(dir("rec"));
    form_->Edit4->setText(dir("out"));
    form_->Edit2->setText(dir("out/all.wav"));
    form_->ComboBox2->setCurrentIndex(form_->ComboBox2->count() - 1);
    form_->ComboBox3->setCurrentIndex(5);
    form_->ComboBox4->setCurrentIndex(7);
    form_->SpinEdit1->setValue(1);
    form_->SpinEdit2->setValue(20);
    form_->SpinEdit3->setValue(30);
    form_->CheckBox1->setChecked(false);
    form_->CheckBox4->setChecked(false);
    form_->RadioButton2->setChecked(true);
    form_->SpinEdit4->setValue(1);
    form_->SpinEdit5->setValue(2);
    form_->SpinEdit6->setValue(3);
    form_->SpinEdit7->setValue(250);
    form_->SpinEdit8->setValue(5000);
    form_->CheckBox5->setChecked(true);
    form_->CheckBox6->setChecked(true);
    const QStringList chosen = keptChoices();
    QVERIFY(form_->close());
    reopen(store.get());
    QCOMPARE(keptChoices(), chosen);
    QVERIFY(!form_->CheckBox5->isChecked() && !form_->CheckBox6->isChecked());
    QVERIFY(form_->SpinEdit4->isEnabled() && !form_->SpinEdit7->isEnabled());
    // Without an input the kept recording format stays for the next run.
    stand_.inputs = {};
    windows_ = {};
    mv::Services noInput = stand_.services();
    noInput.choices = store.get();
    open(noInput);
    QVERIFY(form_->close());
    reopen(store.get());
    QCOMPARE(keptChoices(), chosen);
  }

  // A kept folder that is gone or a value that does not fit leaves that
  // control as it starts without kept choices.
  void staleOrBadChoicesLeaveTheDefaults() {
    reopen(nullptr);
    const QStringList defaults = keptChoices();
    const std::unique_ptr<QSettings> store = mv::ChoicesStore();
    store->clear();
    const std::pair<const char*, QVariant> bad[] = {
        {"recording/folder", dir("gone")}, {"cut/folder", QStringList{temp_.path(), temp_.path()}},
        {"join/output", dir("gone/all.wav")}, {"recording/format", "32bit, 7ch"}, {"cut/format", 24},
        {"join/format", -1}, {"recording/hours", "many"}, {"recording/minutes", 60}, {"recording/seconds", "1e1"},
        {"recording/cutAfter", "maybe"}, {"recording/correct", 0}, {"cut/equalLengths", "yes"},
        {"cut/threshold", 65537}, {"cut/runLength", ""}, {"cut/hours", 216}, {"cut/minutes", -1},
        {"cut/seconds", " 5 x"}};
    for (const auto& [key, value] : bad) store->setValue(key, value);
    store->sync();
    reopen(store.get());
    QCOMPARE(keptChoices(), defaults);
    QVERIFY(boxes_.shown.empty());
  }

  // A menu program is started when installed; when none is, a box says
  // which were looked for.
  void menuProgramsStartOrSayWhatIsMissing_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("missing");
    QTest::newRow("volume") << "KV1" << "pwvucontrol"
                            << Text(msg::kNoVolumeControl,
                                    "pavucontrol, pwvucontrol, gnome-control-center, kmix, xfce4-mixer");
    QTest::newRow("cd player") << "CDPlayerC1" << "vlc" << Text(msg::kNoCdPlayer, "kscd, gnome-cd, vlc");
  }
  void menuProgramsStartOrSayWhatIsMissing() {
    QFETCH(QString, item);
    QFETCH(QString, program);
    QFETCH(QString, missing);
    struct KeepPath {
      QByteArray was = qgetenv("PATH");
      ~KeepPath() { qputenv("PATH", was); }
    } keep;
    QDir().mkpath(dir("bin"));
    qputenv("PATH", dir("bin").toLocal8Bit());
    auto* action = form_->findChild<QAction*>(item);
    QVERIFY(action);
    action->trigger();
    QCOMPARE(lastBox(), std::tuple(missing, Text(msg::kAppTitle), mv::Icon::Information));
    QFile script(dir("bin/" + program));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\necho \"$@\" > '" + dir("started") + "'\n").toLocal8Bit());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    boxes_ = {};
    action->trigger();
    QTRY_VERIFY(QFile::exists(dir("started")));
    QVERIFY(boxes_.shown.empty());
  }

  // Qt's file dialogs speak Japanese down to their dates, whatever the
  // desktop's language, and open wide enough for every column.
  void fileDialogsShowEveryColumnInJapanese_data() {
    QTest::addColumn<QString>("button");
    for (const char* b : {"Button12", "Button3", "Button2", "Button13"}) QTest::newRow(b) << b;
  }
  void fileDialogsShowEveryColumnInJapanese() {
    QFETCH(QString, button);
    wav("a.wav", 2, 44100, 16);
    QDir().mkpath(dir("folder"));
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QStringList seen;
    QTimer::singleShot(0, this, [&] {
      auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(d);
      auto close = qScopeGuard([d] { d->reject(); });
      d->setDirectory(temp_.path());
      auto* view = d->findChild<QTreeView*>("treeView");
      QVERIFY(view && view->isVisible());
      QCOMPARE(view->locale(), japanese);
      QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) > 0);
      QTest::qWait(50);
      QHeaderView* header = view->header();
      for (int column = 1; column <= 3; ++column)
        QVERIFY2(header->sectionSize(column) >= static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column), qPrintable(QString::number(column)));
      QVERIFY(header->length() <= view->viewport()->width());
      QVERIFY(header->sectionSize(0) >= 150);
      for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        const QModelIndex date = view->model()->index(row, 3, view->rootIndex());
        QStyleOptionViewItem option;
        option.locale = view->locale();
        auto* delegate = dynamic_cast<mv::FileDetailsDelegate*>(view->itemDelegateForIndex(date));
        QVERIFY(delegate);
        delegate->initStyleOption(&option, date);
        const auto* files = qobject_cast<const QFileSystemModel*>(date.model());
        QVERIFY(files);
        QCOMPARE(option.text, japanese.toString(files->lastModified(date), QLocale::ShortFormat));
        seen << files->fileName(date.siblingAtColumn(0));
      }
    });
    form_->findChild<QPushButton*>(button)->click();
    QVERIFY(seen.contains("folder"));
  }

  // Qt's own buttons and dialogs speak Japanese, as the window does.
  void standardButtonsAndDialogsSpeakJapanese() {
    mv::QtMessageBoxes boxes(form_);
    QStringList texts;
    QTimer::singleShot(0, this, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box);
      texts << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
      box->button(QMessageBox::No)->click();
    });
    QVERIFY(!boxes.show(Text(msg::kOverwritePieces), Text(msg::kOverwriteCaption), mv::MessageBoxes::Buttons::YesNo,
                        mv::Icon::Exclamation));
    QCOMPARE(texts, (QStringList{"はい(&Y)", "いいえ(&N)"}));
    QStringList labels;
    QTimer::singleShot(0, this, [&] {
      auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(d);
      labels << d->findChild<QLabel*>("lookInLabel")->text() << d->findChild<QLabel*>("fileNameLabel")->text();
      d->reject();
    });
    form_->Button12->click();
    QCOMPARE(labels, (QStringList{"アドレス:", "ファイル名(&N):"}));
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
  // The choices kept between runs, and Qt's own dialog settings, in a
  // folder of the test's own.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_test.moc"
