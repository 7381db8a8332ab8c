#include "record/qt_wave_device.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QMediaDevices>
#include <utility>
#include <vector>

#include "record/audio_inputs.h"
#include "wave/errors.h"

namespace mv {

namespace {

QAudioDevice inputNamed(const std::string& id) {
  for (const QAudioDevice& d : QMediaDevices::audioInputs())
    if (d.id().toStdString() == id) return d;
  return {};
}

QAudioFormat qtFormat(const PcmFormat& f) {
  QAudioFormat format;
  format.setSampleRate(f.sampleRate);
  format.setChannelCount(f.channels);
  // 24-bit sound is captured as 32-bit integers; the file keeps their top
  // three bytes.
  format.setSampleFormat(f.bitsPerSample == 8    ? QAudioFormat::UInt8
                         : f.bitsPerSample == 24 ? QAudioFormat::Int32
                                                 : QAudioFormat::Int16);
  return format;
}

}  // namespace

QtWaveDevice::QtWaveDevice() {
  watchdog_.setInterval(kBufferMs);
  connect(&watchdog_, &QTimer::timeout, this, &QtWaveDevice::watch);
  late_.setSingleShot(true);
  late_.setInterval(kLateMs);
  connect(&late_, &QTimer::timeout, this, &QtWaveDevice::completed);
}

QtWaveDevice::~QtWaveDevice() { close(); }

std::string QtWaveDevice::find(const std::string& input, const PcmFormat& f) {
  // The server is asked now, not when the front end looked: its default may
  // have changed since (a headset plugged in, the desktop's settings), and
  // Qt, which asked once, would still record the old one, or, the server
  // gone, fail without a word of why.
  const ServerAnswer server = AskSoundServer(kServerAskMs);
  if (!server.answered) refuse(msg::kRecordingInputGone);
  std::string id = input;
  if (id.empty()) {
    std::vector<AudioInput> listed;
    for (const QAudioDevice& d : QMediaDevices::audioInputs()) listed.push_back({d.id().toStdString(), {}});
    id = PickDefaultInput(listed, server.defaultSource);
  }
  const QAudioDevice device = inputNamed(id);
  if (device.isNull()) refuse(msg::kRecordingInputGone);
  if (!device.isFormatSupported(qtFormat(f))) raise(kUnknownDeviceError);
  return id;
}

void QtWaveDevice::open(const std::string& file, int length) {
  close();
  capture_.open(file, opener_);
  capture_.setLength(length);
  const QAudioFormat format = qtFormat(capture_.format());
  // An input that is gone would leave Qt waiting for its stream for ever.
  const QAudioDevice input = inputNamed(this->input());
  if (input.isNull() || !input.isFormatSupported(format)) {
    capture_.close();
    raise(kUnknownDeviceError);
  }
  source_ = std::make_unique<QAudioSource>(input, format);
  source_->setBufferSize(format.bytesForDuration(qint64{kBufferMs} * 1000));
  told_ = false;
}

void QtWaveDevice::record() {
  if (!source_) raise(kUnknownDeviceError);
  io_ = source_->start();
  if (!io_ || source_->error() != QAudio::NoError) {
    io_ = nullptr;
    raise(kUnknownDeviceError);
  }
  connect(io_.data(), &QIODevice::readyRead, this, &QtWaveDevice::drain);
  connect(source_.get(), &QAudioSource::stateChanged, this, &QtWaveDevice::sourceStateChanged);
  capturing_ = true;
  const int generation = ++generation_;
  watch_ = std::make_unique<SourceWatch>(input(), [this, generation] {
    QMetaObject::invokeMethod(this, [this, generation] {
      if (generation == generation_) lose(CaptureFailure::InputLost);
    }, Qt::QueuedConnection);
  });
  clock_.start();
  silence_.start(clock_.elapsed());
  watchdog_.start();
}

void QtWaveDevice::drain() {
  if (told_ || !capturing_) return;
  if (!io_) return lose(CaptureFailure::InputLost);
  const QByteArray bytes = io_->readAll();
  if (bytes.isEmpty()) return;
  silence_.delivered(clock_.elapsed());
  if (!capture_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()))) return tell();
  if (done_ && late_.isActive() && capture_.full()) completed();
}

void QtWaveDevice::watch() {
  drain();
  if (!told_ && silence_.silent(clock_.elapsed())) lose(CaptureFailure::InputSilent);
}

void QtWaveDevice::sourceStateChanged() {
  if (capturing_ && source_->state() == QAudio::StoppedState && source_->error() != QAudio::NoError)
    lose(CaptureFailure::InputLost);
}

void QtWaveDevice::lose(CaptureFailure why) {
  if (told_ || !capturing_) return;
  capture_.fail(why);
  tell();
}

void QtWaveDevice::tell() {
  if (told_) return;
  told_ = true;
  watchdog_.stop();
  // The front end hears of the failure instead.
  late_.stop();
  done_ = nullptr;
  // Not from inside the source's own signal: the front end stops it.
  QMetaObject::invokeMethod(this, [this] {
    tellFailure();
  }, Qt::QueuedConnection);
}

bool QtWaveDevice::complete(std::function<void()> done) {
  drain();
  if (!capturing_ || told_ || capture_.full()) return true;
  done_ = std::move(done);
  late_.start();
  return false;
}

void QtWaveDevice::completed() {
  late_.stop();
  // Not from inside the source's own signal: the front end stops it.
  QMetaObject::invokeMethod(this, [this, generation = generation_] {
    if (generation != generation_ || !done_) return;
    std::exchange(done_, nullptr)();
  }, Qt::QueuedConnection);
}

void QtWaveDevice::flush() {
  drain();
  if (!capture_.refresh()) tell();
}

InputLevel QtWaveDevice::takeLevel() {
  drain();
  return capture_.takeLevel();
}

void QtWaveDevice::stop() {
  if (!capturing_) return;
  drain();
  capturing_ = false;
  watchdog_.stop();
  late_.stop();
  done_ = nullptr;
  watch_.reset();
  source_->disconnect(this);
  if (io_) io_->disconnect(this);
  source_->stop();
  io_ = nullptr;
}

void QtWaveDevice::save() { capture_.refresh(); }

void QtWaveDevice::close() {
  stop();
  source_.reset();
  capture_.close();
}

}  // namespace mv
