#include "record/audio_inputs.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>
#include <QObject>

#include "record/capabilities.h"
#include "record/sound_server.h"

namespace mv {

namespace {

// Qt is asked only once the server has answered.
InputList inputsFor(const ServerAnswer& answer) {
  InputList list;
  list.answered = answer.answered;
  if (!answer.answered) return list;
  for (const QAudioDevice& d : QMediaDevices::audioInputs())
    list.inputs.push_back({d.id().toStdString(), d.description().toStdString()});
  list.defaultId = PickDefaultInput(list.inputs, answer.defaultSource);
  return list;
}

}  // namespace

QtAudioInputs::QtAudioInputs() : receiver_(std::make_unique<QObject>()) {}

QtAudioInputs::~QtAudioInputs() {
  if (asking_.joinable()) asking_.join();
}

void QtAudioInputs::query(std::function<void(const InputList&)> found) {
  if (asking_.joinable()) asking_.join();
  QObject* receiver = receiver_.get();
  asking_ = std::thread([receiver, found = std::move(found)] {
    const ServerAnswer answer = AskSoundServer(kInputQueryMs);
    QMetaObject::invokeMethod(receiver, [answer, found] { found(inputsFor(answer)); }, Qt::QueuedConnection);
  });
}

InputList QtAudioInputs::list() { return inputsFor(AskSoundServer(kInputQueryMs)); }

uint32_t QtAudioInputs::capabilityFlags(const std::string& id) {
  QAudioDevice device;
  for (const QAudioDevice& d : QMediaDevices::audioInputs())
    if (d.id().toStdString() == id) device = d;
  if (device.isNull()) return 0;
  return CapabilityFlags([&device](int rate, int channels, CaptureSample sample) {
    QAudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(channels);
    f.setSampleFormat(sample == CaptureSample::UInt8   ? QAudioFormat::UInt8
                      : sample == CaptureSample::Int16 ? QAudioFormat::Int16
                                                       : QAudioFormat::Int32);
    return device.isFormatSupported(f);
  });
}

}  // namespace mv
