// The input correction measurement: about 20 seconds of the idle input, then
// its zero points, extremes and noise spread.

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QTimer>
#include <cstdlib>
#include <unistd.h>

#include "app/adjfrm.h"
#include "app/level_meter.h"
#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/paths_qt.h"
#include "record/analysis.h"
#include "record/capabilities.h"
#include "record/session.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/format.h"
#include "wave/header.h"
#include "wave/layout.h"
#include "wave/paths.h"

namespace mv {

namespace {

// A new file in the temporary folder whose name starts with "wav".
std::string makeTempFile() {
  std::string pattern = TempFolderPath() + "/wavXXXXXX.tmp";
  const int fd = ::mkstemps(pattern.data(), 4);
  if (fd < 0) raise(msg::kCannotCreate, pattern);
  ::close(fd);
  return pattern;
}

}  // namespace

void TForm1::Button14Click() {
  if (!haveInput()) return;
  const std::string path = makeTempFile();
  const std::string label = ComboBox2->currentText().toStdString();
  try {
    startCapture(path, label);
  } catch (...) {
    DeleteFile(path);
    throw;
  }
  Timer1->start();
  const PcmFormat f = RecordingFormat(label);
  form2_->FChannels = f.channels;
  form2_->FBitsPerSample = f.bitsPerSample;
  form2_->ProgressBar1->setValue(0);
  form2_->exec();
  // Ended early, the clock would go on filling a hidden bar.
  Timer1->stop();
  endMeasurement(path);
}

void TForm1::Timer1Timer() {
  if (!session_->tick()) {
    Timer1->stop();
    form2_->accept();
    return;
  }
  form2_->ProgressBar1->setValue(form2_->ProgressBar1->value() + TForm2::kStep);
  if (form2_->ProgressBar1->value() == 100) {
    Timer1->stop();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    repaint();
    form2_->accept();
    QApplication::restoreOverrideCursor();
  }
}

void TForm1::endMeasurement(const std::string& path) {
  const SessionEnd end = session_->end();
  MeterTimer->stop();
  Meter->stop();
  if (!end.ok) {
    // A measurement cut short by its input or its file is not analysed:
    // the values stay as they were.
    DeleteFile(path);
    boxes_.show(QString::fromStdString(end.message), FromUtf8(msg::kRecordingFailedCaption),
                MessageBoxes::Buttons::Ok, Icon::Stop);
    return;
  }
  emit measurementSaved(FromPath(path));
  CorrectionValues v;
  try {
    File in = File::openRead(path);
    // A 24-bit measurement's samples start after its longer header.
    const int64_t start = form2_->FBitsPerSample == 24 ? ReadWaveLayout(in).dataOffset : kHeaderSize;
    v = AnalyseInput(in, start, form2_->FChannels, form2_->FBitsPerSample);
  } catch (...) {
    DeleteFile(path);
    throw;
  }
  DeleteFile(path);
  // With no complete frame every value shows 0 and the threshold stays.
  const QString n[6] = {QString::number(v.zero[0]),    QString::number(v.zero[1]),
                        QString::number(v.maximum[0]), QString::number(v.maximum[1]),
                        QString::number(v.minimum[0]), QString::number(v.minimum[1])};
  QLabel* const captions[6] = {Label29, Label30, Label37, Label38, Label40, Label41};
  for (int i = 0; i < 6; ++i) captions[i]->setText(n[i]);
  if (v.frames > 0 && CheckBox1->isChecked() && CheckBox4->isChecked()) SpinEdit7->setValue(v.threshold());
}

}  // namespace mv
