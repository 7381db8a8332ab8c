// Morvane's start-up.

#include <QApplication>

#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/startup.h"
#include "record/audio_inputs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  mv::SetUpApplication(app);
  mv::QtMessageBoxes boxes;
  mv::QtAudioInputs inputs;
  mv::Windows windows = mv::CreateWindows(boxes, inputs);
  boxes.setParent(windows.main.get());
  windows.main->show();
  return app.exec();
}
