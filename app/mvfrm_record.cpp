// The recording page: the recorder panel, folder, length, format, and the
// correction values.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>

#include "app/adjfrm.h"
#include "app/format_entry.h"
#include "app/level_meter.h"
#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/paths_qt.h"
#include "app/pictures.h"
#include "app/placing.h"
#include "record/audio_inputs.h"
#include "record/capabilities.h"
#include "record/capacity.h"
#include "record/session.h"
#include "record/wave_device.h"
#include "wave/duration.h"
#include "wave/format.h"
#include "wave/messages.h"
#include "wave/paths.h"

namespace mv {

namespace {

QFrame* panel(QWidget* parent, const char* name, int x, int y, int w, int h, QFrame::Shadow shadow) {
  auto* p = Place<QFrame>(parent, name, x, y, w, h);
  p->setFrameShape(QFrame::Panel);
  p->setFrameShadow(shadow);
  p->setLineWidth(shadow == QFrame::Raised ? 2 : 1);
  return p;
}

// A caption on top and a time along the bottom, both centred.
void timeDisplay(QFrame* box, QLabel*& caption, const char* captionName, const char* text,
                 QLabel*& time, const char* timeName) {
  caption = Place<QLabel>(box, captionName, 2, 2, box->width() - 4, 15);
  caption->setText(QString::fromUtf8(text));
  caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  time = Place<QLabel>(box, timeName, 2, box->height() - 17, box->width() - 4, 15);
  time->setText(QStringLiteral("00:00:00"));
  time->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
}

QPushButton* transport(QWidget* parent, const char* name, int x, Glyph glyph, bool enabled) {
  auto* b = Place<QPushButton>(parent, name, x, 116, 57, 21);
  b->setIcon(TransportGlyph(glyph));
  b->setIconSize(QSize(16, 16));
  b->setEnabled(enabled);
  return b;
}


}  // namespace

void TForm1::buildRecordingPage() {
  RecordingContents = new QWidget(TabSheet1);
  RecordingContents->setObjectName("RecordingContents");
  RecordingContents->setGeometry(0, 0, 498, 330);
  QWidget* page = RecordingContents;

  Panel2 = panel(page, "Panel2", 0, 0, 321, 145, QFrame::Raised);
  Image1 = Place<QLabel>(Panel2, "Image1", 2, 2, 317, 41);
  Image1->setPixmap(RecorderBanner());
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Panel4 = panel(Panel2, "Panel4", 16, 48, 69, 37, QFrame::Sunken);
  timeDisplay(Panel4, Label1, "Label1", "位置", Label33, "Label33");
  Panel3 = panel(Panel2, "Panel3", 96, 48, 129, 37, QFrame::Sunken);
  Meter = new LevelMeter(Panel3);
  Meter->setGeometry(Panel3->contentsRect());
  Panel5 = panel(Panel2, "Panel5", 240, 48, 69, 37, QFrame::Sunken);
  timeDisplay(Panel5, Label2, "Label2", "長さ", Label34, "Label34");
  TrackBar951 = Place<QSlider>(Panel2, "TrackBar951", 16, 96, 289, 17);
  TrackBar951->setOrientation(Qt::Horizontal);
  TrackBar951->setRange(0, 0);
  TrackBar951->setTickPosition(QSlider::TicksBelow);
  BitBtn1 = transport(Panel2, "BitBtn1", 16, Glyph::Rewind, false);
  BitBtn2 = transport(Panel2, "BitBtn2", 76, Glyph::FastForward, false);
  BitBtn3 = transport(Panel2, "BitBtn3", 136, Glyph::Play, false);
  BitBtn4 = transport(Panel2, "BitBtn4", 196, Glyph::Stop, false);
  BitBtn5 = transport(Panel2, "BitBtn5", 256, Glyph::Record, true);

  Label3 = PlaceLabel(page, "Label3", 4, 152, QStringLiteral("保存ﾌｫﾙﾀﾞ"));
  Edit1 = Place<QLineEdit>(page, "Edit1", 80, 148, 241, 20);
  Edit1->setReadOnly(true);
  Edit1->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); }"));
  Button1 = WithText(Place<QPushButton>(page, "Button1", 320, 148, 65, 21), QStringLiteral("参照(&S)..."));
  handle(Button1, &QPushButton::clicked, &TForm1::Button1Click);

  Label5 = PlaceLabel(page, "Label5", 4, 176, QStringLiteral("長さ"));
  Label8 = PlaceLabel(page, "Label8", 132, 176, QStringLiteral("時間"));
  Label9 = PlaceLabel(page, "Label9", 228, 176, QStringLiteral("分"));
  Label10 = PlaceLabel(page, "Label10", 316, 176, QStringLiteral("秒"));
  SpinEdit1 = PlaceSpin(page, "SpinEdit1", 80, 172, 49, 0, 0, 0);
  SpinEdit2 = PlaceSpin(page, "SpinEdit2", 172, 172, 49, 0, 59, 0);
  SpinEdit3 = PlaceSpin(page, "SpinEdit3", 260, 172, 49, 0, 59, 0);

  Label6 = PlaceLabel(page, "Label6", 4, 200, QStringLiteral("形式"));
  ComboBox2 = Place<QComboBox>(page, "ComboBox2", 80, 196, 305, 20);
  Button14 = WithText(Place<QPushButton>(page, "Button14", 316, 224, 165, 21),
                      QStringLiteral("補正値の測定(&N)"));
  CheckBox1 = WithText(Place<QCheckBox>(page, "CheckBox1", 8, 248, 165, 17),
                       QStringLiteral("録音終了後すぐ切り出す(&E)"));
  CheckBox1->setChecked(true);
  CheckBox4 = WithText(Place<QCheckBox>(page, "CheckBox4", 8, 272, 265, 17),
                       QStringLiteral("切り出し時に入力デバイスの補正を行う(&M)"));
  CheckBox4->setChecked(true);
  handle(CheckBox4, &QCheckBox::clicked, &TForm1::CheckBox4Click);

  GroupBox2 = Place<QGroupBox>(page, "GroupBox2", 312, 248, 169, 65);
  GroupBox2->setTitle(QStringLiteral("補正値"));
  auto value = [this](QLabel*& l, const char* name, int x, int y) {
    l = Place<QLabel>(GroupBox2, name, x, y, 40, 15);
    l->setText(QStringLiteral("0"));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  };
  auto reset = [this](QToolButton*& b, const char* name, int x, void (TForm1::*handler)()) {
    b = Place<QToolButton>(GroupBox2, name, x, 17, 13, 13);
    handle(b, &QToolButton::clicked, handler);
  };
  Label35 = PlaceLabel(GroupBox2, "Label35", 30, 16, QStringLiteral("0点"));
  reset(SpeedButton1, "SpeedButton1", 56, &TForm1::SpeedButton1Click);
  Label36 = PlaceLabel(GroupBox2, "Label36", 78, 16, QStringLiteral("Max"));
  reset(SpeedButton2, "SpeedButton2", 104, &TForm1::SpeedButton2Click);
  Label39 = PlaceLabel(GroupBox2, "Label39", 124, 16, QStringLiteral("Min"));
  reset(SpeedButton3, "SpeedButton3", 150, &TForm1::SpeedButton3Click);
  Label31 = PlaceLabel(GroupBox2, "Label31", 8, 32, QStringLiteral("L"));
  Label32 = PlaceLabel(GroupBox2, "Label32", 8, 47, QStringLiteral("R"));
  value(Label29, "Label29", 16, 32);
  value(Label30, "Label30", 16, 47);
  value(Label37, "Label37", 64, 32);
  value(Label38, "Label38", 64, 47);
  value(Label40, "Label40", 112, 32);
  value(Label41, "Label41", 112, 47);

  Label4 = PlaceLabel(page, "Label4", 4, 296, QStringLiteral("**残り容量に注意***"));
  Label4->setStyleSheet(QStringLiteral("color: red;"));

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(1000);
  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setInterval(1000);
  // A tick that comes late or early would change the recording's length.
  Timer1->setTimerType(Qt::PreciseTimer);
  Timer2->setTimerType(Qt::PreciseTimer);
  MeterTimer = new QTimer(this);
  MeterTimer->setObjectName("MeterTimer");
  MeterTimer->setInterval(40);  // 25 pictures a second
  handle(MeterTimer, &QTimer::timeout, &TForm1::MeterTimerTimer);

  // Beside the recorder, over the page, so that it shows also when the
  // page's contents are hidden for want of an input.
  InputStatus = Place<QLabel>(TabSheet1, "InputStatus", 328, 8, 162, 64);
  InputStatus->setWordWrap(true);
  InputStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  InputStatus->hide();
  session_ = std::make_unique<RecordingSession>(MediaPlayer1);

  handle(BitBtn5, &QPushButton::clicked, &TForm1::BitBtn5Click);
  handle(BitBtn4, &QPushButton::clicked, &TForm1::BitBtn4Click);
  handle(Timer2, &QTimer::timeout, &TForm1::Timer2Timer);
  handle(Timer1, &QTimer::timeout, &TForm1::Timer1Timer);
  handle(Button14, &QPushButton::clicked, &TForm1::Button14Click);
  handle(Edit1, &QLineEdit::textChanged, &TForm1::Edit1Change);
  handle(SpinEdit1, &QSpinBox::valueChanged, &TForm1::Edit1Change);
  handle(SpinEdit2, &QSpinBox::valueChanged, &TForm1::Edit1Change);
  handle(CheckBox1, &QCheckBox::clicked, &TForm1::CheckBox1Click);
  handle(ComboBox2, &QComboBox::activated, &TForm1::ComboBox2Change);
}

