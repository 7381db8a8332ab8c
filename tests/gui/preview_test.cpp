// The cut's preview: opened from the cut page on its settings, it follows its
// fields with fresh scans, explains a cut without a break, hands its values to
// the page's cut, and a scan can be stopped without a file being written.
// Also the dBFS and seconds tooltips of the page's threshold and run length,
// and the album panel: a track list's titles and names beside the pieces,
// and the preview's cut writing the files the command line writes.
// The editor of the cuts: the view zoomed to single frames, cuts added,
// dragged, deleted, undone and redone, lists saved and opened again, the
// files of an edited list those the command line cuts from the saved list,
// and the question before a scan throws edits away.

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QPlainTextEdit>
#include <QProcess>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QFile>
#include <QMouseEvent>
#include <QWheelEvent>
#include <map>
#include <set>
#include <memory>

#include "app/album_panel.h"
#include "app/mvfrm.h"
#include "app/preview_dialog.h"
#include "app/suggestion_row.h"
#include "play/piece_player.h"
#include "app/waveform_view.h"
#include "app/startup.h"
#include "tests/gui/fixture.h"
#include "tests/support.h"

using mv::test::Bytes;
using mv::test::Text;
namespace msg = mv::msg;

class PreviewTest : public QObject, mv::test::WindowFixture {
  Q_OBJECT

