// Times the cut preview on a tape: from opening to the first pieces drawn and
// to the whole result with its suggestion, from a change of the threshold to
// the new result (the pause before a scan included), an added and a deleted
// cut, and the start of playback (with a sound output) to the first frame
// heard. Runs on any Qt platform, offscreen too.
//
//   preview-time TAPE.wav

#include <QApplication>
#include <QPushButton>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "app/message_boxes.h"
#include "app/preview_dialog.h"
#include "app/waveform_view.h"
#include "play/piece_player.h"
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
  auto edit = [&] {
    const std::vector<int64_t> starts = dialog.edits().pieceStarts();
    dialog.Waveform->setCursorFrame(starts.size() > 1 ? starts[1] / 2 : 1000);
    QElapsedTimer t;
    t.start();
    dialog.AddCutButton->click();
    std::printf("add a cut      %7.1f ms\n", static_cast<double>(t.nsecsElapsed()) / 1e6);
    t.restart();
    dialog.DeleteCutButton->click();
    std::printf("delete it      %7.1f ms\n", static_cast<double>(t.nsecsElapsed()) / 1e6);
    ok = ok && dialog.edits().pieceStarts() == starts;
  };
  auto* player = dialog.findChild<mv::PiecePlayer*>();
  QElapsedTimer played;
  auto listen = [&] {
    QObject::connect(player, &mv::PiecePlayer::positionChanged, [&](qint64 frame) {
      if (frame <= dialog.lastPlayed().from) return;
      std::printf("playback start %7.0f ms\n", static_cast<double>(played.nsecsElapsed()) / 1e6);
      player->stop();
      app.quit();
    });
    QObject::connect(player, &mv::PiecePlayer::unavailable, [&](const QString&) {
      std::printf("playback start: no sound output\n");
      app.quit();
    });
    played.start();
    dialog.PlayButton->click();
  };
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
      edit();
      listen();
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