QString ElapsedText(int64_t seconds) {
  const int64_t inDay = seconds % 86400;
  return QString::asprintf("%02d:%02d:%02d", static_cast<int>(inDay / 3600), static_cast<int>(inDay / 60 % 60),
                           static_cast<int>(inDay % 60));
}

bool TForm1::recording() const { return recording_; }

QString TForm1::recordingFile() const { return Edit1->text() + QStringLiteral("/") + QLatin1String(kRecordingFileName); }

void TForm1::BitBtn5Click() { BeginRecording(); }
void TForm1::BitBtn4Click() { EndRecording(); }

void TForm1::KS1Click() {
  if (recording_)
    EndRecording();
  else
    BeginRecording();
}

// --- the inputs ---------------------------------------------------------------

void TForm1::askForInputs() {
  InputStatus->setText(FromUtf8(msg::kSearchingInputs));
  InputStatus->show();
  // The answer may come after this window is gone.
  QPointer<TForm1> self(this);
  inputs_.query([self](const InputList& found) {
    if (self) self->Guarded([&] { self->inputsFound(found); });
  });
}

void TForm1::inputsFound(const InputList& found) {
  offered_ = std::make_unique<InputList>(found);
  if (found.inputs.empty()) {
    input_.clear();
    fillInputMenu();
    InputStatus->setText(FromUtf8(msg::kNoDevice));
    stabilize();
    boxes_.show(FromUtf8(msg::kNoDevice), FromUtf8(msg::kDeviceErrorCaption), MessageBoxes::Buttons::Ok,
                Icon::Stop);
    RecordingContents->hide();
    return;
  }
  InputStatus->hide();
  inputPicked_ = false;
  chooseInput(found.defaultId);
}

