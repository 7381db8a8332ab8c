#include "cli/record.h"

#include <QCoreApplication>
#include <QTimer>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "cli/console_host.h"
#include "cli/cut_report.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/record_meter.h"
#include "cut/cut.h"
#include "record/audio_inputs.h"
#include "record/capabilities.h"
#include "record/qt_wave_device.h"
#include "record/session.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/paths.h"

namespace mv::cli {

namespace {

bool isFolder(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int listInputs(const InputList& found) {
  for (const AudioInput& in : found.inputs)
    std::printf("%s %s\t%s\n", in.id == found.defaultId ? "*" : " ", in.id.c_str(), in.description.c_str());
  return kDone;
}

// The label to record in: the one asked for, which the input must offer.
std::string chooseLabel(const RecordOptions& o, const std::vector<std::string>& offered, const std::string& input) {
  const std::string wanted = o.format.empty() ? std::string(kCutLabels[kDefaultFormatPosition])
                                              : FormatLabel(ParseFormatOption(o.format).format);
  if (std::find(offered.begin(), offered.end(), wanted) != offered.end()) return wanted;
  if (o.format.empty()) return offered.front();
  throw UsageError(format(msg::kUsageFormatNotOffered, input, "\"" + wanted + "\""));
}

// Longer than the file can hold is wrong usage, as the window's fields
// cannot be set to it.
void checkLength(int32_t seconds, const PcmFormat& f) {
  const int64_t perSecond = int64_t{f.sampleRate} * f.channels * f.bytesPerSample();
  const int64_t most = MaxRecordingBytes(f) / perSecond;
  if (seconds > most)
    throw UsageError("--length: " + OutOfRangeText(std::to_string(seconds) + "s",
                                                   "0:00:00.." + std::to_string(most / 3600) + ":" +
                                                       std::to_string(most / 60 % 60 / 10) + std::to_string(most / 60 % 10) +
                                                       ":" + std::to_string(most % 60 / 10) + std::to_string(most % 10)));
}

// The cut that follows, settled before anything is recorded: its track list
// and cover are read now.
CutSettings cutSettingsFor(const RecordOptions& o, const std::string& file, const std::string& label,
                           std::optional<TrackList>& tracks) {
  CutSettings s;
  s.source = file;
  s.saveFolder = FolderText(o.cutOut.empty() ? o.out : o.cutOut);
  // A 24-bit recording is cut as what it is, beyond the lists.
  const auto wide = ParseExtendedLabel(label);
  s.format = wide ? *wide : ParseFormatLabel(kCutLabels[RecordingLabelPosition(label)]);
  s.mode = CutMode::AtSilences;
  o.silence.applyTo(s);
  tracks = o.album.applyTo(s);
  return s;
}

}  // namespace

int RunRecord(const RecordOptions& o, int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // Declared after the application, so that they go before it: the sound
  // server's client is torn down while Qt is still there.
  QtAudioInputs inputs;
  const InputList found = inputs.list();
  if (found.inputs.empty()) {
    PrintMessage(msg::kNoDevice);
    return kRefused;
  }
  if (o.listInputs) return listInputs(found);

  const std::string input = o.input.empty() ? found.defaultId : o.input;
  if (!found.find(input)) throw UsageError("--input: " + format(msg::kUsageNoSuchInput, input));
  const std::vector<std::string> offered = RecordingLabels(inputs.capabilityFlags(input));
  if (offered.empty()) {
    PrintMessage(msg::kNoDevice);
    return kRefused;
  }
  const std::string label = chooseLabel(o, offered, input);
  const PcmFormat format = RecordingFormat(label);
  const int32_t seconds = ParseLength(o.length).totalSeconds();
  checkLength(seconds, format);

  const std::string file = FolderText(o.out) + "/" + kRecordingFileName;
  std::optional<CutSettings> cut;
  std::optional<TrackList> tracks;
  if (o.cut) {
    cut = cutSettingsFor(o, file, label, tracks);
    if (!isFolder(cut->saveFolder)) raise(msg::kCannotCreate, cut->saveFolder + "/mv000001.wav");
  }
  if (FileExists(file)) {
    PrintMessage(msg::kOverwriteRecording);
    if (!o.yes) {
      PrintMessage(mv::format(msg::kDeclinedWithoutOption, "--yes"));
      return kRefused;
    }
  }

  QtWaveDevice device;
  RecordingSession session(device);
  session.onFailure = [&app] { app.quit(); };
  session.start(file, format, input, seconds);

  // The clock, as the window's: a length of L seconds ends on the L-th tick,
  // 0:00:00 on the first, or a moment later when the input still owes
  // sound; a capture that fails ends it at once. Ctrl-C, SIGTERM or SIGHUP
  // ends it early, saved all the same, without waiting.
  int32_t position = 0;
  bool interrupted = false;
  ConsoleMeter meter;
  meter.start(format.channels, seconds);
  QTimer clock;
  clock.setTimerType(Qt::PreciseTimer);
  clock.setInterval(1000);
  QObject::connect(&clock, &QTimer::timeout, [&] {
    position = std::min(position + 1, seconds);
    if (!session.tick()) return app.quit();
    if (position < seconds) return;
    clock.stop();
    if (session.complete([&app] { app.quit(); })) app.quit();
  });
  QTimer watch;
  watch.setInterval(50);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    meter.feed(session.takeLevel(), position);
    if (CancelWasPressed()) {
      interrupted = true;
      app.quit();
    }
  });
  clock.start();
  watch.start();
  app.exec();
  clock.stop();
  watch.stop();
  meter.end();
  const SessionEnd end = session.end();

  struct stat st{};
  ::stat(file.c_str(), &st);
  std::printf("%s  %lld bytes\n", kRecordingFileName, static_cast<long long>(st.st_size));
  std::fflush(stdout);
  if (!end.ok) {
    PrintMessage(end.message);
    return kRefused;
  }
  if (interrupted) {
    PrintMessage(msg::kRecordingDone);
    return CancelledStatus();
  }
  if (!cut) {
    PrintMessage(msg::kRecordingDone);
    return kDone;
  }
  // As the window: the cut follows instead of the end message.
  ConsoleHost host(o.yes, true);
  const CutResult r = RunCut(*cut, host);
  if (r.end == CutEnd::Cancelled) return CancelledStatus();
  if (r.end != CutEnd::Complete) return kRefused;
  PrintSummary(*cut, r);
  if (tracks) WarnLengths(*tracks, *cut, r);
  return kDone;
}

}  // namespace mv::cli
