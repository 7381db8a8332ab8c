#pragma once
// The wave-audio device over Qt Multimedia's QAudioSource: the chosen sound
// input (else the desktop's default, as the server names it when the input
// is chosen), captured bytes written to the file as they arrive. It watches
// the capture: a file that takes no more bytes, a server or input that goes
// away or falls silent ends it, and that is told from the event loop.
// An input that delivers late is waited for at the end, a little.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <utility>

#include "record/capture_file.h"
#include "record/input_watch.h"
#include "record/sound_server.h"
#include "record/wave_device.h"

class QAudioSource;
class QIODevice;

namespace mv {

class QtWaveDevice : public QObject, public WaveDevice {
  Q_OBJECT
 public:
  QtWaveDevice();
  ~QtWaveDevice() override;

  void open(const std::string& file, int length) override;
  void record() override;
  void stop() override;
  void save() override;
  void close() override;
  void flush() override;
  bool complete(std::function<void()> done) override;
  std::optional<CaptureFailure> failure() const override { return capture_.failure(); }
  InputLevel takeLevel() override;

  // How the recording file is opened; a test puts in one that fails.
  void setOpener(CaptureFile::Opener opener) { opener_ = std::move(opener); }

  // The capture buffer: what arrives is written at once, so this bounds
  // what a crash can lose before the bytes reach the file.
  static constexpr int kBufferMs = 100;
  // An input that sends nothing for this long has gone away.
  static constexpr int kSilentMs = 5000;
  // A watch's tick this late means the process itself was held up.
  static constexpr int kStallMs = 1000;
  // How long the server may take to say which inputs it has at the start.
  static constexpr int kServerAskMs = 1000;
  // How long the end waits for sound still to come: some inputs deliver in
  // blocks of up to 2 seconds (the monitor of a sink woken from sleep).
  static constexpr int kLateMs = 3000;

 protected:
  std::string find(const std::string& input, const PcmFormat& format) override;

 private:
  void drain();
  void watch();
  void sourceStateChanged();
  void lose(CaptureFailure why);
  void tell();
  void completed();

  CaptureFile::Opener opener_ = CaptureFile::OpenFile;
  std::unique_ptr<QAudioSource> source_;
  QPointer<QIODevice> io_;  // Qt deletes it when the server goes away
  CaptureFile capture_;
  std::unique_ptr<SourceWatch> watch_;
  int generation_ = 0;  // one a capture, so that a late word of an old one is not taken
  QTimer watchdog_;
  QTimer late_;                  // the wait for the last of the sound
  std::function<void()> done_;   // told when it has come
  QElapsedTimer clock_;  // monotonic, from the capture's start
  InputWatch silence_{kSilentMs, kStallMs};
  bool capturing_ = false;  // between record and stop
  bool told_ = false;
};

}  // namespace mv
