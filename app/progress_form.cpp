#include "app/progress_form.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QKeyEvent>

namespace mv {

ProgressForm::ProgressForm(const QString& caption, const QString& objectName)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint) {
  setObjectName(objectName);
  setWindowTitle(caption);
  setFixedSize(400, 90);

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  Panel1->setGeometry(0, 0, 400, 90);

  Label1 = new QLabel(Panel1);
  Label1->setObjectName("Label1");
  Label1->setGeometry(16, 8, 370, 16);

  ProgressBar1 = new QProgressBar(Panel1);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setGeometry(16, 28, 370, 16);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  Button1 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), Panel1);
  Button1->setObjectName("Button1");
  Button1->setGeometry(163, 55, 75, 25);
  connect(Button1, &QPushButton::clicked, this, &ProgressForm::cancelPressed);
}

void ProgressForm::keyPressEvent(QKeyEvent* event) {
  // Esc presses the cancel button, whichever control has the focus.
  if (event->key() == Qt::Key_Escape) {
    Button1->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ProgressForm::showCentred() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  raise();
}

void ProgressForm::closeEvent(QCloseEvent* event) {
  // No close box: the job ends the window.
  event->ignore();
}

}  // namespace mv
