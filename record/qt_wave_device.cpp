#include "record/qt_wave_device.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>

#include "wave/errors.h"
#include "wave/header.h"

namespace mv {

namespace {
// Seconds of sound the capture buffer holds while the window is busy.
constexpr int kBufferSeconds = 4;
}  // namespace

QtWaveDevice::QtWaveDevice() = default;
QtWaveDevice::~QtWaveDevice() { close(); }

void QtWaveDevice::open() {
  close();
  File file = File::openReadWrite(FileName);
  const PcmFormat f = ReadHeaderFormat(file);
  const QAudioDevice input = QMediaDevices::defaultAudioInput();
  QAudioFormat format;
  format.setSampleRate(f.sampleRate);
  format.setChannelCount(f.channels);
  format.setSampleFormat(f.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
  if (input.isNull() || !input.isFormatSupported(format)) raise(kUnknownDeviceError);
  // Whatever the file held after its header is recorded over.
  file.truncate(kHeaderSize);
  file.seek(kHeaderSize);
  source_ = std::make_unique<QAudioSource>(input, format);
  source_->setBufferSize(format.bytesForDuration(kBufferSeconds * 1000000LL));
  file_ = std::move(file);
  writeFailed_ = false;
}

void QtWaveDevice::record() {
  if (!source_) return;
  io_ = source_->start();
  if (io_) connect(io_.data(), &QIODevice::readyRead, this, &QtWaveDevice::drain);
}

void QtWaveDevice::drain() {
  if (!io_ || !file_.isOpen()) return;
  const QByteArray bytes = io_->readAll();
  if (bytes.isEmpty() || writeFailed_) return;
  try {
    file_.write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  } catch (const Error&) {
    // A full disk ends the capture; what is in the file stays valid.
    writeFailed_ = true;
  }
}

void QtWaveDevice::flush() {
  if (!file_.isOpen()) return;
  try {
    FinishWaveHeader(file_);
  } catch (const Error&) {
  }
}

void QtWaveDevice::stop() {
  if (!source_) return;
  drain();
  source_->stop();
  io_ = nullptr;
}

void QtWaveDevice::save() { flush(); }

void QtWaveDevice::close() {
  if (source_) stop();
  source_.reset();
  file_.close();
}

}  // namespace mv