bool TForm1::haveInput() const { return !input_.empty() && ComboBox2->count() > 0; }

void TForm1::chooseInput(const std::string& id) {
  if (recording_ || !offered_ || !offered_->find(id)) return;
  input_ = id;
  const QString was = ComboBox2->count() > 0 ? ComboBox2->currentText() : keptRecordingFormat_;
  ComboBox2->clear();
  for (const std::string& label : RecordingLabels(inputs_.capabilityFlags(id)))
    ComboBox2->addItem(QString::fromStdString(label));
  ComboBox2->setCurrentIndex(std::max(0, ComboBox2->findText(was, Qt::MatchExactly | Qt::MatchCaseSensitive)));
  fillInputMenu();
  UpdateLengthLimits();
  stabilize();
}

void TForm1::fillInputMenu() {
  KI1->clear();
  delete inputChoice_;
  inputChoice_ = new QActionGroup(this);
  inputChoice_->setExclusive(true);
  if (!offered_) return;
  for (const AudioInput& in : offered_->inputs) {
    const QString shown = QString::fromStdString(in.description.empty() ? in.id : in.description);
    QAction* a = KI1->addAction(shown);
    a->setObjectName(QString::fromStdString("input:" + in.id));
    a->setToolTip(QString::fromStdString(in.id));
    a->setCheckable(true);
    a->setChecked(in.id == input_);
    inputChoice_->addAction(a);
    const std::string id = in.id;
    connect(a, &QAction::triggered, this, [this, id] {
      Guarded([&] {
        chooseInput(id);
        if (input_ == id) inputPicked_ = true;
      });
    });
  }
}

