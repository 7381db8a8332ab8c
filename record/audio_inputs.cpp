#include "record/audio_inputs.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>

#include "record/capabilities.h"

namespace mv {

bool QtAudioInputs::any() { return !QMediaDevices::audioInputs().isEmpty(); }

uint32_t QtAudioInputs::capabilityFlags() {
  const QAudioDevice device = QMediaDevices::defaultAudioInput();
  if (device.isNull()) return 0;
  uint32_t flags = 0;
  for (int rate : {11025, 22050, 44100}) {
    for (int channels : {1, 2}) {
      for (int bits : {8, 16}) {
        QAudioFormat f;
        f.setSampleRate(rate);
        f.setChannelCount(channels);
        f.setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
        if (device.isFormatSupported(f)) flags |= CapabilityFlagFor(rate, channels, bits);
      }
    }
  }
  return flags;
}

}  // namespace mv
