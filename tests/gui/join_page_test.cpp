// The join page on real widgets (offscreen): batches by dialog (typed names
// too) and by drop, the format question, refusals, the list commands, and
// the join run, by button and by Enter.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QMessageBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QScopeGuard>
#include <QTimer>

#include "app/cbfrm.h"
#include "app/mvfrm.h"
#include "app/startup.h"
#include "tests/gui/fixture.h"
#include "tests/support.h"

using mv::test::Bytes;
using mv::test::Text;
namespace msg = mv::msg;

class JoinPageTest : public QObject, mv::test::WindowFixture {
  Q_OBJECT

  QStringList entries() const {
    QStringList out;
    for (int i = 0; i < form_->ListBox1->count(); ++i) out << form_->ListBox1->item(i)->text();
    return out;
  }
  void list(const QStringList& names, int selected) {
    form_->ListBox1->clear();
    form_->ListBox1->addItems(names);
    if (selected >= 0) form_->ListBox1->setCurrentRow(selected);
  }
  int selected() const {
    const int r = form_->ListBox1->currentRow();
    return r >= 0 && form_->ListBox1->item(r)->isSelected() ? r : -1;
  }

 private slots:
  void init() {
    setUp();
    open();
    boxes_.shown.clear();  // the no-device box
    form_->K1->trigger();
  }
  void cleanup() { tearDown(); }

