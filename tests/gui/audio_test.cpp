// Recording from a real sound server (tests/audio/with-sound-server): the
// window records the test tone for a set length and cuts it, the closing
// question saves a recording, a measurement ended early is analysed; the
// window and the command line record the server's default input as it is
// at the start, or a chosen one, and every way a recording can end (its
// length, a signal, kill -9, a full disk, the server killed, a server that
// does not answer) leaves a valid file and says what happened; a server gone
// before the start is said and writes nothing; an input that sends only
// silence, or sends late, and a recorder held up for a while, record to the
// end; where the server captures 32-bit integers, a 24-bit recording keeps
// what it was fed. Skips when no server is up.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <sys/types.h>
#include <unistd.h>

#include "app/adjfrm.h"
#include "app/level_meter.h"
#include "app/mvfrm.h"
#include "app/services.h"
#include "app/startup.h"
#include "record/analysis.h"
#include "record/audio_inputs.h"
#include "record/capacity.h"
#include "record/capabilities.h"
#include "record/qt_wave_device.h"
#include "tests/gui/fixture.h"
#include "tests/support.h"
#include "wave/layout.h"

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

// Seconds of sound a file's header claims, when the header is sound: both
// sizes agree, claim no more than the file holds, and whole frames.
double claimedSeconds(const Bytes& f) {
  if (f.size() < 44) return -1;
  const uint32_t data = mv::test::Get32(f, 40);
  const uint32_t frame = mv::test::Get16(f, 32);
  if (mv::test::Get32(f, 4) != data + 36 || data > f.size() - 44 || frame == 0 || data % frame != 0) return -1;
  return static_cast<double>(data) / mv::test::Get32(f, 28);
}

struct Ran {
  int status = -1;  // the exit status; -1 when it did not exit by itself
  QString out, err;
};

QString cli() { return QString::fromLocal8Bit(qgetenv("MORVANE_CLI")); }

// A shell line with CLI set to morvane-cli (and more variables), to its end.
Ran shell(const QString& script, int timeoutMs = 30000, const QStringList& vars = {}) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("CLI", cli());
  for (int i = 0; i + 1 < vars.size(); i += 2) env.insert(vars[i], vars[i + 1]);
  p.setProcessEnvironment(env);
  // A group of its own, so that a line that overruns is ended with all it
  // started (a sound server of its own included), not the shell alone.
  p.setChildProcessModifier([] { setpgid(0, 0); });
  p.start("bash", {"-c", script});
  Ran r;
  if (!p.waitForFinished(timeoutMs)) {
    ::kill(-static_cast<pid_t>(p.processId()), SIGKILL);
    p.waitForFinished();
  } else {
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

QString q(const QString& s) { return "'" + s + "'"; }

// What starts a second server of the kind this run has, for a test's own.
QByteArray soundScript() {
  return qEnvironmentVariableIsSet("MORVANE_SOUND_SCRIPT") ? qgetenv("MORVANE_SOUND_SCRIPT")
                                                           : QByteArray(MORVANE_SOUND_SERVER);
}

// Answers the program's boxes as a user would (Yes, else OK), printing each
// box's text.
void answerBoxes(QObject* owner) {
  auto* answer = new QTimer(owner);
  QObject::connect(answer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      std::printf("%s\n", box->text().toUtf8().constData());
      std::fflush(stdout);
      QAbstractButton* yes = box->button(QMessageBox::Yes);
      (yes ? yes : box->button(QMessageBox::Ok))->click();
    }
  });
  answer->start(20);
}

}  // namespace

// The fixture with the real input, space and device; the boxes stay scripted.
class AudioTest : public QObject, mv::test::WindowFixture {
  Q_OBJECT

  mv::QtAudioInputs inputs_;
  mv::FileSystems space_;
  mv::QtWaveDevice device_;

  void setDefaultSource(const char* name) { QCOMPARE(shell(QString("pactl set-default-source ") + name).status, 0); }

 private slots:
  void initTestCase() {
    if (qgetenv("MORVANE_AUDIO") != "1") QSKIP("no sound server for this run");
    if (inputs_.list().inputs.empty()) QSKIP("the sound server lists no input");
  }
  void init() {
    setUp();
    device_.setOpener(mv::CaptureFile::OpenFile);
    open({boxes_, inputs_, space_, device_});
    QTRY_VERIFY_WITH_TIMEOUT(form_->haveInput(), 3000);
    const int stereo = form_->ComboBox2->findText("16bit, Stereo, 44.1kHz");
    QVERIFY(stereo >= 0);
    form_->ComboBox2->setCurrentIndex(stereo);
    emit form_->ComboBox2->activated(stereo);
  }
  void cleanup() {
    tearDown();
    setDefaultSource("vmic");
  }

