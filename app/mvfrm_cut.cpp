// The cutting page: source, mode and its settings, format, save folder; the
// cut run with its progress window, and its preview.

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include "app/format_entry.h"
#include "app/cutfrm.h"
#include "app/file_dialogs.h"
#include "app/mvfrm.h"
#include "app/paths_qt.h"
#include "app/placing.h"
#include "app/preview_dialog.h"
#include "app/window_host.h"
#include "cut/cut.h"
#include "cut/modes.h"
#include "flac/source_check.h"
#include "cut/explain.h"
#include "cut/units.h"
#include "wave/duration.h"
#include "wave/format.h"
#include "wave/header.h"

namespace mv {

void TForm1::buildCuttingPage() {
  QWidget* page = TabSheet2;
  Label11 = PlaceLabel(page, "Label11", 8, 12, QStringLiteral("切り出すﾌｧｲﾙ"));
  Edit3 = Place<QLineEdit>(page, "Edit3", 88, 8, 249, 20);
  Button12 = WithText(Place<QPushButton>(page, "Button12", 336, 8, 73, 21), QStringLiteral("参照(&O)..."));
  handle(Button12, &QPushButton::clicked, &TForm1::Button12Click);

  GroupBox1 = Place<QGroupBox>(page, "GroupBox1", 8, 36, 401, 145);
  GroupBox1->setTitle(QStringLiteral("切り出し設定"));
  RadioButton1 = WithText(Place<QRadioButton>(GroupBox1, "RadioButton1", 12, 16, 345, 17),
                          QStringLiteral("曲の区切りを検出した切り出し(曲ごとにﾌｧｲﾙを生成します)(&1)"));
  RadioButton1->setChecked(true);
  Label22 = PlaceLabel(GroupBox1, "Label22", 12, 40, QStringLiteral("無音(波形の絶対値が"));
  SpinEdit7 = PlaceSpin(GroupBox1, "SpinEdit7", 128, 36, 65, 0, kMaxThreshold, kDefaultThreshold);
  Label23 = PlaceLabel(GroupBox1, "Label23", 196, 40, QStringLiteral("以下の音)が、"));
  SpinEdit8 = PlaceSpin(GroupBox1, "SpinEdit8", 268, 36, 69, 0, kMaxRunLength, kDefaultRunLength);
  Label24 = PlaceLabel(GroupBox1, "Label24", 340, 40, QStringLiteral("ｻﾝﾌﾟﾙ"));
  Label25 = PlaceLabel(GroupBox1, "Label25", 12, 64, QStringLiteral("続くと、新しい曲と判定する。"));
  RadioButton2 = WithText(Place<QRadioButton>(GroupBox1, "RadioButton2", 12, 92, 325, 17),
                          QStringLiteral("同じ長さのﾌｧｲﾙへの分割(長い曲の編集に便利)(&2)"));
  Label16 = PlaceLabel(GroupBox1, "Label16", 12, 120, QStringLiteral("1つのﾌｧｲﾙの長さ"));
  SpinEdit4 = PlaceSpin(GroupBox1, "SpinEdit4", 124, 116, 49, 0, kMaxHours, 0);
  Label17 = PlaceLabel(GroupBox1, "Label17", 180, 120, QStringLiteral("時間"));
  SpinEdit5 = PlaceSpin(GroupBox1, "SpinEdit5", 212, 116, 49, 0, 59, 1);
  Label18 = PlaceLabel(GroupBox1, "Label18", 272, 120, QStringLiteral("分"));
  SpinEdit6 = PlaceSpin(GroupBox1, "SpinEdit6", 292, 116, 49, 0, 59, 0);
  Label19 = PlaceLabel(GroupBox1, "Label19", 348, 120, QStringLiteral("秒"));
  handle(RadioButton1, &QRadioButton::clicked, &TForm1::RadioButton1Click);
  handle(RadioButton2, &QRadioButton::clicked, &TForm1::RadioButton2Click);
  handle(SpinEdit4, &QSpinBox::valueChanged, &TForm1::SpinEdit5Change);
  handle(SpinEdit5, &QSpinBox::valueChanged, &TForm1::SpinEdit5Change);

  Label20 = PlaceLabel(page, "Label20", 12, 192, QStringLiteral("形式"));
  ComboBox3 = Place<QComboBox>(page, "ComboBox3", 84, 188, 325, 20);
  for (std::string_view label : kCutLabels) ComboBox3->addItem(FromUtf8(label));
  Label26 = PlaceLabel(page, "Label26", 12, 220, QStringLiteral("保存ﾌｫﾙﾀﾞ"));
  Edit4 = Place<QLineEdit>(page, "Edit4", 84, 216, 253, 20);
  Edit4->setReadOnly(true);
  Edit4->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); }"));
  Button13 = WithText(Place<QPushButton>(page, "Button13", 336, 216, 73, 21), QStringLiteral("参照(&S)..."));
  handle(Button13, &QPushButton::clicked, &TForm1::Button13Click);
  CheckBox6 = WithText(Place<QCheckBox>(page, "CheckBox6", 84, 246, 237, 17),
                       QStringLiteral("生成後、切り出し前のﾌｧｲﾙを消去する(&D)"));
  Label27 = PlaceLabel(page, "Label27", 16, 272,
                       QStringLiteral("***切り出しには切り出すﾌｧｲﾙと同じだけのﾃﾞｨｽｸ容量が必要です。***"));
  Label27->setStyleSheet(QStringLiteral("color: red;"));
  Button11 = WithText(Place<QPushButton>(page, "Button11", 192, 292, 105, 25),
                      QStringLiteral("切り出し開始(&B)"));
  Button11->setDefault(true);
  handle(Button11, &QPushButton::clicked, &TForm1::KS3Click);
  // In the free corner right of the start button; nothing else moves.
  Button15 = WithText(Place<QPushButton>(page, "Button15", 320, 294, 89, 21),
                      QStringLiteral("ﾌﾟﾚﾋﾞｭｰ(&P)..."));
  handle(Button15, &QPushButton::clicked, &TForm1::KP1Click);

  handle(SpinEdit7, &QSpinBox::valueChanged, &TForm1::showCutUnits);
  handle(SpinEdit8, &QSpinBox::valueChanged, &TForm1::showCutUnits);
  handle(ComboBox3, &QComboBox::currentIndexChanged, &TForm1::showCutUnits);
  // A suggestion holds for the file it was found in.
  connect(Edit3, &QLineEdit::textChanged, this, [this] {
    suggestion_.clear();
    showCutUnits();
  });
  showCutUnits();
}

