// Times the cut preview on a tape: from opening to the first pieces drawn and
// to the whole result, and from a change of the threshold to the new result
// (the pause before a scan included). Runs on any Qt platform, offscreen too.
//
//   preview-time TAPE.wav

#include <QApplication>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "app/message_boxes.h"
#include "app/preview_dialog.h"
#include "wave/format.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: preview-time TAPE.wav\n");
    return 2;
  }
  QTemporaryDir out;
  mv::CutSettings s;
  s.source = argv[1];
  s.saveFolder = out.path().toStdString();
  s.format = mv::ParseFormatLabel("16bit, Stereo, 44.1kHz");
  mv::QtMessageBoxes boxes;
  mv::PreviewDialog dialog(nullptr, boxes);
  QElapsedTimer opened, clock;
  bool shown = false;
  // The first pieces drawn, during the scan or with its result.
  auto firstPieces = [&] {
    if (shown || dialog.Pieces->rowCount() == 0) return;
    shown = true;
    std::printf("first pieces   %7.0f ms\n", static_cast<double>(opened.nsecsElapsed()) / 1e6);
  };
  int scans = 0;
  bool ok = true;
  QObject::connect(&dialog, &mv::PreviewDialog::scanEnded, [&](bool complete) {
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    firstPieces();
    ok = ok && complete;
    if (++scans == 1) {
      std::printf("whole result   %7.0f ms\n", ms);
      clock.restart();
      dialog.ThresholdEdit->setValue(dialog.ThresholdEdit->value() + 1);
    } else {
      std::printf("after a change %7.0f ms\n", ms);
      app.quit();
    }
  });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, firstPieces);
  poll.start(5);
  opened.start();
  clock.start();
  dialog.start(s);
  app.exec();
  return ok && scans == 2 ? 0 : 1;
}
