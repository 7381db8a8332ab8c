#pragma once
// What the window needs of the platform, each behind a small interface so
// that tests can stand in: message boxes, the sound inputs, free space, and
// the wave-audio device; and where the user's choices are kept between runs.

class QSettings;

namespace mv {

class AudioInputs;
class FreeSpaceProvider;
class MessageBoxes;
class WaveDevice;

struct Services {
  MessageBoxes& boxes;
  AudioInputs& inputs;
  FreeSpaceProvider& space;
  WaveDevice& device;
  QSettings* choices = nullptr;  // none: nothing is read or kept
};

}  // namespace mv
