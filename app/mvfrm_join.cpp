// The joining page: the join list, its commands, the output and its format.

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/format_entry.h"
#include "app/cbfrm.h"
#include "app/file_dialogs.h"
#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/open_files_dialog.h"
#include "app/paths_qt.h"
#include "app/placing.h"
#include "app/window_host.h"
#include "join/join.h"
#include "wave/format.h"

namespace mv {

namespace {

// The join list as the intake sees it: ListBox1, ComboBox4 and the question.
class ListBoxIntake : public JoinIntake {
 public:
  explicit ListBoxIntake(TForm1& form) : form_(form) {}
  int formatPosition() const override { return form_.ComboBox4->currentIndex(); }
  void setFormatPosition(int p) override { ShowCheckedFormat(*form_.ComboBox4, {p, {}}); }
  std::optional<PcmFormat> extendedFormat() const override { return ExtendedEntry(*form_.ComboBox4); }
  void setExtendedFormat(const PcmFormat& f) override {
    ShowCheckedFormat(*form_.ComboBox4, {kExtendedPosition, f});
  }
  void append(const std::string& name) override { form_.ListBox1->addItem(FromPath(name)); }
  bool ask(const Message& q) override { return Ask(form_.boxes(), q); }

 private:
  TForm1& form_;
};

}  // namespace

void TForm1::buildJoiningPage() {
  QWidget* page = TabSheet3;
  Label14 = PlaceLabel(page, "Label14", 12, 4, QStringLiteral("結合するﾌｧｲﾙ"));
  Label15 = PlaceLabel(page, "Label15", 12, 20, QStringLiteral("この順序で結合されたWAVEﾌｧｲﾙを生成します。"));
  Button3 = WithText(Place<QPushButton>(page, "Button3", 344, 12, 81, 21), QStringLiteral("追加(&P)..."));
  ListBox1 = Place<QListWidget>(page, "ListBox1", 12, 36, 465, 125);
  struct Command {
    QPushButton*& button;
    const char* name;
    int x;
    const char* text;
  } commands[] = {{Button4, "Button4", 12, "一番上へ(&1)"}, {Button5, "Button5", 88, "上へ(&2)"},
                  {Button6, "Button6", 164, "下へ(&3)"},    {Button7, "Button7", 240, "一番下へ(&4)"},
                  {Button8, "Button8", 324, "消去(&9)"},    {Button9, "Button9", 400, "すべて消去(&0)"}};
  for (Command& c : commands)
    c.button = WithText(Place<QPushButton>(page, c.name, c.x, 160, 77, 25), QString::fromUtf8(c.text));
  Label12 = PlaceLabel(page, "Label12", 12, 200, QStringLiteral("生成するﾌｧｲﾙ"));
  Edit2 = Place<QLineEdit>(page, "Edit2", 88, 196, 293, 20);
  Button2 = WithText(Place<QPushButton>(page, "Button2", 380, 196, 61, 21), QStringLiteral("参照(&S)..."));
  Label21 = PlaceLabel(page, "Label21", 12, 228, QStringLiteral("形式"));
  ComboBox4 = Place<QComboBox>(page, "ComboBox4", 88, 224, 353, 20);
  for (std::string_view label : kJoinLabels) ComboBox4->addItem(FromUtf8(label));
  CheckBox5 = WithText(Place<QCheckBox>(page, "CheckBox5", 88, 248, 221, 17),
                       QStringLiteral("生成後、結合前のﾌｧｲﾙを消去する(&K)"));
  Label13 = PlaceLabel(page, "Label13", 16, 272,
                       QStringLiteral("***結合には結合されるﾌｧｲﾙと同じだけのﾃﾞｨｽｸ容量が必要です。***"));
  Label13->setStyleSheet(QStringLiteral("color: red;"));
  Button10 = WithText(Place<QPushButton>(page, "Button10", 192, 292, 105, 25), QStringLiteral("結合開始(&B)"));
  Button10->setDefault(true);

  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  const std::pair<QPushButton*, void (TForm1::*)()> handlers[] = {
      {Button3, &TForm1::Button3Click}, {Button2, &TForm1::Button2Click}, {Button4, &TForm1::Button4Click},
      {Button5, &TForm1::Button5Click}, {Button6, &TForm1::Button6Click}, {Button7, &TForm1::Button7Click},
      {Button8, &TForm1::Button8Click}, {Button9, &TForm1::Button9Click}, {Button10, &TForm1::Button10Click}};
  for (auto [button, handler] : handlers) handle(button, &QPushButton::clicked, handler);
}

// --- file intake ------------------------------------------------------------

void TForm1::AddJoinFiles(const QStringList& batch) {
  std::vector<std::string> names;
  for (const QString& n : batch) names.push_back(ToPath(n));
  ListBoxIntake list(*this);
  mv::AddJoinFiles(names, list);
}

void TForm1::Button3Click() {
  OpenFilesDialog dialog(this);
  SetUpWaveDialog(dialog, "OpenDialog3", QStringLiteral("Windows WAVE (*.wav)"), QFileDialog::ExistingFiles);
  if (dialog.exec() != QDialog::Accepted) return;
  AddJoinFiles(dialog.chosen());
}

void TForm1::Button2Click() {
  QFileDialog dialog(this);
  SetUpWaveDialog(dialog, "SaveDialog1", QStringLiteral("Windows WAVE (*.wav)"), QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // It starts from its own last choice, not from the edit box.
  if (!lastSaveName_.isEmpty()) dialog.selectFile(lastSaveName_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  lastSaveName_ = dialog.selectedFiles().first();
  Edit2->setText(lastSaveName_);
}

// --- list commands ------------------------------------------------------------

int TForm1::joinSelection() const {
  const int row = ListBox1->currentRow();
  return row >= 0 && ListBox1->item(row)->isSelected() ? row : -1;
}

void TForm1::selectJoinEntry(int row) {
  if (row < 0) {
    ListBox1->clearSelection();
    ListBox1->setCurrentRow(-1);
  } else {
    ListBox1->setCurrentRow(row);
  }
}

void TForm1::swapJoinEntries(int a, int b) {
  const QString first = ListBox1->item(a)->text();
  ListBox1->item(a)->setText(ListBox1->item(b)->text());
  ListBox1->item(b)->setText(first);
}

// "To the top" and "to the bottom" swap two entries; those between stay.
void TForm1::Button4Click() {
  const int s = joinSelection();
  if (s < 1) return;
  swapJoinEntries(0, s);
  selectJoinEntry(0);
}

void TForm1::Button5Click() {
  const int s = joinSelection();
  if (s < 1) return;
  swapJoinEntries(s - 1, s);
  selectJoinEntry(s - 1);
}

void TForm1::Button6Click() {
  const int s = joinSelection();
  if (s < 0 || s >= ListBox1->count() - 1) return;
  swapJoinEntries(s, s + 1);
  selectJoinEntry(s + 1);
}

void TForm1::Button7Click() {
  const int s = joinSelection();
  if (s < 0) return;
  const int last = ListBox1->count() - 1;
  swapJoinEntries(s, last);
  selectJoinEntry(last);
}

void TForm1::Button8Click() {
  const int s = joinSelection();
  if (s < 0) return;
  delete ListBox1->takeItem(s);
  if (s < ListBox1->count())
    selectJoinEntry(s);
  else
    selectJoinEntry(s > 0 ? s - 1 : -1);
}

void TForm1::Button9Click() { ListBox1->clear(); }

// --- the join run -------------------------------------------------------------

void TForm1::Button10Click() {
  JoinSettings s;
  for (int i = 0; i < ListBox1->count(); ++i) s.sources.push_back(ToPath(ListBox1->item(i)->text()));
  s.output = ToPath(Edit2->text());
  s.format = SelectedFormat(*ComboBox4);
  s.deleteSources = CheckBox5->isChecked();
  WindowJobHost host(*this, *form3_);
  if (mv::RunJoin(s, host).sourcesDeleted) ListBox1->clear();
}

}  // namespace mv