// --- the level meter ----------------------------------------------------------

void TForm1::MeterTimerTimer() { Meter->feed(session_->takeLevel()); }

// --- timed recording --------------------------------------------------------

void TForm1::leaveRecording() {
  recording_ = false;
  hoursLocked_ = minutesLocked_ = false;
  stabilize();
  Timer2->stop();
  TrackBar951->setValue(0);
}

void TForm1::BeginRecording() {
  if (Edit1->text().isEmpty() || !haveInput()) return;
  const QString file = recordingFile();
  if (QFileInfo::exists(file) &&
      !boxes_.show(FromUtf8(msg::kOverwriteRecording), FromUtf8(msg::kOverwriteCaption),
                   MessageBoxes::Buttons::YesNo, Icon::None))
    return;
  const int length = Duration{SpinEdit1->value(), SpinEdit2->value(), SpinEdit3->value()}.totalSeconds();
  recording_ = true;
  stabilize();
  TrackBar951->setRange(0, length);
  TrackBar951->setTickInterval(std::max(length, 1));
  TrackBar951->setValue(0);
  Label34->setText(ElapsedText(length));
  Timer2->start();

  const std::string label = ComboBox2->currentText().toStdString();
  const PcmFormat f = RecordingFormat(label);
  RecChannels = f.channels;
  RecRate = f.sampleRate;
  RecBits = f.bitsPerSample;
  try {
    startCapture(ToPath(file), label, length);
  } catch (...) {
    // Back to idle before the error is shown.
    leaveRecording();
    throw;
  }
}

void TForm1::startCapture(const std::string& path, const std::string& label, std::optional<int> length) {
  // Told from the event loop; the recording or measurement ends at once.
  QPointer<TForm1> self(this);
  session_->onFailure = [self] {
    QTimer::singleShot(0, self, [self] { self->Guarded([&] { self->captureFailed(); }); });
  };
  const PcmFormat f = RecordingFormat(label);
  // Unless one was picked, the desktop's default at this moment: the
  // device asks the server, and the menu marks what it found.
  session_->start(path, f, inputPicked_ ? input_ : std::string(), length);
  if (!inputPicked_ && session_->input() != input_ && offered_ && offered_->find(session_->input())) {
    input_ = session_->input();
    fillInputMenu();
  }
  Meter->start(f.channels);
  MeterTimer->start();
}

void TForm1::captureFailed() {
  if (recording_) {
    EndRecording();
  } else if (session_->running()) {
    // The measurement: its window closes, and its end tells what happened.
    form2_->accept();
  }
}

void TForm1::Timer2Timer() {
  TrackBar951->setValue(TrackBar951->value() + 1);
  Label33->setText(ElapsedText(TrackBar951->value()));
  if (!session_->tick()) {
    Timer2->stop();
    EndRecording();
  } else if (TrackBar951->value() == TrackBar951->maximum()) {
    Timer2->stop();
    // An input that delivers late gets a moment for the rest; the window
    // answers meanwhile, and the stop button still ends at once.
    QPointer<TForm1> self(this);
    if (session_->complete([self] {
          if (self) self->Guarded([&] { self->EndRecording(); });
        }))
      EndRecording();
  }
}