  void dialogBatchWithADifferentFormatAsksFirst() {
    const QString a = wav("a.wav", 2, 44100, 16), b = wav("b.wav", 2, 44100, 16), c = wav("c.wav", 1, 22050, 8);
    for (bool yes : {false, true}) {
      form_->ListBox1->clear();
      form_->ComboBox4->setCurrentIndex(1);
      boxes_.answers = {yes};
      QTimer::singleShot(0, this, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        d->setDirectory(dir());
        d->findChild<QLineEdit*>("fileNameEdit")->setText("\"a.wav\" \"b.wav\" \"c.wav\"");
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
      });
      form_->Button3->click();
      QCOMPARE(lastBox(), std::tuple(Text(msg::kDifferentFormat), Text(msg::kDifferentFormatCaption), mv::Icon::Exclamation));
      if (yes) {
        QCOMPARE(entries(), (QStringList{a, b, c}));
        QCOMPARE(form_->ComboBox4->currentText(), QStringLiteral("8bit, Mono,  22kHz"));
      } else {
        QCOMPARE(entries(), (QStringList{a, b}));
        QCOMPARE(form_->ComboBox4->currentIndex(), 1);
      }
    }
  }

  // Names typed into the add dialog pass whatever their extension, in the
  // order typed, when they all exist; a missing one keeps the dialog open
  // with Qt's own message, and nothing is added.
  void typedNamesPassWhateverTheirExtension_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("missing");
    QTest::newRow("raw beside wav") << "\"j4.raw\" \"j2.wav\"" << QStringList{"j4.raw", "j2.wav"} << QString();
    QTest::newRow("raw alone") << "j4.raw" << QStringList{"j4.raw"} << QString();
    QTest::newRow("suffix added") << "\"j2\" \"j4.raw\"" << QStringList{"j2.wav", "j4.raw"} << QString();
    QTest::newRow("one missing") << "\"j4.raw\" \"j9.raw\" \"j2.wav\"" << QStringList{} << "j9.raw";
  }
  void typedNamesPassWhateverTheirExtension() {
    QFETCH(QString, typed);
    QFETCH(QStringList, listed);
    QFETCH(QString, missing);
    mv::test::WriteBytes(file("j4.raw"), {1, 2, 3, 4});
    wav("j2.wav", 2, 44100, 16);
    QString warning;
    bool enabled = false;
    QTimer::singleShot(0, this, [&] {
      auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(d);
      const auto close = qScopeGuard([d] {
        if (d->isVisible()) d->reject();
      });
      d->setDirectory(dir());
      // Typed: the box has the focus, so Qt's selection does not rewrite it.
      auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
      QVERIFY(QTest::qWaitForWindowActive(d));
      edit->setFocus();
      QVERIFY(edit->hasFocus());
      edit->setText(typed);
      QPushButton* open = d->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
      enabled = open->isEnabled();
      QTimer::singleShot(0, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          warning = box->text();
          box->accept();
        }
      });
      open->click();
    });
    form_->Button3->click();
    QVERIFY(enabled);
    QStringList expected;
    for (const QString& n : listed) expected << dir(n);
    QCOMPARE(entries(), expected);
    QCOMPARE(warning.section('\n', 0, 0), missing);
    if (!missing.isEmpty()) QVERIFY(warning.contains("ファイルが見つかりません"));
    QVERIFY(boxes_.shown.empty());
  }

  void dropsOnTheJoinPageKeepWaveAndRawFiles() {
    const QString raw = dir("b.RAW"), w = wav("c.Wav", 1, 22050, 8);
    mv::test::WriteBytes(mv::ToPath(raw), {1, 2, 3});
    drop({dir("a.txt"), raw, w, dir("d.wave")});
    QCOMPARE(entries(), (QStringList{raw, w}));
    // The raw file does not set the format; the .Wav (second of the kept
    // batch) is compared with it and asked about.
    QCOMPARE(boxes_.shown.size(), size_t{1});
    QCOMPARE(form_->ComboBox4->currentIndex(), 21);
    // A later batch whose first file differs moves the format unasked.
    drop({wav("e.wav", 2, 48000, 16)});
    QCOMPARE(form_->ComboBox4->currentIndex(), 0);
    QCOMPARE(boxes_.shown.size(), size_t{1});
  }

  // A format beyond the lists is the entry after them, there while such a
  // file is chosen, on both pages.
  void formatsBeyondTheListsTakeTheEntryAfterThem() {
    const QString hi = wav("hi.wav", 2, 96000, 24), hi2 = wav("hi2.wav", 2, 96000, 24);
    const QString cd = wav("cd.wav", 2, 44100, 16);
    drop({hi, hi2});
    QCOMPARE(entries(), (QStringList{hi, hi2}));
    QVERIFY(boxes_.shown.empty());
    QCOMPARE(form_->ComboBox4->count(), 25);
    QCOMPARE(form_->ComboBox4->currentIndex(), 24);
    QCOMPARE(form_->ComboBox4->currentText(), QStringLiteral("24bit, Stereo, 96kHz"));
    drop({cd});
    QCOMPARE(form_->ComboBox4->count(), 24);
    QCOMPARE(form_->ComboBox4->currentIndex(), 1);

    form_->KS2->trigger();
    drop({hi});
    QCOMPARE(form_->ComboBox3->count(), 25);
    QCOMPARE(form_->ComboBox3->currentText(), QStringLiteral("24bit, Stereo, 96kHz"));
    drop({cd});
    QCOMPARE(form_->ComboBox3->count(), 24);
    QCOMPARE(form_->ComboBox3->currentIndex(), 1);
  }

  void dropsOnTheOtherPages() {
    const QString a = wav("a.wav", 1, 22050, 8), b = wav("b.wav", 2, 44100, 16);
    form_->KS2->trigger();
    const QString before = form_->Edit3->text();
    drop({dir("x.txt"), a});
    QCOMPARE(form_->Edit3->text(), before);  // the first name is not a sound file
    drop({a, b});
    QCOMPARE(form_->Edit3->text(), a);
    QCOMPARE(form_->ComboBox3->currentIndex(), 21);
    QCOMPARE(form_->ListBox1->count(), 0);
    form_->KF1->trigger();
    drop({b});
    QCOMPARE(form_->Edit3->text(), a);
    QCOMPARE(form_->ListBox1->count(), 0);
  }

  void refusedFileStopsTheBatch() {
    QStringList batch;
    for (int i = 1; i <= 5; ++i) batch << wav(QString("%1.wav").arg(i), 2, i == 3 ? 7000 : 44100, 16);
    drop(batch);
    QCOMPARE(entries(), batch.mid(0, 2));
    QCOMPARE(lastBox(), std::tuple(Text(msg::kUnsupported), Text(msg::kErrorCaption), mv::Icon::Stop));
        drop({dir("missing.wav")});
    QCOMPARE(lastBox(), std::tuple(Text(msg::kCannotOpen, dir("missing.wav")) + ".", Text(msg::kAppTitle), mv::Icon::Stop));
      }

  void listCommandsSwapAsSpecified() {
    struct Case {
      QPushButton* button;
      QStringList before;
      int selection;
      QStringList after;
      int selectedAfter;
    };
    const QStringList abcd = {"A", "B", "C", "D"};
    const std::vector<Case> cases = {
        {form_->Button4, abcd, 2, {"C", "B", "A", "D"}, 0},  // to the top swaps
        {form_->Button4, abcd, 0, abcd, 0},
        {form_->Button4, abcd, -1, abcd, -1},
        {form_->Button5, abcd, 2, {"A", "C", "B", "D"}, 1},
        {form_->Button5, abcd, 0, abcd, 0},
        {form_->Button6, abcd, 0, {"B", "A", "C", "D"}, 1},
        {form_->Button6, abcd, 3, abcd, 3},
        {form_->Button6, abcd, -1, abcd, -1},
        {form_->Button7, abcd, 0, {"D", "B", "C", "A"}, 3},
        {form_->Button7, abcd, 1, {"A", "D", "C", "B"}, 3},
        {form_->Button7, abcd, 3, abcd, 3},
        {form_->Button8, {"A", "B", "C"}, 2, {"A", "B"}, 1},
        {form_->Button8, {"A", "B", "C"}, 0, {"B", "C"}, 0},
        {form_->Button8, {"A", "B", "C"}, 1, {"A", "C"}, 1},
        {form_->Button8, {"A"}, 0, {}, -1},
        {form_->Button8, abcd, -1, abcd, -1},
        {form_->Button9, abcd, 1, {}, -1},
        {form_->Button9, {}, -1, {}, -1},
    };
    for (const Case& c : cases) {
      list(c.before, c.selection);
      c.button->click();
      QCOMPARE(entries(), c.after);
      QCOMPARE(selected(), c.selectedAfter);
    }
    // To the top, then to the bottom.
    list(abcd, 2);
    form_->Button4->click();
    form_->Button7->click();
    QCOMPARE(entries(), (QStringList{"D", "B", "A", "C"}));
    QCOMPARE(selected(), 3);
    QVERIFY(boxes_.shown.empty());
  }

  void joinOfThreeFilesMatchesTheCommandLine() {
    const QString a = wav("a.wav", 2, 44100, 16, Bytes(1000, 1)), b = wav("b.wav", 2, 44100, 16, {}),
                  c = wav("c.wav", 2, 44100, 16, Bytes(2000, 3));
    drop({a, b, c});
    form_->Edit2->setText(dir("out.wav"));
    std::vector<int> bar;
    connect(windows_.joining->ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) { bar.push_back(v); });
    QStringList labels;
    connect(windows_.joining->ProgressBar1, &QProgressBar::valueChanged, this,
            [&] { labels << windows_.joining->Label1->text(); });
    form_->KF1->trigger();
    form_->K2->trigger();  // joins from any page, without switching
    QCOMPARE(form_->PageControl1->currentWidget(), form_->TabSheet1);
    QCOMPARE(bar, (std::vector<int>{33, 66, 100}));
    QCOMPARE(labels.first(), a + Text(msg::kJoining));
    QCOMPARE(lastBox(), std::tuple(Text(msg::kJoinDone), Text(msg::kJoinDoneCaption), mv::Icon::None));
    const Bytes out = mv::test::ReadBytes(file("out.wav"));
    QCOMPARE(out.size(), size_t{3044});
    QCOMPARE(mv::test::DataOf(out), mv::test::Concat({Bytes(1000, 1), Bytes(2000, 3)}));
    runCli({"join", "--out", dir("cli.wav"), a, b, c});
    QCOMPARE(mv::test::ReadBytes(file("cli.wav")), out);
    QVERIFY(form_->isEnabled() && windows_.joining->isHidden());
    QCOMPARE(entries().size(), 3);
  }

  // Enter joins as the button does, unless the list has the focus; a focused
  // push button takes Enter itself.
  void enterJoinsUnlessTheListHasTheFocus() {
    drop({wav("a.wav", 2, 44100, 16, Bytes(400, 1)), wav("b.wav", 2, 44100, 16, Bytes(800, 2))});
    struct Press {
      QWidget* focus;
      QString output;
      bool joins;
    };
    const std::vector<Press> presses = {{form_->ListBox1, "list.wav", false},
                                        {form_->Edit2, "edit.wav", true},
                                        {form_->ComboBox4, "format.wav", true},
                                        {form_->Button2, "browse.wav", false}};
    for (const Press& p : presses) {
      form_->Edit2->setText(dir(p.output));
      form_->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(form_));
      p.focus->setFocus();
      QVERIFY(p.focus->hasFocus());
      QTimer::singleShot(0, this, [] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) d->reject();
      });
      QTest::keyClick(p.focus, Qt::Key_Return);
      QCOMPARE(QFile::exists(dir(p.output)), p.joins);
    }
    form_->Edit2->setText(dir("button.wav"));
    form_->Button10->click();
    QCOMPARE(mv::test::ReadBytes(file("edit.wav")), mv::test::ReadBytes(file("button.wav")));
    QCOMPARE(mv::test::ReadBytes(file("format.wav")), mv::test::ReadBytes(file("button.wav")));
    QCOMPARE(mv::test::DataOf(mv::test::ReadBytes(file("edit.wav"))), mv::test::Concat({Bytes(400, 1), Bytes(800, 2)}));
  }

  void deleteOptionAfterCancelledAndFinishedRuns() {
    const QStringList sources = {wav("a.wav", 2, 44100, 16), wav("b.wav", 2, 44100, 16), wav("c.wav", 2, 44100, 16)};
    drop(sources);
    form_->Edit2->setText(dir("out.wav"));
    form_->CheckBox5->setChecked(true);
    auto cancelAt = connect(windows_.joining->ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) {
      if (v == 33) QTimer::singleShot(0, windows_.joining->Button1, &QPushButton::click);
    });
    windows_.joining->ProgressBar1->setValue(0);
    form_->Button10->click();
    disconnect(cancelAt);
    for (const QString& s : sources) QVERIFY(QFile::exists(s));
    QCOMPARE(entries(), sources);
    QVERIFY(mv::test::IsFinishedWave(file("out.wav")));
    QCOMPARE(mv::test::DataOf(mv::test::ReadBytes(file("out.wav"))).size(), size_t{16});
    QCOMPARE(boxes_.shown.size(), size_t{0});

    form_->Button10->click();
    for (const QString& s : sources) QVERIFY(!QFile::exists(s));
    QCOMPARE(form_->ListBox1->count(), 0);
    QCOMPARE(form_->Edit2->text(), dir("out.wav"));
  }

  void outputAmongTheSourcesIsRefused() {
    const QStringList sources = {wav("a.wav", 2, 44100, 16), wav("b.wav", 2, 44100, 16)};
    drop(sources);
    form_->Edit2->setText(dir() + "/./b.wav");
    form_->Button10->click();
    QCOMPARE(lastBox(), std::tuple(Text(msg::kJoinOutputIsSource), Text(msg::kErrorCaption), mv::Icon::Stop));
    QCOMPARE(entries(), sources);
    QCOMPARE(mv::test::ReadBytes(mv::ToPath(sources[1])), mv::test::MakeWav(2, 44100, 16, Bytes(8, 1)));
  }

  void saveDialogStartsFromItsOwnLastChoice() {
    QString offered;
    auto answer = [&](const QString& typed) {
      QTimer::singleShot(0, this, [&, typed] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        offered = d->selectedFiles().value(0);
        d->setDirectory(dir());
        d->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
      });
      form_->Button2->click();
    };
    answer("side-a");  // the extension is added
    QCOMPARE(form_->Edit2->text(), dir("side-a.wav"));
    form_->Edit2->setText(dir("typed.wav"));
    answer("side-b.wav");
    QCOMPARE(offered, dir("side-a.wav"));
    QCOMPARE(form_->Edit2->text(), dir("side-b.wav"));
  }

  void emptyListOrNameDoesNothing() {
    form_->Edit2->setText(dir("out.wav"));
    form_->Button10->click();
    drop({wav("a.wav", 2, 44100, 16)});
    form_->Edit2->clear();
    form_->Button10->click();
    QVERIFY(boxes_.shown.empty());
    QVERIFY(!QFile::exists(dir("out.wav")));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  JoinPageTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "join_page_test.moc"