  void recordsTwoSecondsOfTheToneAndCutsThem() {
    QDir().mkpath(dir("songs"));
    form_->Edit4->setText(dir("songs"));
    form_->SpinEdit3->setValue(2);
    QVERIFY(form_->CheckBox1->isChecked());
    QElapsedTimer press;
    press.start();
    form_->BitBtn5->click();
    QVERIFY2(press.elapsed() < 300, qPrintable(QString("the press took %1 ms").arg(press.elapsed())));
    QVERIFY(form_->recording());
    QTRY_VERIFY_WITH_TIMEOUT(!form_->recording(), 8000);
    const Bytes rec = mv::test::ReadBytes(file("morvntmp.wav"));
    QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
    QCOMPARE(mv::test::Get16(rec, 22), 2);
    QCOMPARE(mv::test::Get32(rec, 24), 44100u);
    QCOMPARE(mv::test::Get16(rec, 34), 16);
    const double seconds = static_cast<double>(rec.size() - 44) / 176400.0;
    QVERIFY2(seconds > 1.8 && seconds < 2.2, qPrintable(QString("recorded %1 s").arg(seconds)));
    QVERIFY2(loudness(rec) > 3000, "the tone is not in the recording");
    QVERIFY(form_->Meter->updates() >= 30);  // at least 15 a second
    QVERIFY(form_->Meter->clipped(0) == false);
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

  // A disk that fills up under the real device: the recording ends with
  // the message, what got in is a valid file, and no cut follows.
  void aFullDiskEndsTheWindowsRecording() {
    QDir().mkpath(dir("songs"));
    form_->Edit4->setText(dir("songs"));
    form_->SpinEdit3->setValue(10);
    device_.setOpener(mv::test::FullDiskAfter(300000));
    form_->BitBtn5->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form_->recording(), 4000);
    QCOMPARE(boxes_.shown.back().text, Text(msg::kRecordingWriteFailed));
    QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
    const Bytes rec = mv::test::ReadBytes(file("morvntmp.wav"));
    QVERIFY(rec.size() > 44 + 250000 && rec.size() <= 44 + 300000);
    QVERIFY(mv::test::FileNames(file("songs"), "mv").empty());
  }

