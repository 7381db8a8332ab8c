// Morvane's start-up.

#include <QApplication>

#include "app/startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setDesktopFileName(QStringLiteral("org.morvane.Morvane"));
  mv::RunProgram(app);
}
