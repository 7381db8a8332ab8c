// Listening through a private sound server (with-sound-server): what reaches
// a sink of the test's own, one that writes all it plays to a pipe, is the
// range asked for, from its first frame to its last and nothing around it,
// for 16-bit WAVE and 24-bit FLAC; a stop ends at once where the position
// said; a source unreadable at once or midway is said; a server gone
// mid-play ends it and is said. With no sound output at all (a child run
// without a server) that is said once and a play does nothing. The server
// rows skip without MORVANE_AUDIO.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

#include "play/piece_player.h"
#include "play/play_source.h"
#include "wave/errors.h"

namespace {

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

int run(const QString& program, const QStringList& args, QString* out = nullptr) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(30000)) return -1;
  if (out) *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The source's frames as 32-bit samples, as a 32-bit sink holds them.
std::vector<int32_t> framesOf(const std::string& path) {
  const auto s = mv::PlaySource::open(path);
  std::vector<int32_t> v(static_cast<std::size_t>(s->frames() * s->format().channels));
  s->read(v.data(), s->frames(), mv::OutputKind::Int32);
  return v;
}

// Where the first frames of want start in heard; its size if nowhere.
std::size_t find(const std::vector<int32_t>& heard, const int32_t* want) {
  for (std::size_t at = 0; at + 16 <= heard.size(); at += 2)
    if (std::equal(want, want + 16, heard.begin() + long(at))) return at;
  return heard.size();
}

bool silent(const std::vector<int32_t>& v, std::size_t from, std::size_t to) {
  return std::all_of(v.begin() + long(from), v.begin() + long(to), [](int32_t s) { return s == 0; });
}

}  // namespace

class PlayerTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString module_;
  QProcess capture_;
  qint64 mark_ = 0;

  std::string file(const QString& name) const { return dir_.filePath(name).toStdString(); }
  static bool haveServer() { return qgetenv("MORVANE_AUDIO") == "1"; }

  // What the sink is given from now on, as 32-bit stereo.
  void startCapture() { mark_ = QFileInfo(dir_.filePath("heard.raw")).size(); }
  std::vector<int32_t> stopCapture() {
    QTest::qWait(500);
    QFile f(dir_.filePath("heard.raw"));
    f.open(QIODevice::ReadOnly);
    f.seek(mark_);
    const QByteArray b = f.readAll();
    std::vector<int32_t> v(static_cast<std::size_t>(b.size()) / 4);
    std::memcpy(v.data(), b.constData(), v.size() * 4);
    return v;
  }

 private slots:
  void initTestCase() {
    if (!haveServer()) return;
    // A 32-bit sink of the test's own, the desktop's default, so that only
    // the player reaches it and every source bit arrives: it writes all it
    // plays to a pipe (a monitor would lose what a rewind replays).
    QCOMPARE(run("mkfifo", {dir_.filePath("sink")}), 0);
    capture_.setStandardOutputFile(dir_.filePath("heard.raw"));
    capture_.start("cat", {dir_.filePath("sink")});
    QVERIFY(capture_.waitForStarted());
    QCOMPARE(run("pactl", {"load-module", "module-pipe-sink", "sink_name=listen", "file=" + dir_.filePath("sink"),
                           "rate=44100", "channels=2", "format=s32le", "use_system_clock_for_timing=yes"}, &module_), 0);
    QCOMPARE(run("pactl", {"set-default-sink", "listen"}), 0);
    // The server takes the tone feeding vsink along to a new default: back.
    QString inputs;
    QCOMPARE(run("pactl", {"list", "short", "sink-inputs"}, &inputs), 0);
    for (const QString& line : inputs.split('\n', Qt::SkipEmptyParts))
      QCOMPARE(run("pactl", {"move-sink-input", line.section('\t', 0, 0), "vsink"}), 0);
    QCOMPARE(run("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", dir_.filePath("noise16.wav"), "synth",
                         "4", "whitenoise", "vol", "0.8"}), 0);
    QCOMPARE(run("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "24", dir_.filePath("noise24.wav"), "synth",
                         "4", "whitenoise", "vol", "0.8"}), 0);
    QCOMPARE(run("flac", {"-s", "-o", dir_.filePath("noise24.flac"), dir_.filePath("noise24.wav")}), 0);
  }
  void cleanupTestCase() {
    if (module_.isEmpty()) return;
    run("pactl", {"set-default-sink", "vsink"});
    run("pactl", {"unload-module", module_});
    capture_.kill();
    capture_.waitForFinished();
  }

  void playsExactlyTheRangeAsked_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::newRow("16-bit WAVE, a middle part") << "noise16.wav" << qint64(44100 + 7) << qint64(2 * 44100 + 22053);
    QTest::newRow("24-bit FLAC, the seconds before a cut")
        << "noise24.flac" << qint64(mv::BeforeCut(150001, 176400, 44100, 1.5).from) << qint64(150001);
  }
  void playsExactlyTheRangeAsked() {
    if (!haveServer()) QSKIP("no sound server for this run");
    QFETCH(QString, name);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    const std::vector<int32_t> source = framesOf(file(name));
    startCapture();
    mv::PiecePlayer player;
    QSignalSpy stopped(&player, &mv::PiecePlayer::stopped), failed(&player, &mv::PiecePlayer::failed);
    std::vector<qint64> positions;
    connect(&player, &mv::PiecePlayer::positionChanged, this, [&](qint64 f) { positions.push_back(f); });
    QElapsedTimer took;
    took.start();
    QVERIFY(player.play(file(name), from, to));
    QVERIFY(player.playing());
    QVERIFY(stopped.wait(10000));
    const double seconds = took.elapsed() / 1000.0, length = double(to - from) / 44100;
    QVERIFY2(seconds >= length && seconds < length + 0.5, qPrintable(QString::number(seconds)));
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(failed.count(), 0);
    QVERIFY(!player.playing());
    QCOMPARE(player.reached(), to);
    QVERIFY2(positions.size() >= std::size_t(length * 20), qPrintable(QString::number(positions.size())));
    QVERIFY(std::is_sorted(positions.begin(), positions.end()));
    QCOMPARE(positions.front(), from);
    QCOMPARE(positions.back(), to);

    const std::vector<int32_t> heard = stopCapture();
    const std::size_t n = 2 * std::size_t(to - from), first = find(heard, &source[2 * std::size_t(from)]);
    QVERIFY2(first + n <= heard.size(), qPrintable(QString("the range starts at %1 of %2").arg(first).arg(heard.size())));
    for (std::size_t i = 0; i < n; ++i)
      QVERIFY2(heard[first + i] == source[2 * std::size_t(from) + i], qPrintable(QString("frame %1 of the range: %2").arg(i / 2).arg(heard[first + i])));
    QVERIFY2(silent(heard, 0, first) && silent(heard, first + n, heard.size()), "something around the range");
  }

  // Stopped a while in: at once, at about the position heard; what reached
  // the sink is the start of the range; a source that cannot be read, at
  // once or midway, is said.
  void stopEndsAtOnceAndAnUnreadableSourceIsSaid() {
    if (!haveServer()) QSKIP("no sound server for this run");
    const std::vector<int32_t> source = framesOf(file("noise16.wav"));
    startCapture();
    mv::PiecePlayer player;
    QSignalSpy stopped(&player, &mv::PiecePlayer::stopped), failed(&player, &mv::PiecePlayer::failed);
    QVERIFY(player.play(file("noise16.wav"), 0));
    QTest::qWait(1000);
    player.stop();
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!player.playing());
    QVERIFY2(player.reached() > 0.7 * 44100 && player.reached() < 1.05 * 44100, qPrintable(QString::number(player.reached())));
    const std::vector<int32_t> heard = stopCapture();
    const std::size_t first = find(heard, source.data());
    QVERIFY2(first < heard.size() && silent(heard, 0, first), "the start is missing");
    std::size_t n = 0;
    while (first + n < heard.size() && heard[first + n] == source[n]) ++n;
    // The position said is what was heard, within the server's latency.
    QVERIFY2(std::abs(int64_t(n / 2) - player.reached()) < 44100 / 20, qPrintable(QString("%1 heard, %2 said").arg(n / 2).arg(player.reached())));
    QVERIFY(silent(heard, first + n, heard.size()));

    QVERIFY(!player.play(file("missing.wav"), 0));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toString(), text(mv::withReportDot(mv::format(mv::msg::kCannotOpen, file("missing.wav")))));
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!player.playing());
    // Frames that cannot be decoded a second in end the playback there.
    QFile::copy(dir_.filePath("noise24.flac"), dir_.filePath("broken.flac"));
    QFile broken(dir_.filePath("broken.flac"));
    QVERIFY(broken.open(QIODevice::ReadWrite));
    broken.seek(broken.size() / 4);
    broken.write(QByteArray(broken.size() / 2, '\x55'));
    broken.close();
    QVERIFY(player.play(file("broken.flac"), 0));
    QVERIFY(stopped.wait(3000));
    QCOMPARE(failed.count(), 2);
    QCOMPARE(failed.at(1).at(0).toString(), text(mv::withReportDot(mv::format(mv::msg::kFlacDecodeError, file("broken.flac")))));
    QVERIFY2(player.reached() > 0.5 * 44100 && player.reached() < 1.05 * 44100, qPrintable(QString::number(player.reached())));
  }

  // Run again in a child with a server of its own, which goes mid-play.
  void aServerGoneEndsThePlaybackAndIsSaid() {
    if (!haveServer()) QSKIP("no sound server for this run");
    if (qgetenv("MORVANE_SERVER_GOES") != "1") {
      QProcess child;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert("MORVANE_SERVER_GOES", "1");
      child.setProcessEnvironment(env);
      child.start(qEnvironmentVariable("MORVANE_SOUND_SCRIPT"),
                  {QCoreApplication::applicationFilePath(), "aServerGoneEndsThePlaybackAndIsSaid"});
      QVERIFY(child.waitForFinished(30000));
      QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
      return;
    }
    mv::PiecePlayer player;
    QSignalSpy unavailable(&player, &mv::PiecePlayer::unavailable), stopped(&player, &mv::PiecePlayer::stopped);
    QVERIFY(player.play(file("noise16.wav"), 0));
    QTest::qWait(500);
    QCOMPARE(run("kill", {"-TERM", qEnvironmentVariable("MORVANE_PA_PID")}), 0);
    QVERIFY(stopped.wait(3000));
    QCOMPARE(unavailable.count(), 1);
    QVERIFY(!player.playing());
    QVERIFY(player.reached() < 44100);
  }

  // Run again in a child where no server can be reached.
  void noOutputIsSaidOnce() {
    if (qgetenv("MORVANE_NO_OUTPUT") != "1") {
      QTemporaryDir empty;
      QProcess child;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert("MORVANE_NO_OUTPUT", "1");
      env.remove("MORVANE_AUDIO");
      env.insert("PULSE_SERVER", "unix:" + empty.filePath("none"));
      env.insert("XDG_RUNTIME_DIR", empty.path());
      child.setProcessEnvironment(env);
      child.start(QCoreApplication::applicationFilePath(), {"noOutputIsSaidOnce"});
      QVERIFY(child.waitForFinished(20000));
      QVERIFY2(child.exitCode() == 0, child.readAllStandardOutput().constData());
      return;
    }
    mv::PiecePlayer player;
    QSignalSpy unavailable(&player, &mv::PiecePlayer::unavailable), stopped(&player, &mv::PiecePlayer::stopped),
        moved(&player, &mv::PiecePlayer::positionChanged);
    QVERIFY(!player.play(file("whatever.wav"), 0));
    QVERIFY(!player.play(file("whatever.wav"), 100, 200));
    player.stop();
    QTest::qWait(100);
    QCOMPARE(unavailable.count(), 1);
    QCOMPARE(unavailable.at(0).at(0).toString(), text(mv::msg::kNoOutputDevice));
    QCOMPARE(stopped.count() + moved.count(), 0);
    QVERIFY(!player.playing());
  }
};

QTEST_GUILESS_MAIN(PlayerTest)
#include "player_test.moc"