  void measurementEndedEarlyMatchesItsFile() {
    Bytes saved;
    connect(form_, &mv::TForm1::measurementSaved, this,
            [&](const QString& path) { saved = mv::test::ReadBytes(path.toStdString()); });
    int meterUpdates = 0;
    QTimer::singleShot(1500, this, [&] {
      meterUpdates = form_->Meter->updates();
      windows_.measuring->Button1->click();
    });
    form_->Button14->click();
    QVERIFY2(meterUpdates >= 22, qPrintable(QString::number(meterUpdates)));
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

  // The desktop's default input is the one recorded, by the window and the
  // command line, unless another is named.
  void theServersDefaultInputIsRecorded() {
    struct Row {
      const char* defaultSource;
      QString args;
      bool loud;
    };
    const std::vector<Row> rows = {
        {"silence", "", false},
        {"vmic", "", true},
        {"vmic", "--input silence", false},
        {"silence", "--input vmic", true},
    };
    for (const Row& row : rows) {
      setDefaultSource(row.defaultSource);
      const Ran r = shell("$CLI record --yes --length 0:00:01 --out " + q(dir()) + " " + row.args);
      QCOMPARE(r.status, 0);
      const double level = loudness(mv::test::ReadBytes(file("morvntmp.wav")));
      QVERIFY2(row.loud ? level > 3000 : level == 0, qPrintable(QString("%1 %2: %3").arg(row.defaultSource, row.args).arg(level)));
    }
    setDefaultSource("silence");
    const Ran list = shell("$CLI record --list-inputs");
    QCOMPARE(list.status, 0);
    QVERIFY2(list.out.contains("* silence\t") && list.out.contains("  vmic\tVirtualMic"), qPrintable(list.out));
    // The window asks when it starts.
    tearDown();
    setUp();
    open({boxes_, inputs_, space_, device_});
    QTRY_VERIFY_WITH_TIMEOUT(form_->haveInput(), 3000);
    QCOMPARE(form_->input(), std::string("silence"));
    // And again when Record is pressed: a default changed while the window
    // is open (a headset plugged in, the desktop's settings) is recorded.
    form_->CheckBox1->setChecked(false);
    form_->SpinEdit3->setValue(1);
    for (const char* source : {"vmic", "silence"}) {
      setDefaultSource(source);
      boxes_.answers = {true};  // replace the last one
      form_->BitBtn5->click();
      QTRY_VERIFY_WITH_TIMEOUT(!form_->recording(), 8000);
      QCOMPARE(boxes_.shown.back().text, Text(msg::kRecordingDone));
      const double level = loudness(mv::test::ReadBytes(file("morvntmp.wav")));
      QVERIFY2(source == std::string("vmic") ? level > 3000 : level == 0,
               qPrintable(QString("%1: %2").arg(source).arg(level)));
      QCOMPARE(form_->input(), std::string(source));
    }
  }

  // Lengths within a fifth of a second; the default format; labels the
  // input does not offer and lengths the file cannot hold are wrong usage.
  void commandLineRecordsTheLengthAndFormatAsked() {
    struct Row {
      QString args;
      int channels, rate;
      double seconds;
    };
    const std::vector<Row> rows = {
        {"--length 0:00:01 --format '16bit, Mono, 22kHz'", 1, 22050, 1},
        {"--length 3s", 2, 44100, 3},
    };
    for (const Row& row : rows) {
      const Ran r = shell("$CLI record --yes --out " + q(dir()) + " " + row.args);
      QCOMPARE(r.status, 0);
      QVERIFY(r.err.contains(Text(msg::kRecordingDone)));
      const Bytes rec = mv::test::ReadBytes(file("morvntmp.wav"));
      QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
      QCOMPARE(int(mv::test::Get16(rec, 22)), row.channels);
      QCOMPARE(int(mv::test::Get32(rec, 24)), row.rate);
      const double seconds = claimedSeconds(rec);
      QVERIFY2(std::abs(seconds - row.seconds) <= 0.2, qPrintable(QString("%1: %2 s").arg(row.args).arg(seconds)));
      QVERIFY(loudness(rec) > 3000);
    }
    for (const QString& args : {QString("--format '16bit, Mono, 5kHz'"), QString("--length 3:30:00"),
                                QString("--input nowhere")}) {
      const Ran r = shell("$CLI record --yes --out " + q(dir("none")) + " " + args);
      QCOMPARE(r.status, 2);
      QVERIFY(!QFileInfo::exists(dir("none")));
    }
  }

  // 24 bits where the server captures 32-bit integers: the window lists
  // the 24-bit labels after the others, and the command line records a
  // counter fed to a sink of this test's own at 48 kHz (left 3n, right its
  // complement, 16-bit). The file is the extensible header for what it
  // holds and the counter scaled to 24 bits, frame by frame; the cut that
  // follows gets it whole. A 24-bit label the input lacks is refused.
  void recordsTwentyFourBitsFromTheServer() {
    if (!(inputs_.capabilityFlags(form_->input()) & mv::kCap48kStereo24))
      QSKIP("the sound server does not capture 32-bit integers at 48 kHz: no 24-bit recording to test");
    int lastListed = -1, first24 = form_->ComboBox2->count();
    for (int i = 0; i < form_->ComboBox2->count(); ++i) {
      if (form_->ComboBox2->itemText(i).startsWith("24bit, "))
        first24 = std::min(first24, i);
      else
        lastListed = i;
    }
    QVERIFY2(lastListed < first24 && form_->ComboBox2->findText("24bit, Stereo, 48kHz") >= 0,
             qPrintable(QString("%1 %2").arg(lastListed).arg(first24)));

    QStringList modules;
    struct Unload {
      QStringList& ids;
      ~Unload() {
        for (const QString& id : ids) shell("pactl unload-module " + id);
      }
    } unload{modules};
    for (const QString& load :
         {QString("module-null-sink sink_name=counter rate=48000 channels=2 format=s16le"),
          QString("module-remap-source master=counter.monitor source_name=countermic")}) {
      const Ran r = shell("pactl load-module " + load);
      QCOMPARE(r.status, 0);
      modules.prepend(r.out.trimmed());
    }
    Bytes frames;
    for (int n = 0; n < 48000 * 30; ++n) {
      const auto left = static_cast<uint16_t>(3 * n);
      mv::test::Put16(frames, left);
      mv::test::Put16(frames, static_cast<uint16_t>(~left));
    }
    mv::test::WriteBytes(file("counter.wav"), mv::test::MakeWav(2, 48000, 16, frames));
    QProcess feed;
    feed.start("paplay", {"--latency-msec=20", "-d", "counter", dir("counter.wav")});
    QVERIFY(feed.waitForStarted());
    struct Stop {
      QProcess& p;
      ~Stop() {
        p.kill();
        p.waitForFinished();
      }
    } stop{feed};
    QTest::qWait(2500);  // the sink awake and fed

    QDir().mkpath(dir("songs"));
    const Ran r = shell("$CLI record --yes --input countermic --out " + q(dir()) +
                        " --length 2s --format '24bit, Stereo, 48kHz' --cut --cut-out " + q(dir("songs")));
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const Bytes rec = mv::test::ReadBytes(file("morvntmp.wav"));
    const mv::PcmFormat f{2, 48000, 24, mv::SampleKind::Integer};
    const mv::ExtendedHeader header(f, {}, false);
    QVERIFY(rec.size() >= 68);
    const auto dataBytes = static_cast<int64_t>(rec.size()) - header.size();
    QVERIFY(Bytes(rec.begin(), rec.begin() + header.size()) == header.bytes(dataBytes));
    QCOMPARE(dataBytes % 6, 0);
    const double seconds = static_cast<double>(dataBytes) / 288000.0;
    QVERIFY2(std::abs(seconds - 2) <= 0.2, qPrintable(QString("%1 s").arg(seconds)));
    // Each frame the counter's, scaled (its lowest byte 0), or silence
    // where the feed fell behind; from one frame to the next it counts on.
    const auto sample = [&](std::size_t at) {
      return static_cast<int32_t>(static_cast<uint32_t>(rec[at] << 8 | rec[at + 1] << 16 | rec[at + 2] << 24)) >> 8;
    };
    int64_t sounding = 0, steps = 0, onward = 0;
    int32_t before = 0;
    bool beforeSounding = false;
    for (std::size_t at = 68; at + 6 <= rec.size(); at += 6) {
      const int32_t left = sample(at), right = sample(at + 3);
      if (left == 0 && right == 0) {
        beforeSounding = false;
        continue;
      }
      QVERIFY2((left & 0xFF) == 0 && (right & 0xFF) == 0 && (right >> 8) == ~(left >> 8),
               qPrintable(QString("frame %1: %2 %3").arg((at - 68) / 6).arg(left).arg(right)));
      ++sounding;
      if (beforeSounding) {
        ++steps;
        if (static_cast<int16_t>((left >> 8) - (before >> 8)) == 3) ++onward;
      }
      before = left;
      beforeSounding = true;
    }
    const int64_t total = dataBytes / 6;
    QVERIFY2(sounding >= total * 9 / 10, qPrintable(QString("%1 of %2 frames").arg(sounding).arg(total)));
    QVERIFY2(onward >= steps * 99 / 100, qPrintable(QString("%1 of %2 steps").arg(onward).arg(steps)));
    // The cut after it: one song, the recording's samples under its own header.
    QCOMPARE(mv::test::FileNames(file("songs"), "mv"), std::vector<std::string>{"mv000001.wav"});
    const mv::WaveLayout song = mv::ReadWaveLayout(file("songs/mv000001.wav"));
    QCOMPARE(song.format, f);
    const Bytes piece = mv::test::ReadBytes(file("songs/mv000001.wav"));
    QVERIFY(Bytes(piece.begin() + song.dataOffset, piece.end()) == Bytes(rec.begin() + header.size(), rec.end()));

    const Ran refused = shell("$CLI record --yes --input countermic --out " + q(dir("none")) +
                              " --format '24bit, Stereo, 192kHz'");
    QCOMPARE(refused.status, 2);
    const QStringList said = QString::fromUtf8(msg::kUsageFormatNotOffered.data(),
                                               static_cast<qsizetype>(msg::kUsageFormatNotOffered.size()))
                                 .split("%s");
    QCOMPARE(said.size(), 3);
    QVERIFY2(refused.err.contains(said[0] + "countermic" + said[1] + "\"24bit, Stereo, 192kHz\"" + said[2]),
             qPrintable(refused.err));
    QVERIFY(!QFileInfo::exists(dir("none")));
  }

  // The cut after the recording takes the cut's options. At threshold
  // 10000 with a run of 5 frames the tone breaks at every half period, into
  // thousands of pieces; the tolerance of clicks, or the shortest song, puts
  // it back in one. Under a locale that writes "0,1" (Qt takes the user's)
  // 0.1 is still read as a tenth of a second, not as 0.
  void commandLineCutsWhenAsked() {
    QString german = "LC_ALL=de_DE.UTF-8 ";
    if (!shell(german + "locale >/dev/null").err.isEmpty()) {
      german.prepend("LOCPATH=" + q(dir()) + " ");
      if (shell("localedef -i de_DE -f UTF-8 " + q(dir("de_DE.UTF-8"))).status != 0)
        german.clear();  // no German locale to be had: the row runs as the one before
    }
    struct Row {
      QString env, options;
    };
    const std::vector<Row> rows = {{"", ""},
                                   {"", "--threshold 10000 --run 5 --ignore-clicks 1ms"},
                                   {"", "--threshold 10000 --run 5 --min-song 0.1"},
                                   {german, "--threshold 10000 --run 5 --min-song 0.1"}};
    for (const Row& row : rows) {
      QDir(dir("songs")).removeRecursively();
      QDir().mkpath(dir("songs"));
      const Ran r = shell(row.env + "$CLI record --yes --out " + q(dir()) + " --length 2s --cut --cut-out " +
                          q(dir("songs")) + " " + row.options);
      QCOMPARE(r.status, 0);
      QCOMPARE(mv::test::FileNames(file("songs"), "mv"), std::vector<std::string>{"mv000001.wav"});
      QVERIFY(!r.err.contains(Text(msg::kRecordingDone)));
      // The cut's summary, as after the cut command.
      QVERIFY2(r.err.contains(Text(msg::kCutSummary, "1").section("%s", 0, 0)), qPrintable(r.err));
      if (row.options.contains("--min-song")) QVERIFY2(r.err.contains(" 0.1秒 "), qPrintable(r.err));
      QCOMPARE(mv::test::DataOf(mv::test::ReadBytes(file("songs/mv000001.wav"))),
               mv::test::DataOf(mv::test::ReadBytes(file("morvntmp.wav"))));
    }
    // A folder for the pieces that is not there: nothing is recorded.
    const Ran gone = shell("$CLI record --yes --out " + q(dir()) + " --length 2s --cut --cut-out " + q(dir("gone")));
    QCOMPARE(gone.status, 1);
    QVERIFY(gone.err.contains(Text(msg::kCannotCreate, dir("gone/mv000001.wav"))));
  }

  // kill -9 at any moment: the header claims all but the last second.
  void killedRecordingsKeepAllButTheLastSecond() {
    for (int ms : {1300, 2600, 3900}) {
      QFile::remove(dir("morvntmp.wav"));
      QProcess p;
      p.start(cli(), {"record", "--out", dir(), "--length", "0:00:30"});
      QElapsedTimer since;
      while (!QFileInfo::exists(dir("morvntmp.wav"))) QThread::msleep(2);
      since.start();
      QThread::msleep(static_cast<unsigned long>(ms));
      const double killedAt = static_cast<double>(since.elapsed()) / 1000.0;
      p.kill();
      p.waitForFinished();
      const double seconds = claimedSeconds(mv::test::ReadBytes(file("morvntmp.wav")));
      QVERIFY2(seconds >= killedAt - 1.0 && seconds <= killedAt + 0.1,
               qPrintable(QString("killed at %1 s: %2 s claimed").arg(killedAt).arg(seconds)));
    }
  }

  // The file-size limit of the shell (a full disk for the process), the
  // server killed, and a server that stops sending: each ends the recording
  // with its message, status 1, a valid file, and no cut.
  void aFullDiskOrAKilledServerEndsTheRecording() {
    QDir().mkpath(dir("songs"));
    struct Row {
      QString script;
      std::string_view message;
      double least, most;  // seconds recorded
    };
    const QString record = "$CLI record --yes --out " + q(dir()) + " --length 8s --cut --cut-out " + q(dir("songs"));
    // The server killed is a second one of this test's own, of the same kind.
    const QByteArray script = soundScript();
    const std::vector<Row> rows = {
        {"ulimit -f 300; " + record, msg::kRecordingWriteFailed, 1.5, 300 * 1024 / 176400.0},
        {"\"$WITH\" bash -c \"$INNER\"", msg::kRecordingInputLost, 1.5, 2.2},
        {"\"$WITH\" bash -c \"$STOPPED\"", msg::kRecordingInputSilent, 1.5, 2.2},
    };
    // Once 1.8 s are in the file, however slow the start on a busy machine.
    const QString recorded = " & until [ $(stat -c %s " + q(dir("morvntmp.wav")) +
                             " 2>/dev/null || echo 0) -ge 317564 ]; do sleep 0.02; done; ";
    const QString inner = record + recorded + "kill -9 $MORVANE_PA_PID; wait $!";
    // A server that stops sending: the input is silent.
    const QString stopped = record + recorded + "kill -STOP $MORVANE_PA_PID; wait $!; s=$?; kill -CONT $MORVANE_PA_PID; exit $s";
    for (const Row& row : rows) {
      QFile::remove(dir("morvntmp.wav"));
      // A server of its own starts slowly on a busy machine: time enough.
      const Ran r = shell(row.script, 60000, {"WITH", QString::fromLocal8Bit(script), "INNER", inner, "STOPPED", stopped});
      QVERIFY2(r.status == 1, qPrintable(QString("status %1 of %2: %3").arg(r.status).arg(row.script, r.err)));
      QVERIFY2(r.err.contains(Text(row.message)), qPrintable(r.err));
      QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
      const double seconds = claimedSeconds(mv::test::ReadBytes(file("morvntmp.wav")));
      QVERIFY2(seconds >= row.least && seconds <= row.most, qPrintable(QString::number(seconds)));
      QVERIFY(mv::test::FileNames(file("songs"), "mv").empty());
    }
  }

  // A server gone while the window is open, before Record is pressed: the
  // window says so and writes nothing, neither a new file nor over the
  // recording the user agreed to replace. The server is a second one of
  // this test's own, as is the window, which connects to it alone.
  void aServerGoneBeforeRecordingIsSaidAndWritesNothing() {
    const QString gone = Text(msg::kRecordingInputGone) + "\n";
    const Ran r = shell("\"$WITH\" \"$TEST\" --record-after-the-server-goes " + q(dir()), 30000,
                        {"WITH", QString::fromLocal8Bit(soundScript()), "TEST",
                         QCoreApplication::applicationFilePath()});
    QCOMPARE(r.out, gone + "no file\n" + Text(msg::kOverwriteRecording) + "\n" + gone + "kept\n");
  }

  // A recorder held up for longer than an input may stay silent (stopped,
  // then resumed) records to its end: the gap was its own, not the input's.
  // The server is held too, from before the recorder to a moment after it,
  // so that no sound waits for the recorder when it resumes: it must wait.
  void aRecorderHeldUpRecordsToItsEnd() {
    const qint64 server = qEnvironmentVariableIntValue("MORVANE_PA_PID");
    if (server <= 0) QSKIP("the server's process is not known");
    const Ran r = shell("trap 'kill -CONT $MORVANE_PA_PID' EXIT; $CLI record --yes --out " + q(dir()) +
                        " --length 4s & p=$!; while [ ! -e " + q(dir("morvntmp.wav")) +
                        " ]; do sleep 0.01; done; sleep 1; kill -STOP $MORVANE_PA_PID; sleep 0.3; kill -STOP $p; "
                        "sleep 8; kill -CONT $p; sleep 0.3; kill -CONT $MORVANE_PA_PID; wait $p");
    QVERIFY2(r.status == 0 && r.err.contains(Text(msg::kRecordingDone)), qPrintable(r.err));
    QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
    const double seconds = claimedSeconds(mv::test::ReadBytes(file("morvntmp.wav")));
    QVERIFY2(std::abs(seconds - 4) <= 0.2, qPrintable(QString("%1 s").arg(seconds)));
  }

  // An input that sends only zeros records to its end, also when the server
  // had suspended it for want of use: zeros are sound, and only an input
  // that sends nothing at all has gone. silence is a silent source and
  // quietmic the monitor of a sink that nothing plays to; both record at once.
  void aSilentInputRecordsToTheEnd() {
    auto suspended = [](const QString& input) {
      for (const QString& line : shell("pactl list short sources").out.split('\n')) {
        const QStringList f = line.split('\t');
        if (f.size() >= 5 && f[1] == input) return f[4] == "SUSPENDED";
      }
      return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(suspended("silence") && suspended("quietmic"), 10000);
    const QString inputs[] = {"silence", "quietmic"};
    QProcess runs[2];
    for (int i = 0; i < 2; ++i) {
      QDir().mkpath(dir(inputs[i]));
      runs[i].start(cli(), {"record", "--out", dir(inputs[i]), "--length", "8s", "--input", inputs[i]});
    }
    for (int i = 0; i < 2; ++i) {
      QVERIFY(runs[i].waitForFinished(20000));
      const QString err = QString::fromUtf8(runs[i].readAllStandardError());
      QVERIFY2(runs[i].exitCode() == 0 && err.contains(Text(msg::kRecordingDone)), qPrintable(inputs[i] + ": " + err));
      const std::string path = file(inputs[i] + "/morvntmp.wav");
      QVERIFY(mv::test::IsFinishedWave(path));
      const Bytes rec = mv::test::ReadBytes(path);
      QCOMPARE(loudness(rec), 0.0);
      // A sink that nothing plays to may send in blocks of 2 seconds, the
      // last one after the clock's end: the recording waits for it.
      const double seconds = claimedSeconds(rec);
      QVERIFY2(std::abs(seconds - 8) <= 0.2, qPrintable(QString("%1: %2 s").arg(inputs[i]).arg(seconds)));
    }
  }

  // Many short recordings ended by a signal: each saved and valid, with the
  // signal's status, and no process dies on its way out.
  void fiftyShortRecordingsEndCleanly() {
    const int endings[] = {SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 50; ++i) {
      QFile::remove(QString::fromStdString(file("morvntmp.wav")));
      QProcess p;
      p.start(cli(), {"record", "--yes", "--out", dir(), "--length", "0:00:20"});
      QVERIFY(p.waitForStarted());
      // The signal comes while it records: a slow start (under the
      // sanitizers) must not let it come before the program can take it.
      QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QString::fromStdString(file("morvntmp.wav"))), 10000);
      QThread::msleep(QRandomGenerator::global()->bounded(250));
      const int sig = endings[i % 3];
      ::kill(static_cast<pid_t>(p.processId()), sig);
      QVERIFY(p.waitForFinished(5000));
      QVERIFY2(p.exitStatus() == QProcess::NormalExit,
               qPrintable(QString("run %1 died: %2").arg(i).arg(QString::fromUtf8(p.readAllStandardError()))));
      QCOMPARE(p.exitCode(), 128 + sig);
      QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
    }
  }

