#include "app/message_boxes.h"

#include <QMessageBox>

namespace mv {

bool QtMessageBoxes::show(const QString& text, const QString& caption, Buttons buttons, Icon icon) {
  QMessageBox box(parent_);
  box.setWindowTitle(caption);
  box.setText(text);
  switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Stop: box.setIcon(QMessageBox::Critical); break;
  }
  if (buttons == Buttons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  return box.exec() != QMessageBox::No;
}

}  // namespace mv