void TForm1::EndRecording() {
  // A second ending (clock and closing question together) does nothing.
  if (!recording_) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Timer2->stop();
  const SessionEnd end = session_->end();
  MeterTimer->stop();
  Meter->stop();
  leaveRecording();
  QApplication::restoreOverrideCursor();
  if (!end.ok) {
    // What was captured is in the file; no cut follows.
    boxes_.show(QString::fromStdString(end.message), FromUtf8(msg::kRecordingFailedCaption),
                MessageBoxes::Buttons::Ok, Icon::Stop);
    return;
  }
  if (!CheckBox1->isChecked()) {
    boxes_.show(FromUtf8(msg::kRecordingDone), FromUtf8(msg::kRecordingDoneCaption), MessageBoxes::Buttons::Ok,
                Icon::Information);
    return;
  }
  Edit3->setText(recordingFile());
  const std::string label = ComboBox2->currentText().toStdString();
  // A 24-bit recording is cut as what it is: the entry after the lists.
  if (const auto wide = ParseExtendedLabel(label))
    ShowCheckedFormat(*ComboBox3, {kExtendedPosition, *wide});
  else
    ComboBox3->setCurrentIndex(RecordingLabelPosition(label));
  RunCut();
}

bool TForm1::FormCloseQuery() {
  if (!recording_) return true;
  if (!boxes_.show(FromUtf8(msg::kQuitWhileRecording), FromUtf8(msg::kQuitWhileRecordingCaption),
                   MessageBoxes::Buttons::YesNo, Icon::Exclamation))
    return false;
  CheckBox1->setChecked(false);
  EndRecording();
  return true;
}

// --- format and capacity ----------------------------------------------------

void TForm1::Edit1Change() { UpdateLengthLimits(); }
void TForm1::CheckBox1Click() { UpdateLengthLimits(); }

void TForm1::ComboBox2Change() {
  const int same = ComboBox3->findText(ComboBox2->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (same >= 0) ComboBox3->setCurrentIndex(same);
  UpdateLengthLimits();
}

void TForm1::UpdateLengthLimits() {
  // Lowering a value below re-enters through its change handler; that run
  // would find nothing left to change.
  if (updatingLimits_ || ComboBox2->count() == 0) return;
  updatingLimits_ = true;
  const CapacityInput in =
      CapacityFor(ComboBox2->currentText().toStdString(), ToPath(Edit1->text()),
                  TempFolderPath(), ToPath(Edit4->text()), CheckBox1->isChecked(), space_);
  LengthFields f;
  f.hours = {SpinEdit1->value(), SpinEdit1->maximum()};
  f.minutes = {SpinEdit2->value(), SpinEdit2->maximum()};
  f.seconds = {SpinEdit3->value(), SpinEdit3->maximum()};
  ApplyLengthLimits(CapacitySeconds(in), f);
  SpinEdit1->setMaximum(f.hours.maximum);
  SpinEdit1->setValue(f.hours.value);
  SpinEdit2->setMaximum(f.minutes.maximum);
  SpinEdit2->setValue(f.minutes.value);
  SpinEdit3->setMaximum(f.seconds.maximum);
  SpinEdit3->setValue(f.seconds.value);
  hoursLocked_ = !f.hours.enabled;
  minutesLocked_ = !f.minutes.enabled;
  stabilize();
  updatingLimits_ = false;
}

void TForm1::Button1Click() { chooseFolder(*BrowseDialog1, *Edit1); }

void TForm1::SpeedButton1Click() {
  Label29->setText(QStringLiteral("0"));
  Label30->setText(QStringLiteral("0"));
}
void TForm1::SpeedButton2Click() {
  Label37->setText(QStringLiteral("0"));
  Label38->setText(QStringLiteral("0"));
}
void TForm1::SpeedButton3Click() {
  Label40->setText(QStringLiteral("0"));
  Label41->setText(QStringLiteral("0"));
}

void TForm1::CheckBox4Click() { stabilize(); }

}  // namespace mv