  // The program ends with status 0 when its window closes after a
  // recording and a measurement, or during a recording (saved on Yes), the
  // file finished: the sound server's client library must not take it down
  // on its way out, as it now and then does at exit.
  void closingTheWindowEndsTheProgramCleanly() {
    const QString done = Text(msg::kRecordingDone) + "\n";
    const struct {
      const char* mode;
      QString boxes;
    } rows[] = {{"--record-and-close", done}, {"--close-while-recording", Text(msg::kQuitWhileRecording) + "\n" + done}};
    for (int i = 0; i < 6; ++i) {
      QFile::remove(dir("morvntmp.wav"));
      QProcess p;
      p.start(QCoreApplication::applicationFilePath(), {rows[i % 2].mode, dir()});
      QVERIFY(p.waitForFinished(15000));
      const QString err = QString::fromUtf8(p.readAllStandardError());
      QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
               qPrintable(QString("%1, run %2: %3").arg(rows[i % 2].mode).arg(i).arg(err)));
      QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), rows[i % 2].boxes);
      QVERIFY(mv::test::IsFinishedWave(file("morvntmp.wav")));
      QVERIFY(claimedSeconds(mv::test::ReadBytes(file("morvntmp.wav"))) > 0.2);
    }
  }

  // A server that does not answer delays nothing: the window is there at
  // once, and the page says there is no input once the question gives up.
  void aServerThatDoesNotAnswerDelaysNothing() {
    const qint64 server = qEnvironmentVariableIntValue("MORVANE_PA_PID");
    if (server <= 0) QSKIP("the server's process is not known");
    tearDown();
    setUp();
    ::kill(static_cast<pid_t>(server), SIGSTOP);
    struct Resume {
      pid_t pid;
      ~Resume() { ::kill(pid, SIGCONT); }
    } resume{static_cast<pid_t>(server)};
    mv::QtAudioInputs inputs;
    QElapsedTimer t;
    t.start();
    open({boxes_, inputs, space_, device_});
    const qint64 shown = t.elapsed();
    const Ran list = shell("$CLI record --list-inputs", 10000);
    const qint64 listed = t.elapsed() - shown;
    QTRY_VERIFY_WITH_TIMEOUT(form_->InputStatus->text() == Text(msg::kNoDevice), 3000);
    QVERIFY2(shown < 500, qPrintable(QString("%1 ms").arg(shown)));
    QVERIFY(!form_->BitBtn5->isEnabled() && !form_->KS1->isEnabled() && !form_->Button14->isEnabled());
    QCOMPARE(boxes_.shown.back().text, Text(msg::kNoDevice));
    QCOMPARE(list.status, 1);
    QVERIFY(list.err.contains(Text(msg::kNoDevice)));
    QVERIFY2(listed < 3500, qPrintable(QString("%1 ms").arg(listed)));
    tearDown();
    // And no server at all: at once.
    const Ran none = shell("PULSE_SERVER=unix:/nonexistent $CLI record --out " + q(dir()));
    QCOMPARE(none.status, 1);
    QVERIFY(none.err.contains(Text(msg::kNoDevice)));
    setUp();
    open({boxes_, inputs_, space_, device_});
  }
};

