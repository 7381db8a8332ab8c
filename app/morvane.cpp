// Morvane's start-up.

#include <QApplication>

#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/startup.h"
#include "app/services.h"
#include "record/audio_inputs.h"
#include "record/capacity.h"
#include "record/qt_wave_device.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setDesktopFileName(QStringLiteral("org.morvane.Morvane"));
  mv::SetUpApplication(app);
  mv::QtMessageBoxes boxes;
  mv::QtAudioInputs inputs;
  mv::FileSystems space;
  mv::QtWaveDevice device;
  mv::Windows windows = mv::CreateWindows({boxes, inputs, space, device});
  boxes.setParent(windows.main.get());
  windows.main->show();
  return app.exec();
}
