#pragma once
// The wave-audio device over Qt Multimedia's QAudioSource: the default sound
// input, captured bytes appended to the file as they arrive.

#include <QObject>
#include <QPointer>
#include <memory>

#include "record/wave_device.h"
#include "wave/file.h"

class QAudioSource;
class QIODevice;

namespace mv {

class QtWaveDevice : public QObject, public WaveDevice {
  Q_OBJECT
 public:
  QtWaveDevice();
  ~QtWaveDevice() override;

  void open() override;
  void record() override;
  void stop() override;
  void save() override;
  void close() override;
  void flush() override;

 private:
  void drain();

  std::unique_ptr<QAudioSource> source_;
  QPointer<QIODevice> io_;  // Qt deletes it when the server goes away
  File file_ = File::closed();
  bool writeFailed_ = false;
};

}  // namespace mv