// The program as it runs for a user, on the real boxes, each box's text
// printed as it is answered (Yes, else OK): a short recording into the
// folder and a measurement ended early, then the window closed; or the
// window closed while it records.
int recordAndCloseTheWindow(int, char** argv) {
  // Only the program's name: the window opens any other word as a file.
  int one = 1;
  QApplication app(one, argv);
  const QString folder = QString::fromLocal8Bit(argv[2]);
  const bool whileRecording = std::strcmp(argv[1], "--close-while-recording") == 0;
  mv::RunProgram(app, [&](mv::Windows& w) {
    mv::TForm1* form = w.main.get();
    mv::TForm2* measuring = w.measuring.get();
    answerBoxes(form);
    form->Edit1->setText(folder);
    form->CheckBox1->setChecked(false);
    auto* ready = new QTimer(form);
    QObject::connect(ready, &QTimer::timeout, [=] {
      if (!form->haveInput()) return;
      ready->stop();
      form->BitBtn5->click();
      QTimer::singleShot(400, form, [=] {
        if (whileRecording) {
          form->close();
          return;
        }
        form->BitBtn4->click();
        QTimer::singleShot(400, measuring, [=] { measuring->Button1->click(); });
        form->Button14->click();
        form->close();
      });
    });
    ready->start(20);
  });
}