// --- handlers -------------------------------------------------------------

void TForm1::KS3Click() { RunCut(); }

CutSettings TForm1::cutSettings() const {
  CutSettings s;
  s.source = ToPath(Edit3->text());
  s.saveFolder = ToPath(Edit4->text());
  s.format = SelectedFormat(*ComboBox3);
  s.mode = RadioButton1->isChecked() ? CutMode::AtSilences : CutMode::EqualLengths;
  s.threshold = SpinEdit7->value();
  s.runLength = SpinEdit8->value();
  s.pieceLength = {SpinEdit4->value(), SpinEdit5->value(), SpinEdit6->value()};
  // The captions are read as integers only when the run comes to them.
  if (CheckBox4->isChecked())
    s.correction = Correction{Label29->text().toStdString(), Label30->text().toStdString()};
  s.deleteSource = CheckBox6->isChecked();
  s.ignoreClicks = nextIgnoreClicks_;
  s.minSongSeconds = nextMinSongSeconds_;
  s.files = nextFiles_;
  if (nextPoints_) {
    s.mode = CutMode::AtPoints;
    s.points = *nextPoints_;
  }
  return s;
}

void TForm1::RunCut() {
  PageControl1->setCurrentWidget(TabSheet2);
  const CutSettings settings = cutSettings();
  // The preview's click tolerance and shortest song hold for this run only.
  nextIgnoreClicks_ = nextMinSongSeconds_ = 0;
  nextFiles_ = {};
  nextPoints_.reset();
  WindowJobHost host(*this, *form4_);
  if (mv::RunCut(settings, host).sourceDeleted) Edit3->clear();
}

void TForm1::KP1Click() {
  PageControl1->setCurrentWidget(TabSheet2);
  if (!preview_) {
    preview_ = new PreviewDialog(this, boxes_);
    handle(preview_, &PreviewDialog::cutWanted, &TForm1::cutFromPreview);
    connect(preview_, &PreviewDialog::suggested, this, [this](const QString& summary) {
      suggestion_ = summary;
      showCutUnits();
    });
  }
  preview_->start(cutSettings());
}

void TForm1::cutFromPreview(const PreviewChoice& choice) {
  SpinEdit7->setValue(choice.threshold);
  SpinEdit8->setValue(choice.runLength);
  nextIgnoreClicks_ = choice.ignoreClicks;
  nextMinSongSeconds_ = choice.minSongSeconds;
  if (choice.zero) {
    // A suggestion's zero points, taken: shown where a measurement shows them.
    const ZeroPoints z = ReadZeroPoints(choice.zero);
    Label29->setText(QString::number(z.left));
    Label30->setText(QString::number(z.right));
    CheckBox4->setChecked(true);
  }
  nextFiles_ = {};
  nextFiles_.format = choice.format;
  nextFiles_.plan = MakePiecePlan<PieceFiles>(choice.album);
  nextPoints_ = choice.points;
  KS3Click();
}

void TForm1::showCutUnits() {
  const PcmFormat format = SelectedFormat(*ComboBox3);
  SpinEdit7->setToolTip(
      QStringLiteral("%1 = %2").arg(SpinEdit7->value()).arg(FromUtf8(LevelText(SpinEdit7->value(), format))));
  SpinEdit8->setToolTip(QStringLiteral("%1ｻﾝﾌﾟﾙ = %2")
                            .arg(SpinEdit8->value())
                            .arg(FromUtf8(SecondsText(FramesSeconds(SpinEdit8->value(), format)))));
  if (!suggestion_.isEmpty()) {
    for (QSpinBox* box : {SpinEdit7, SpinEdit8}) box->setToolTip(box->toolTip() + QLatin1Char('\n') + suggestion_);
  }
}

void TForm1::Button12Click() {
  QFileDialog dialog(this);
  SetUpWaveDialog(dialog, "OpenDialog2", QStringLiteral("Windows Wave (*.wav);;FLAC (*.flac)"), QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  TakeCutSource(dialog.selectedFiles().first());
}

void TForm1::TakeCutSource(const QString& name) {
  const std::string path = ToPath(name);
  if (const auto checked = CheckSourceFormat(path)) ShowCheckedFormat(*ComboBox3, *checked);
  Edit3->setText(name);
}

void TForm1::Button13Click() { chooseFolder(*BrowseDialog2, *Edit4); }

// The mode is read from the buttons.
void TForm1::RadioButton1Click() { stabilize(); }
void TForm1::RadioButton2Click() { stabilize(); }

void TForm1::SpinEdit5Change() {
  // Hours and minutes going to 0 make the seconds 1, whatever they were.
  if (SpinEdit4->value() == 0 && SpinEdit5->value() == 0) SpinEdit6->setValue(1);
  stabilize();
}

}  // namespace mv
