#include "app/adjfrm.h"

#include <QFrame>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace mv {

TForm2::TForm2()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("TForm2");
  setWindowTitle(QStringLiteral("補正中..."));
  setFixedSize(221, 72);
  setModal(true);
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  Panel1->setGeometry(0, 0, 221, 72);
  ProgressBar1 = new QProgressBar(Panel1);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setGeometry(12, 10, 197, 16);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
  Button1 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), Panel1);
  Button1->setObjectName("Button1");
  Button1->setGeometry(73, 38, 75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

}  // namespace mv