// The window, once it has its input, loses its server (killed), then
// Record is pressed with no recording in the folder and again over one;
// after each, whether a file is there and whether the old one is intact.
int recordAfterTheServerGoes(int, char** argv) {
  int one = 1;
  QApplication app(one, argv);
  const QString folder = QString::fromLocal8Bit(argv[2]);
  const std::string recording = folder.toStdString() + "/morvntmp.wav";
  mv::RunProgram(app, [&](mv::Windows& w) {
    mv::TForm1* form = w.main.get();
    answerBoxes(form);
    form->Edit1->setText(folder);
    form->CheckBox1->setChecked(false);
    auto* ready = new QTimer(form);
    QObject::connect(ready, &QTimer::timeout, [=] {
      if (!form->haveInput()) return;
      ready->stop();
      ::kill(static_cast<pid_t>(qEnvironmentVariableIntValue("MORVANE_PA_PID")), SIGKILL);
      QTimer::singleShot(500, form, [=] {
        form->BitBtn5->click();
        std::printf("%s\n", QFileInfo::exists(QString::fromStdString(recording)) ? "a file" : "no file");
        const Bytes old = {'R', 'I', 'F', 'F'};
        mv::test::WriteBytes(recording, old);
        form->BitBtn5->click();
        std::printf("%s\n", mv::test::ReadBytes(recording) == old ? "kept" : "replaced");
        std::fflush(stdout);
        if (form->recording()) form->BitBtn4->click();
        form->close();
      });
    });
    ready->start(20);
  });
}

int main(int argc, char** argv) {
  if (argc == 3 && (std::strcmp(argv[1], "--record-and-close") == 0 ||
                    std::strcmp(argv[1], "--close-while-recording") == 0))
    return recordAndCloseTheWindow(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--record-after-the-server-goes") == 0)
    return recordAfterTheServerGoes(argc, argv);
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  AudioTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "audio_test.moc"
