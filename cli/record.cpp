#include "cli/record.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <sys/stat.h>

#include "cli/console_host.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "record/audio_inputs.h"
#include "record/capabilities.h"
#include "record/qt_wave_device.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/paths.h"

namespace mv::cli {

int RunRecord(const RecordOptions& o, int argc, char** argv) {
  const int32_t seconds = ParseLength(o.length).totalSeconds();
  QCoreApplication app(argc, argv);
  QtAudioInputs inputs;
  if (!inputs.any()) {
    PrintMessage(msg::kNoDevice);
    return kRefused;
  }
  const std::vector<std::string> offered = RecordingLabels(inputs.capabilityFlags());
  std::string label = offered.empty() ? std::string(kCutLabels[kDefaultFormatPosition]) : offered.front();
  if (!o.format.empty()) label = kCutLabels[ParseFormatOption(o.format)];

  const std::string file = FolderText(o.out) + "/" + kRecordingFileName;
  if (FileExists(file)) {
    PrintMessage(msg::kOverwriteRecording);
    if (!o.yes) return kRefused;
  }
  QtWaveDevice device;
  PrepareRecordingFile(file, ParseFormatLabel(label));
  device.FileName = file;
  device.open();
  device.record();

  // The clock, as the window's: a length of L seconds ends on the L-th tick,
  // 0:00:00 on the first. Ctrl-C, SIGTERM or SIGHUP ends it early, saved
  // all the same.
  int32_t position = 0;
  bool interrupted = false;
  QTimer clock;
  clock.setTimerType(Qt::PreciseTimer);
  clock.setInterval(1000);
  QObject::connect(&clock, &QTimer::timeout, [&] {
    position = std::min(position + 1, seconds);
    device.flush();
    if (position == seconds) app.quit();
  });
  QTimer watch;
  watch.setInterval(50);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (CancelWasPressed()) {
      interrupted = true;
      app.quit();
    }
  });
  clock.start();
  watch.start();
  app.exec();
  device.stop();
  device.save();
  device.close();

  struct stat st{};
  ::stat(file.c_str(), &st);
  std::printf("%s  %lld bytes\n", kRecordingFileName, static_cast<long long>(st.st_size));
  PrintMessage(msg::kRecordingDone);
  return interrupted ? CancelledStatus() : kDone;
}

}  // namespace mv::cli