  // Three songs of 16-bit stereo at 22050 Hz, 3000 frames each; the first
  // gap is 1000 frames at level 50, the second 1000 frames at level 300.
  static Bytes songs(int times = 1) {
    const Bytes song = mv::test::Repeat16(4000, 3000, 2);
    const Bytes soft = mv::test::Repeat16(50, 1000, 2), hiss = mv::test::Repeat16(300, 1000, 2);
    Bytes out;
    for (int i = 0; i < times; ++i) out = mv::test::Concat({out, song, soft, song, hiss});
    return mv::test::Concat({out, song});
  }
  // The page set on a source, its pieces going to out/.
  void page(const QString& source, int runLength) {
    form_->Edit3->setText(source);
    form_->ComboBox3->setCurrentIndex(form_->ComboBox3->findText("16bit, Stereo, 22kHz"));
    QDir().mkpath(dir("out"));
    form_->Edit4->setText(dir("out"));
    form_->SpinEdit8->setValue(runLength);
  }
  // Waits for a scan that ends complete: a change while one runs ends that
  // one first, cancelled.
  static bool endsComplete(QSignalSpy& ended) {
    for (int scans = 0; scans < 4; ++scans)
      if (!ended.wait(10000) || ended.last().at(0).toBool()) return !ended.isEmpty() && ended.last().at(0).toBool();
    return false;
  }
  // The preview opened by the menu, its first scan done: the one that ends
  // complete, as the dialog's own start may cancel the first.
  mv::PreviewDialog* openPreview() {
    form_->KP1->trigger();
    auto* d = form_->findChild<mv::PreviewDialog*>("PreviewDialog");
    if (!d) return nullptr;
    QSignalSpy ended(d, &mv::PreviewDialog::scanEnded);
    if (!d->isVisible() || !endsComplete(ended)) return nullptr;
    return d;
  }
  // What a program prints, or nothing when it fails.
  static QByteArray output(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished() || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return "failed";
    return p.readAllStandardOutput();
  }
  // Answers the file dialog the next click opens with a file.
  void answerFileDialog(const QString& name) {
    QTimer::singleShot(0, form_, [name] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      dialog->selectFile(name);
      QMetaObject::invokeMethod(dialog, "accept");
    });
  }
  // Two songs around 2000 frames of zeros, a third after 1000 at level 50:
  // 12001 frames, the quiet ones starting at 3001 off the envelope's steps.
  static Bytes tape() {
    const Bytes song = mv::test::Repeat16(4000, 3000, 2);
    return mv::test::Concat({song, mv::test::Repeat16(4000, 1, 2), mv::test::Repeat16(0, 2000, 2), song,
                             mv::test::Repeat16(50, 1000, 2), song});
  }
  // The preview on the tape, three pieces found.
  mv::PreviewDialog* openTape(bool flac = false) {
    QString source = wav("tape.wav", 2, 22050, 16, tape());
    if (flac) {
      if (output("flac", {"-s", "-f", "-o", dir("tape.flac"), source}) == "failed") return nullptr;
      source = dir("tape.flac");
    }
    page(source, 400);
    mv::PreviewDialog* d = openPreview();
    return d && d->Waveform->cuts().size() == 3 ? d : nullptr;
  }
  static QPoint at(mv::WaveformView* w, int64_t frame) {
    return QPoint(qRound(w->xOfFrame(frame)), qRound(w->plotRect().center().y()));
  }
  // The cursor placed by a click; the frame it took.
  static int64_t click(mv::WaveformView* w, int64_t frame) {
    QTest::mouseClick(w, Qt::LeftButton, {}, at(w, frame));
    return w->cursorFrame().value_or(-1);
  }
  static void mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons held) {
    QMouseEvent e(type, p, w->mapToGlobal(p), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  }
  static std::map<std::string, Bytes> files(const QString& folder) {
    std::map<std::string, Bytes> out;
    for (const std::string& name : mv::test::FileNames(mv::ToPath(folder)))
      out[name] = mv::test::ReadBytes(mv::ToPath(folder) + "/" + name);
    return out;
  }
  static QStringList lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {"unreadable"};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
  }
  static QStringList column(QTableWidget* t, int c) {
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r) out << t->item(r, c)->text();
    return out;
  }

 private slots:
  void init() {
    setUp();
    open();
  }
  void cleanup() { tearDown(); }

  void followsItsFieldsAndSaysWhyNoBreakWasFound() {
    page(wav("tape.wav", 2, 22050, 16, songs()), 400);
    // The page's button sits in free space and opens the same dialog.
    QVERIFY(form_->Button15->geometry().bottom() < form_->TabSheet2->height());
    for (QWidget* w : form_->TabSheet2->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      QVERIFY2(w == form_->Button15 || !w->geometry().intersects(form_->Button15->geometry()),
               qPrintable(w->objectName()));
    mv::PreviewDialog* d = openPreview();
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QStringLiteral("切り出しのプレビュー"));
    QCOMPARE(d->ThresholdEdit->value(), 100);
    QCOMPARE(d->RunLengthEdit->value(), 400);
    QCOMPARE(d->ThresholdLevel->text(), QStringLiteral("= -50.3 dBFS"));
    QCOMPARE(d->RunLengthSeconds->text(), QStringLiteral("ｻﾝﾌﾟﾙ = 0.02秒"));
    // T = 100: only the soft gap is quiet. The sound returns at frame 4000,
    // the first frame of its block, so the second song starts there.
    QCOMPARE(column(d->Pieces, 0), QStringList({"mv000001.wav", "mv000002.wav"}));
    QCOMPARE(column(d->Pieces, 1), QStringList({"0:00:00.000", "0:00:00.181"}));
    QCOMPARE(d->Pieces->item(0, 3)->text(), QStringLiteral("4000 (-18.3 dBFS)"));
    QCOMPARE(d->Waveform->cuts(), (std::vector<int64_t>{0, 4000}));
    // The lines the command line prints after the same cut.
    QCOMPARE(d->Summary->text(), mv::FromUtf8(mv::format(msg::kCutSummary, "2", "0.05秒 (0:00:00.136から)")));
    QVERIFY(d->NoBreak->isHidden());

    // Changes closer together than the dialog's pause make one scan.
    QSignalSpy ended(d, &mv::PreviewDialog::scanEnded);
    d->ThresholdEdit->setValue(300);
    QTest::qWait(100);
    d->ThresholdEdit->setValue(400);
    QCOMPARE(d->ThresholdLevel->text(), QStringLiteral("= -38.3 dBFS"));
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.size(), 1);
    QCOMPARE(d->Pieces->rowCount(), 3);

    // The shortest song merges all three: the breaks found are told, not
    // that there were none.
    d->MinSongEdit->setValue(1);
    QVERIFY(ended.wait(10000));
    QCOMPARE(d->Pieces->rowCount(), 1);
    QVERIFY(d->NoBreak->isVisible());
    QCOMPARE(d->NoBreak->text(), mv::FromUtf8(mv::format(msg::kBreaksMerged, "2", "1秒")));
    d->MinSongEdit->setValue(0);
    QVERIFY(ended.wait(10000));
    QCOMPARE(d->Pieces->rowCount(), 3);

    // Nothing is quiet at T = 20: one piece, and why, in the engine's values.
    d->ThresholdEdit->setValue(20);
    QVERIFY(ended.wait(10000));
    QCOMPARE(d->Pieces->rowCount(), 1);
    QVERIFY(d->NoBreak->isVisible());
    QVERIFY(d->Summary->text().contains(QStringLiteral("最長の無音: なし")));
    const QString why = d->NoBreak->text();
    QVERIFY2(why.contains(QStringLiteral("0.00秒")) && why.contains(QStringLiteral("0.02秒 (400ｻﾝﾌﾟﾙ)")) &&
                 why.contains(QStringLiteral("50 (-56.3 dBFS)")) && why.contains(QStringLiteral("20 (-64.3 dBFS)")),
             qPrintable(why));
    // A run length the engine refuses is said in the dialog.
    d->RunLengthEdit->setValue(0);
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.last().at(0).toBool(), false);
    QCOMPARE(d->Status->text(), Text(msg::kZeroRunLength));
    QCOMPARE(d->Pieces->rowCount(), 0);

    // The page's button opens it afresh on the page's values.
    d->reject();
    QVERIFY(d->isHidden());
    form_->Button15->click();
    QVERIFY(d->isVisible());
    QCOMPARE(d->RunLengthEdit->value(), 400);
    QVERIFY(ended.wait(10000));
    QCOMPARE(d->Pieces->rowCount(), 2);
    QVERIFY(mv::test::Pieces(dir("out")).empty());
  }

  void cutWithTheseSettingsWritesWhatThePreviewAndTheCommandLineShow() {
    const QString src = wav("tape.wav", 2, 22050, 16, songs());
    page(src, 400);
    form_->Label29->setText("5");
    form_->Label30->setText("-7");
    mv::PreviewDialog* d = openPreview();
    QVERIFY(d);
    QSignalSpy ended(d, &mv::PreviewDialog::scanEnded);
    d->RunLengthEdit->setValue(300);
    d->ThresholdEdit->setValue(400);
    d->ClicksEdit->setValue(5);
    QVERIFY(ended.wait(10000));
    QCOMPARE(d->settings().ignoreClicks, 110);  // 5 ms at 22050 Hz
    const QStringList starts = column(d->Pieces, 1);
    QCOMPARE(starts.size(), 3);

    QSignalSpy wanted(d, &mv::PreviewDialog::cutWanted);
    d->ClicksEdit->setValue(0);  // what the command line below is given
    QTest::mouseClick(d->CutButton, Qt::LeftButton);
    QVERIFY(d->isHidden());
    QCOMPARE(wanted.size(), 1);
    QCOMPARE(form_->SpinEdit7->value(), 400);
    QCOMPARE(form_->SpinEdit8->value(), 300);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
    const std::vector<Bytes> got = mv::test::Pieces(dir("out"));
    QCOMPARE(got.size(), size_t(starts.size()));
    QDir().mkpath(dir("cli"));
    QCOMPARE(runCli({"cut", src, "--out", dir("cli"), "--threshold", "400", "--run", "300", "--zero", "5,-7"}), 0);
    QCOMPARE(got, mv::test::Pieces(dir("cli")));
  }

  // The file's own settings are suggested beside the fields and in the
  // page's tooltips, change nothing until taken, and once taken cut what the
  // command line cuts when told to choose them; a number of songs asks for
  // the longest gaps only.
  void aSuggestionTakenCutsAsTheCommandLineChooses() {
    if (output("sox", {"--version"}) == "failed") QSKIP("needs sox");
    // Three tones in hiss with a DC offset, the gaps 1.2 and 0.6 s.
    const QStringList common = {"-n", "-r", "22050", "-c", "2", "-b", "16"};
    for (const auto& [name, seconds] : {std::pair{"a", "2"}, {"b", "1.5"}, {"c", "2"}, {"g1", "1.2"}, {"g2", "0.6"}}) {
      const QStringList sound = QString(name).startsWith('g')
                                    ? QStringList{"synth", seconds, "whitenoise", "vol", "0.002", "dcshift", "0.002"}
                                    : QStringList{"synth", seconds, "sine", "330", "vol", "0.4"};
      QCOMPARE(QProcess::execute("sox", common + QStringList{dir(QString(name) + ".wav")} + sound), 0);
    }
    const QString src = dir("tape.wav");
    QCOMPARE(QProcess::execute("sox", {dir("a.wav"), dir("g1.wav"), dir("b.wav"), dir("g2.wav"), dir("c.wav"), src}), 0);
    page(src, 20000);
    mv::PreviewDialog* d = openPreview();
    QVERIFY(d);
    QCOMPARE(d->Pieces->rowCount(), 1);  // 20000 frames is longer than either gap
    const std::optional<mv::Detection> suggestion = d->Suggestion->suggestion();
    QVERIFY(suggestion);
    QVERIFY(d->Suggestion->TakeButton->isEnabled());
    QVERIFY(d->Suggestion->Text->text().endsWith(QStringLiteral("→ 3 ファイル")));
    QVERIFY(suggestion->zero.any());
    QCOMPARE(d->RunLengthEdit->value(), 20000);
    QVERIFY(form_->SpinEdit8->toolTip().endsWith(d->Suggestion->summary()));

    // Two songs: the longer gap alone.
    QSignalSpy ended(d, &mv::PreviewDialog::scanEnded);
    d->Suggestion->SongsEdit->setValue(2);
    QVERIFY(endsComplete(ended));
    QVERIFY2(d->Suggestion->Text->text().endsWith(QStringLiteral("→ 2 ファイル")), qPrintable(d->Suggestion->Text->text()));
    QCOMPARE(d->Pieces->rowCount(), 1);
    d->Suggestion->SongsEdit->setValue(0);
    QVERIFY(endsComplete(ended));

    d->Suggestion->TakeButton->click();
    QVERIFY(endsComplete(ended));
    QCOMPARE(d->ThresholdEdit->value(), d->Suggestion->suggestion()->threshold);
    QCOMPARE(d->RunLengthEdit->value(), d->Suggestion->suggestion()->runLength);
    QCOMPARE(d->settings().ignoreClicks, d->Suggestion->suggestion()->ignoreClicks);
    QCOMPARE(d->Pieces->rowCount(), 3);
    // Each cut shows the quiet run it was made at.
    QCOMPARE(column(d->Pieces, 4).mid(0, 1), QStringList({""}));
    QVERIFY2(d->Pieces->item(1, 4)->text().startsWith(QStringLiteral("1.20秒 (-")), qPrintable(d->Pieces->item(1, 4)->text()));
    QVERIFY(d->Pieces->item(2, 4)->text().startsWith(QStringLiteral("0.60秒 (-")));
    QTest::mouseClick(d->CutButton, Qt::LeftButton);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
    QVERIFY(form_->CheckBox4->isChecked());
    QCOMPARE(form_->Label29->text().toInt(), suggestion->zero.left);
    const std::vector<Bytes> got = mv::test::Pieces(dir("out"));
    QCOMPARE(got.size(), size_t{3});
    QDir().mkpath(dir("cli"));
    QCOMPARE(runCli({"cut", src, "--out", dir("cli"), "--threshold", "auto", "--run", "auto", "--zero", "auto"}), 0);
    QCOMPARE(got, mv::test::Pieces(dir("cli")));
  }

  // 24-bit samples, the same tape scaled: the same cuts, levels in their own
  // full scale, the 25th format entry, and the files of the command line.
  void wideSamplesCutAsTheirSixteenBitSelves() {
    const Bytes narrow = songs();
    Bytes wide;
    for (std::size_t i = 0; i + 1 < narrow.size(); i += 2) wide.insert(wide.end(), {0, narrow[i], narrow[i + 1]});
    const QString src = wav("tape24.wav", 2, 96000, 24, wide);
    form_->KS2->trigger();
    drop({src});
    QCOMPARE(form_->ComboBox3->currentText(), QStringLiteral("24bit, Stereo, 96kHz"));
    QDir().mkpath(dir("out"));
    form_->Edit4->setText(dir("out"));
    form_->SpinEdit8->setValue(400);
    mv::PreviewDialog* d = openPreview();
    QVERIFY(d);
    QCOMPARE(d->Waveform->cuts(), (std::vector<int64_t>{0, 4000}));
    QCOMPARE(d->Pieces->item(0, 3)->text(), QStringLiteral("1024000 (-18.3 dBFS)"));
    QTest::mouseClick(d->CutButton, Qt::LeftButton);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
    const std::vector<Bytes> got = mv::test::Pieces(dir("out"));
    QCOMPARE(got.size(), size_t{2});
    QDir().mkpath(dir("cli"));
    QCOMPARE(runCli({"cut", src, "--out", dir("cli"), "--run", "400"}), 0);
    QCOMPARE(got, mv::test::Pieces(dir("cli")));
  }

  // Listening without a sound output (this test's sound server is none):
  // the range asked ends exactly on the cut, the missing output is said
  // once, and editing goes on.
  void listeningWithoutAnOutputSaysSoOnceAndTheDialogWorksOn() {
    const QString src = wav("tape.wav", 2, 22050, 16, songs());
    page(src, 400);
    mv::PreviewDialog* d = openPreview();
    QVERIFY(d);
    auto* player = d->findChild<mv::PiecePlayer*>();
    QVERIFY(player);
    QSignalSpy unavailable(player, &mv::PiecePlayer::unavailable);
    const std::vector<int64_t> starts = d->edits().pieceStarts();
    QCOMPARE(starts.size(), size_t{2});
    const int64_t cut = starts[1];
    d->Waveform->setCursorFrame(cut + 500);
    QTest::mouseClick(d->PlayBeforeButton, Qt::LeftButton);
    QCOMPARE(d->lastPlayed(), (mv::FrameRange{0, cut}));  // 3 s before, from the start of the data
    QTest::mouseClick(d->PlayAfterButton, Qt::LeftButton);
    QCOMPARE(d->lastPlayed().from, cut);
    QTest::keyClick(d, Qt::Key_Space);
    QCOMPARE(d->lastPlayed(), (mv::FrameRange{cut + 500, -1}));
    QCOMPARE(unavailable.size(), 1);
    QCOMPARE(d->PlayStatus->text(), Text(msg::kNoOutputDevice));
    QCOMPARE(d->PlayButton->text(), QStringLiteral("再生"));
    QTest::mouseClick(d->DeleteCutButton, Qt::LeftButton);
    QCOMPARE(d->Pieces->rowCount(), 1);
  }

  void aStoppedScanWritesNothing_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel button") << "cancel";
    QTest::newRow("field changed") << "change";
    QTest::newRow("dialog closed") << "close";
  }
  void aStoppedScanWritesNothing() {
    QFETCH(QString, how);
    mv::test::WriteBytes(file("long.raw"), songs(100));  // 800 000 frames, 2000 blocks
    page(dir("long.raw"), 400);
    form_->KP1->trigger();
    auto* d = form_->findChild<mv::PreviewDialog*>("PreviewDialog");
    QVERIFY(d);
    QSignalSpy ended(d, &mv::PreviewDialog::scanEnded);
    bool stopped = false, busySeen = false;
    QTimer clock;  // a timer of the window's own keeps running during a scan
    int ticks = 0;
    connect(&clock, &QTimer::timeout, this, [&] { ++ticks; });
    clock.start(0);
    connect(d->Progress, &QProgressBar::valueChanged, this, [&](int v) {
      if (v < 10 || stopped) return;
      stopped = true;
      busySeen = d->scanning() && d->CancelButton->isEnabled() && form_->isEnabled();
      if (how == "cancel") QTimer::singleShot(0, d->CancelButton, &QPushButton::click);
      if (how == "change") QTimer::singleShot(0, d, [d] { d->ThresholdEdit->setValue(20); });
      if (how == "close") QTimer::singleShot(0, d->CloseButton, &QPushButton::click);
    });
    QVERIFY(ended.wait(20000));
    QVERIFY(stopped && busySeen);
    QVERIFY(ticks > 0);
    QCOMPARE(ended.first().at(0).toBool(), false);
    QVERIFY(!d->scanning());
    if (how == "cancel") {
      QVERIFY(d->isVisible());
      QVERIFY(d->Status->text().startsWith(QStringLiteral("スキャンを中止しました")));
      QCOMPARE(d->Pieces->rowCount(), 0);
    } else if (how == "change") {
      // Scanned again with the new value: nothing is quiet at T = 20.
      QVERIFY(ended.wait(20000));
      QCOMPARE(ended.last().at(0).toBool(), true);
      QCOMPARE(d->Pieces->rowCount(), 1);
    } else {
      QVERIFY(d->isHidden());
    }
    QCOMPARE(mv::test::FileNames(file("out")), std::vector<std::string>{});
    QCOMPARE(mv::test::FileNames(mv::ToPath(dir())), (std::vector<std::string>{"long.raw", "out"}));
  }

  // The dialog's buttons keep the style's padding around their texts, and
  // the dialog opens within the screen (also at twice the scale, where the
  // same test runs on a 1920x1080 screen).
  void buttonsArePaddedAndTheDialogFitsTheScreen() {
    page(wav("tape.wav", 2, 22050, 16, songs()), 400);
    mv::PreviewDialog* d = openPreview();
    QVERIFY(d);
    std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    for (QPushButton* b : {d->CancelButton, d->CutButton, d->CloseButton, d->AddCutButton, d->DeleteCutButton,
                           d->UndoButton, d->RedoButton, d->OpenCutsButton, d->SaveCutsButton}) {
      QPushButton plain(b->text());
      plain.setStyle(fusion.get());
      plain.setAutoDefault(false);
      QVERIFY2(b->width() >= plain.sizeHint().width(), qPrintable(b->objectName()));
    }
    const QScreen* screen = d->screen();
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
      QCOMPARE(qRound(screen->geometry().height() * screen->devicePixelRatio()), 1080);
    QVERIFY2(screen->availableGeometry().contains(d->frameGeometry()),
             qPrintable(QString("%1x%2").arg(d->frameGeometry().width()).arg(d->frameGeometry().height())));
    d->reject();
  }

  // The level scale's title and its marks never cover one another, on an
  // empty view and on a scan, at the smallest size the dialog allows too.
  void levelScaleTextsStandApart() {
    page(wav("tape.wav", 2, 22050, 16, songs()), 400);
    mv::PreviewDialog* d = openPreview();
    QVERIFY(d);
    for (bool empty : {false, true}) {
      if (empty) d->Waveform->clear();
      for (QSize size : {d->Waveform->sizeHint(), d->Waveform->minimumSizeHint()}) {
        d->Waveform->resize(size);
        const mv::WaveformView::LevelScale scale = d->Waveform->levelScale();
        QVERIFY(scale.marks.size() >= 4);
        QVERIFY(d->Waveform->rect().contains(scale.title.toAlignedRect()));
        for (std::size_t i = 0; i < scale.marks.size(); ++i) {
          QVERIFY2(!scale.title.intersects(scale.marks[i]), qPrintable(QString::number(i)));
          QVERIFY(scale.marks[i].left() >= 0);
          if (i > 0) QVERIFY(!scale.marks[i - 1].intersects(scale.marks[i]));
        }
      }
    }
    d->reject();
  }

  // A pasted list names and tags the pieces it agrees with: the titles and
  // names in the table are the files the preview's cut writes, the same
  // names, tags, cover and samples as the command line's. A list of another
  // count is said and holds the cut back until it is mended.
  void anAlbumListNamesAndTagsThePieces_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("listed");
    QTest::newRow("three titles") << "1. Morgenlied / Ann\n2. 夜の歌\n3. Abend (0:30)\n" << 3;
    QTest::newRow("four titles, three pieces") << "Morgenlied\n夜の歌\nAbend\nZugabe\n" << 4;
  }
  void anAlbumListNamesAndTagsThePieces() {
    QFETCH(QString, list);
    QFETCH(int, listed);
    const QString src = wav("tape.wav", 2, 22050, 16, songs());
    page(src, 400);
    mv::PreviewDialog* d = openPreview();
    QVERIFY(d);
    QSignalSpy ended(d, &mv::PreviewDialog::scanEnded);
    d->ThresholdEdit->setValue(400);
    QVERIFY(ended.wait(10000));
    QCOMPARE(d->Pieces->rowCount(), 3);
    QVERIFY(d->Pieces->isColumnHidden(5));
    QVERIFY(d->CutButton->isEnabled());
    mv::AlbumPanel* a = d->Album;
    mv::test::WriteBytes(file("tracks.txt"), mv::test::Ascii(list.toStdString()));
    if (listed == 3) {
      a->TrackList->setPlainText(list);
    } else {
      // Opened from a file, into the field where it can be mended.
      answerFileDialog(dir("tracks.txt"));
      a->OpenTracksButton->click();
      QCOMPARE(a->TrackList->toPlainText(), list);
    }
    QVERIFY(a->TrackError->isHidden());
    QVERIFY(!d->Pieces->isColumnHidden(5));

    if (listed != 3) {
      // The numbered names stay; the counts are said; no cut.
      QVERIFY(a->TrackCount->isVisible());
      QCOMPARE(a->TrackCount->text(), Text(mv::format(msg::kTracksCountDiffers, "4", "3")));
      QCOMPARE(column(d->Pieces, 0), QStringList({"mv000001.wav", "mv000002.wav", "mv000003.wav"}));
      QVERIFY(!d->CutButton->isEnabled());
      // A line that cannot be read is said in the panel and holds the cut back too.
      a->TrackList->setPlainText("Morgenlied\n夜の歌 (3:75)\nAbend\n");
      QVERIFY(a->TrackError->isVisible());
      QVERIFY2(a->TrackError->text().contains(QStringLiteral("2 行目")), qPrintable(a->TrackError->text()));
      QVERIFY(!d->CutButton->isEnabled());
      a->TrackList->setPlainText("Morgenlied\n夜の歌\nAbend\n");
      QVERIFY(a->TrackError->isHidden() && a->TrackCount->isHidden());
      QVERIFY(d->CutButton->isEnabled());
      QCOMPARE(column(d->Pieces, 0), QStringList({"01 Morgenlied.wav", "02 夜の歌.wav", "03 Abend.wav"}));
      // The command line refuses the same list, writing nothing.
      QDir().mkpath(dir("cli"));
      QCOMPARE(runCli({"cut", src, "--out", dir("cli"), "--threshold", "400", "--run", "400", "--tracks",
                       dir("tracks.txt")}), 1);
      QCOMPARE(mv::test::FileNames(file("cli")), std::vector<std::string>{});
      d->reject();
      return;
    }

    QCOMPARE(column(d->Pieces, 5), QStringList({"Morgenlied", QStringLiteral("夜の歌"), "Abend"}));
    QCOMPARE(column(d->Pieces, 0), QStringList({"01 Morgenlied.wav", QStringLiteral("02 夜の歌.wav"), "03 Abend.wav"}));
    QVERIFY(a->TrackCount->isHidden());
    QCOMPARE(a->NamePattern->placeholderText(), QStringLiteral("{n} {title}"));
    // Only the third piece is listed far from its length.
    for (int row : {0, 1}) QVERIFY(d->Pieces->item(row, 2)->toolTip().isEmpty());
    QVERIFY2(d->Pieces->item(2, 2)->toolTip().contains(QStringLiteral("「Abend」")),
             qPrintable(d->Pieces->item(2, 2)->toolTip()));
    QVERIFY(d->Pieces->item(2, 2)->background() != d->Pieces->item(1, 2)->background());

    // A bad pattern is said and holds the cut back; mended, the names follow it.
    a->NamePattern->setText("{n} {titel}");
    QVERIFY(a->PatternError->isVisible());
    QCOMPARE(a->PatternError->text(), Text(mv::format(msg::kNameUnknownField, "titel")));
    QVERIFY(!d->CutButton->isEnabled());
    a->NamePattern->setText("{n}-{title}");
    QVERIFY(a->PatternError->isHidden());
    QCOMPARE(d->Pieces->item(0, 0)->text(), QStringLiteral("01-Morgenlied.wav"));
    QVERIFY(a->FirstNames->text().contains(QStringLiteral("01-Morgenlied.wav, 02-夜の歌.wav, 03-Abend.wav")));
    // A title is edited beside its piece, and only a title: the name follows it.
    QVERIFY(d->Pieces->item(1, 5)->flags() & Qt::ItemIsEditable);
    QVERIFY(!(d->Pieces->item(1, 0)->flags() & Qt::ItemIsEditable));
    d->Pieces->item(1, 5)->setText(QStringLiteral("夜の歌 (live)"));
    QCOMPARE(d->Pieces->item(1, 0)->text(), QStringLiteral("02-夜の歌 (live).wav"));
    d->Pieces->item(1, 5)->setText(QStringLiteral("夜の歌"));
    QCOMPARE(d->Pieces->item(1, 0)->text(), QStringLiteral("02-夜の歌.wav"));

    // The album's tags and a cover; FLAC, scanned again.
    a->AlbumEdit->setText(QStringLiteral("朝から夜"));
    a->AlbumArtistEdit->setText("Trio");
    a->YearEdit->setText("1999");
    a->GenreEdit->setText("Folk");
    a->ArtistEdit->setText("Various");
    a->DiscEdit->setText("3/2");
    QCOMPARE(a->DiscError->text(), Text(msg::kDiscForm, "3/2"));
    QVERIFY(!d->CutButton->isEnabled());
    a->DiscEdit->setText("2/3");
    QVERIFY(a->DiscError->isHidden());
    QVERIFY(d->CutButton->isEnabled());
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(dir("cover.png")));
    mv::test::WriteBytes(file("cover.txt"), mv::test::Ascii("not an image"));
    answerFileDialog(dir("cover.txt"));
    a->CoverButton->click();
    QCOMPARE(a->CoverThumb->text(), Text(msg::kCoverNotImage, dir("cover.txt")));
    answerFileDialog(dir("cover.png"));
    a->CoverButton->click();
    QVERIFY(!a->CoverThumb->pixmap().isNull());
    a->OutputFormat->setCurrentIndex(a->OutputFormat->findText("FLAC"));
    QVERIFY(ended.wait(10000));
    QCOMPARE(column(d->Pieces, 0),
             QStringList({"01-Morgenlied.flac", QStringLiteral("02-夜の歌.flac"), "03-Abend.flac"}));
    QVERIFY(d->CutButton->isEnabled());

    QTest::mouseClick(d->CutButton, Qt::LeftButton);
    QVERIFY(d->isHidden());
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
    const std::vector<std::string> names = mv::test::FileNames(file("out"));
    QCOMPARE(names, (std::vector<std::string>{"01-Morgenlied.flac", "02-夜の歌.flac", "03-Abend.flac"}));

    QDir().mkpath(dir("cli"));
    QCOMPARE(runCli({"cut", src, "--out", dir("cli"), "--threshold", "400", "--run", "400", "--tracks",
                     dir("tracks.txt"), "--to", "flac", "--artist", "Various", "--name", "{n}-{title}", "--album", QStringLiteral("朝から夜"),
                     "--album-artist", "Trio", "--year", "1999", "--genre", "Folk", "--disc", "2/3", "--cover",
                     dir("cover.png")}),
             0);
    QCOMPARE(mv::test::FileNames(file("cli")), names);
    QByteArray samples;
    for (const std::string& name : names) {
      const QString mine = dir("out/" + mv::FromPath(name)), theirs = dir("cli/" + mv::FromPath(name));
      const QByteArray tags = output("metaflac", {"--export-tags-to=-", mine});
      QCOMPARE(tags, output("metaflac", {"--export-tags-to=-", theirs}));
      QVERIFY2(tags.contains("ALBUM=朝から夜\n") && tags.contains("DISCNUMBER=2\n") && tags.contains("DATE=1999\n"),
               tags.constData());
      QCOMPARE(output("metaflac", {"--export-picture-to=-", mine}), output("metaflac", {"--export-picture-to=-", theirs}));
      const QStringList decode{"-d", "-c", "-s", "--force-raw-format", "--endian=little", "--sign=signed"};
      const QByteArray decoded = output("flac", decode + QStringList{mine});
      QCOMPARE(decoded, output("flac", decode + QStringList{theirs}));
      samples += decoded;
    }
    const QByteArray first = output("metaflac", {"--export-tags-to=-", dir("out/01-Morgenlied.flac")});
    QVERIFY2(first.contains("TITLE=Morgenlied\n") && first.contains("ARTIST=Ann\n"), first.constData());
    QVERIFY(output("metaflac", {"--export-tags-to=-", dir("out/03-Abend.flac")}).contains("ARTIST=Various\n"));
    // The pieces join back into the source's samples.
    const mv::test::Bytes data = songs();
    QCOMPARE(samples, QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())));
  }

  // Every edit shows in the view, the pieces and their titles, and can be
  // undone and redone; the cut writes the files the command line cuts from
  // the list saved.
  void editsFollowEveryStepAndTheCutIsTheSavedListsCut() {
    mv::PreviewDialog* d = openTape();
    QVERIFY(d);
    mv::WaveformView* w = d->Waveform;
    const std::vector<int64_t> found = w->cuts();
    QVERIFY(!d->UndoButton->isEnabled() && !d->RedoButton->isEnabled());
    d->Album->TrackList->setPlainText("Eins\nZwei\nDrei\n");
    // A cut at the cursor goes to the quiet place after the first song.
    QVERIFY(std::abs(click(w, 1500) - 1500) < 40);
    QVERIFY2(d->CursorLabel->text().startsWith(QStringLiteral("カーソル: 0:00:00.06")), qPrintable(d->CursorLabel->text()));
    QTest::mouseClick(d->AddCutButton, Qt::LeftButton);
    QCOMPARE(w->cuts(), (std::vector<int64_t>{0, 3001, found[1], found[2]}));
    QCOMPARE(w->editedCuts(), (std::vector<bool>{false, true, false, false}));
    QCOMPARE(column(d->Pieces, 5), QStringList({"Eins", "", "Zwei", "Drei"}));
    QCOMPARE(column(d->Pieces, 1).at(1), QStringLiteral("0:00:00.136"));
    QCOMPARE(d->Pieces->item(1, 3)->text(), QStringLiteral("0 (-∞ dBFS)"));
    // With Shift exactly at the cursor, in the last song.
    const int64_t exact = click(w, 11000);
    QTest::keyClick(d, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(w->cuts(), (std::vector<int64_t>{0, 3001, found[1], found[2], exact}));
    // Dragged by its line, no further than its neighbour.
    mouse(w, QEvent::MouseButtonPress, at(w, exact), Qt::LeftButton);
    mouse(w, QEvent::MouseMove, at(w, 11500), Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, at(w, 11500), Qt::NoButton);
    const int64_t moved = w->cuts()[4];
    QVERIFY2(moved != exact && std::abs(moved - 11500) < 40, qPrintable(QString::number(moved)));
    mouse(w, QEvent::MouseButtonPress, at(w, moved), Qt::LeftButton);
    mouse(w, QEvent::MouseMove, at(w, 0), Qt::LeftButton);
    mouse(w, QEvent::MouseButtonRelease, at(w, 0), Qt::NoButton);
    QCOMPARE(w->cuts()[4], found[2] + 1);
    QTest::keyClick(d, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w->cuts()[4], moved);
    // A found cut deleted: its two pieces become one under the first's title.
    d->Pieces->setCurrentCell(2, 0);
    QCOMPARE(w->cursorFrame(), std::optional<int64_t>(found[1]));
    QTest::keyClick(d, Qt::Key_Delete);
    QCOMPARE(w->cuts(), (std::vector<int64_t>{0, 3001, found[2], moved}));
    QCOMPARE(column(d->Pieces, 5), QStringList({"Eins", "", "Drei", ""}));
    QCOMPARE(d->Pieces->rowCount(), 4);
    QVERIFY2(d->Summary->text().endsWith(QStringLiteral("  編集後: 4曲")), qPrintable(d->Summary->text()));
    for (int undone = 0; undone < 2; ++undone) QTest::mouseClick(d->UndoButton, Qt::LeftButton);
    QCOMPARE(w->cuts(), (std::vector<int64_t>{0, 3001, found[1], found[2], exact}));
    QCOMPARE(column(d->Pieces, 5), QStringList({"Eins", "", "Zwei", "Drei", ""}));
    QVERIFY(d->RedoButton->isEnabled());
    QTest::keyClick(d, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w->cuts(), (std::vector<int64_t>{0, 3001, found[1], found[2], moved}));

    answerFileDialog(dir("cuts.txt"));
    QTest::mouseClick(d->SaveCutsButton, Qt::LeftButton);
    const QStringList saved = lines(dir("cuts.txt"));
    QCOMPARE(saved.size(), 5);
    QCOMPARE(saved.at(0), QStringLiteral("0.000000\t0.136100\tEins"));
    QCOMPARE(saved.at(1).count('\t'), 1);  // untitled
    QVERIFY(saved.at(4).startsWith(QString::number(moved / 22050.0, 'f', 6) + "\t0.544263"));
    QTest::mouseClick(d->CutButton, Qt::LeftButton);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCutDone));
    QDir().mkpath(dir("cli"));
    QCOMPARE(runCli({"cut", dir("tape.wav"), "--out", dir("cli"), "--cuts", dir("cuts.txt")}), 0);
    const std::map<std::string, Bytes> mine = files(dir("out"));
    QCOMPARE(mine.size(), size_t{5});
    QVERIFY(mine.count("01 Eins.wav") && mine.count("03 Zwei.wav"));
    QVERIFY(mine == files(dir("cli")));
    // The next cut of the page is at silences again.
    QDir().mkpath(dir("again"));
    form_->Edit4->setText(dir("again"));
    form_->KS3->trigger();
    QCOMPARE(mv::test::Pieces(dir("again")).size(), size_t{3});
  }

  // A saved list opens again in a fresh preview: a label file exactly, a cue
  // sheet to its 1/75 s; a list that cannot be read, and a save over the
  // source, are refused and change nothing.
  void aSavedListOpensAgain() {
    mv::PreviewDialog* d = openTape();
    QVERIFY(d);
    mv::WaveformView* w = d->Waveform;
    d->Album->TrackList->setPlainText("Eins\nZwei\nDrei\n");
    click(w, 6000);
    QTest::keyClick(d, Qt::Key_Insert, Qt::ShiftModifier);
    const std::vector<int64_t> edited = w->cuts();
    QCOMPARE(edited.size(), size_t{4});
    for (const char* name : {"cuts.txt", "cuts.cue"}) {
      answerFileDialog(dir(name));
      QTest::mouseClick(d->SaveCutsButton, Qt::LeftButton);
    }
    const QStringList cue = lines(dir("cuts.cue"));
    QCOMPARE(cue.at(0), "FILE \"" + dir("tape.wav") + "\" WAVE");
    QCOMPARE(cue.filter("INDEX 01").size(), 4);
    QVERIFY(cue.contains(QStringLiteral("    TITLE \"Zwei\"")));
    const mv::test::Bytes source = mv::test::ReadBytes(mv::ToPath(dir("tape.wav")));
    const std::size_t shown = boxes_.shown.size();
    answerFileDialog(dir("tape.wav"));
    QTest::mouseClick(d->SaveCutsButton, Qt::LeftButton);
    QCOMPARE(boxes_.shown.size(), shown + 1);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kExportIsRunFile, dir("tape.wav")));
    QVERIFY(mv::test::ReadBytes(mv::ToPath(dir("tape.wav"))) == source);

    d->reject();
    d->Album->TrackList->clear();
    d = openPreview();
    QVERIFY(d && !d->edits().edited());
    QCOMPARE(w->cuts().size(), size_t{3});
    answerFileDialog(dir("cuts.txt"));
    QTest::mouseClick(d->OpenCutsButton, Qt::LeftButton);
    QCOMPARE(w->cuts(), edited);
    QCOMPARE(w->editedCuts(), (std::vector<bool>{false, true, true, true}));
    QCOMPARE(column(d->Pieces, 5), QStringList({"Eins", "Zwei", "", "Drei"}));
    answerFileDialog(dir("cuts.cue"));
    QTest::mouseClick(d->OpenCutsButton, Qt::LeftButton);
    QCOMPARE(w->cuts().size(), edited.size());
    for (std::size_t i = 0; i < edited.size(); ++i)
      QVERIFY(w->cuts()[i] <= edited[i] && edited[i] - w->cuts()[i] < 22050 / 75);
    mv::test::WriteBytes(file("bad.txt"), mv::test::Ascii("0:01\n0:xx\n"));
    const std::vector<int64_t> before = w->cuts();
    answerFileDialog(dir("bad.txt"));
    QTest::mouseClick(d->OpenCutsButton, Qt::LeftButton);
    QVERIFY2(boxes_.shown.back().text.contains(QStringLiteral("2 行目")), qPrintable(boxes_.shown.back().text));
    QCOMPARE(w->cuts(), before);
    d->reject();
  }

  // A change of the scan's settings asks before it throws edits away: No
  // keeps them and the old value, Yes scans again with the cuts it finds.
  void aNewScanAsksBeforeItThrowsEditsAway() {
    mv::PreviewDialog* d = openTape();
    QVERIFY(d);
    QSignalSpy ended(d, &mv::PreviewDialog::scanEnded);
    const std::vector<int64_t> found = d->Waveform->cuts();
    const std::size_t shown = boxes_.shown.size();
    d->RunLengthEdit->setValue(300);  // nothing edited: nothing asked
    QVERIFY(ended.wait(10000));
    QCOMPARE(boxes_.shown.size(), shown);
    click(d->Waveform, 6000);
    QTest::keyClick(d, Qt::Key_Insert, Qt::ShiftModifier);
    const std::vector<int64_t> edited = d->Waveform->cuts();
    boxes_.answers = {false};
    d->ThresholdEdit->setValue(20);
    QCOMPARE(boxes_.shown.size(), shown + 1);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kDiscardEdits));
    QCOMPARE(d->ThresholdEdit->value(), 100);
    QVERIFY(!ended.wait(600));
    QCOMPARE(d->Waveform->cuts(), edited);
    // Closing asks as well; No keeps the dialog and its edits.
    boxes_.answers = {false};
    d->reject();
    QCOMPARE(boxes_.shown.back().text, Text(msg::kCloseWithEdits));
    QVERIFY(d->isVisible());
    QCOMPARE(d->Waveform->cuts(), edited);
    boxes_.answers = {true};
    d->ThresholdEdit->setValue(20);
    QVERIFY(ended.wait(10000));
    QVERIFY(!d->edits().edited());
    QCOMPARE(d->Waveform->cuts(), (std::vector<int64_t>{0, found[1]}));  // only the zeros are quiet at T = 20
    d->reject();
  }

  // The view zooms by wheel and keys down to single frames read from the
  // source, WAVE or FLAC, scrolls, keeps the whole in its strip, and draws
  // the cuts placed by hand otherwise than those found.
  void theViewZoomsToSingleFrames_data() {
    QTest::addColumn<bool>("flac");
    QTest::newRow("WAVE") << false;
    QTest::newRow("FLAC") << true;
  }
  void theViewZoomsToSingleFrames() {
    QFETCH(bool, flac);
    mv::PreviewDialog* d = openTape(flac);
    QVERIFY(d);
    mv::WaveformView* w = d->Waveform;
    QCOMPARE(w->viewFrames(), int64_t{12001});
    const QPoint middle = at(w, 6000);
    QWheelEvent wheel(middle, w->mapToGlobal(middle), {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(w, &wheel);
    QVERIFY(std::abs(w->viewFrames() - 6000) <= 1);
    QVERIFY(std::abs(w->frameAt(middle.x()) - 6000) < 20);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_Plus);
    QVERIFY(std::abs(w->viewFrames() - 3000) <= 1);
    const int64_t first = w->viewFirst();
    QTest::keyClick(w, Qt::Key_Right);
    QCOMPARE(w->viewFirst(), first + w->viewFrames() / 8);
    QTest::keyClick(w, Qt::Key_Minus);
    QVERIFY(std::abs(w->viewFrames() - 6000) <= 2);
    // At the closest, a frame is many pixels wide: the last loud frame and
    // the first quiet one apart, which the envelope's steps of 3 cannot tell.
    w->zoom(1e6, 3000);
    w->scrollTo(2993);
    QCOMPARE(w->viewFrames(), int64_t{16});
    QVERIFY(w->xOfFrame(1) - w->xOfFrame(0) > 20);
    const QImage image = w->grab().toImage();
    const int y = qRound(w->plotRect().bottom()) - 3;
    const QColor background = image.pixelColor(qRound(w->xOfFrame(3003)), y);
    QVERIFY(image.pixelColor(qRound(w->xOfFrame(3000) + 2), y) != background);
    QCOMPARE(image.pixelColor(qRound(w->xOfFrame(3001) + 2), y), background);
    QCOMPARE(image.pixelColor(qRound(w->xOfFrame(3002) + 2), y), background);
    QVERIFY(w->overviewRect().top() > w->plotRect().bottom() && w->rect().contains(w->overviewRect().toRect()));

    // A found cut and one placed by hand, drawn apart; one more at the
    // quiet place near the cursor.
    w->zoom(1e-6, 0);
    click(w, 6000);
    QTest::keyClick(d, Qt::Key_Insert, Qt::ShiftModifier);
    click(w, 1500);
    QTest::keyClick(d, Qt::Key_Insert);
    QCOMPARE(w->cuts().at(1), int64_t{3001});
    const QImage whole = w->grab().toImage();
    auto colours = [&](int64_t frame) {
      std::set<QRgb> seen;
      for (int yy = qRound(w->plotRect().top()) + 2; yy < qRound(w->plotRect().bottom()) - 2; ++yy)
        seen.insert(whole.pixel(qRound(w->xOfFrame(frame)), yy));
      return seen;
    };
    const std::set<QRgb> byHand = colours(w->cuts()[3]), foundCut = colours(w->cuts()[2]);
    QVERIFY(byHand != foundCut);
    d->reject();
  }

  void pageToolTipsGiveDbfsAndSeconds_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("runLength");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("seconds");
    QTest::newRow("16-bit 44.1 kHz") << "16bit, Stereo, 44.1kHz" << 100 << 132300 << "-50.3 dBFS" << "3.00秒";
    QTest::newRow("8-bit 11 kHz") << "8bit, Mono, 11kHz" << 100 << 22050 << "-2.1 dBFS" << "2.00秒";
    QTest::newRow("16-bit 48 kHz, T = 0") << "16bit, Mono, 48kHz" << 0 << 12000 << "-∞ dBFS" << "0.25秒";
  }
  void pageToolTipsGiveDbfsAndSeconds() {
    QFETCH(QString, label);
    QFETCH(int, threshold);
    QFETCH(int, runLength);
    QFETCH(QString, level);
    QFETCH(QString, seconds);
    // The values first, then the format: the tips follow both.
    form_->SpinEdit7->setValue(threshold);
    form_->SpinEdit8->setValue(runLength);
    form_->ComboBox3->setCurrentIndex(form_->ComboBox3->findText(label));
    QCOMPARE(form_->SpinEdit7->toolTip(), QString("%1 = %2").arg(threshold).arg(level));
    QCOMPARE(form_->SpinEdit8->toolTip(), QString("%1ｻﾝﾌﾟﾙ = %2").arg(runLength).arg(seconds));
    form_->SpinEdit8->setValue(runLength * 2);
    QVERIFY(!form_->SpinEdit8->toolTip().contains(seconds));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  PreviewTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "preview_test.moc"
