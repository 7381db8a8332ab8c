#include "app/shlabout.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace mv {

TShellAboutDialog::TShellAboutDialog(QObject* owner) : QObject(owner), icon_(QApplication::windowIcon()) {}

QString TShellAboutDialog::otherText() const {
  return QStringLiteral("Created by ") + Creator + ',' + DateStr + '\n' + Comment;
}

bool TShellAboutDialog::Execute() {
  QDialog dialog(qobject_cast<QWidget*>(parent()));
  dialog.setObjectName("AboutBox");
  dialog.setWindowTitle(titleText());
  auto* picture = new QLabel;
  picture->setPixmap(icon_.pixmap(32, 32));
  picture->setAlignment(Qt::AlignTop);
  auto* name = new QLabel(AppName);
  name->setObjectName("AppName");
  auto* other = new QLabel(otherText());
  other->setObjectName("OtherText");
  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(other);
  auto* top = new QHBoxLayout;
  top->addWidget(picture);
  top->addLayout(texts, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  auto* all = new QVBoxLayout(&dialog);
  all->addLayout(top);
  all->addWidget(buttons);
  QTimer::singleShot(0, &dialog, [&] { emit opened(&dialog); });
  dialog.exec();
  return true;
}

}  // namespace mv
