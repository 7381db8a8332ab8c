// The joining page: the join list, its commands, the output and its format.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/mvfrm.h"
#include "app/placing.h"
#include "wave/format.h"

namespace mv {

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
  for (std::string_view label : kJoinLabels) ComboBox4->addItem(QString::fromUtf8(label.data(), label.size()));
  CheckBox5 = WithText(Place<QCheckBox>(page, "CheckBox5", 88, 248, 221, 17),
                       QStringLiteral("生成後、結合前のﾌｧｲﾙを消去する(&K)"));
  Label13 = PlaceLabel(page, "Label13", 16, 272,
                       QStringLiteral("***結合には結合されるﾌｧｲﾙと同じだけのﾃﾞｨｽｸ容量が必要です。***"));
  Label13->setStyleSheet(QStringLiteral("color: red;"));
  Button10 = WithText(Place<QPushButton>(page, "Button10", 192, 292, 105, 25), QStringLiteral("結合開始(&B)"));
  Button10->setDefault(true);
}

}  // namespace mv
