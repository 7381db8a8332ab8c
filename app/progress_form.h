#pragma once
// The progress window of a long job: a status line, a bar and a cancel
// button (Esc presses it). Always on top, centred, without a close box, shown
// without being modal while the main window is disabled.

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QFrame;

namespace mv {

class ProgressForm : public QWidget {
  Q_OBJECT
 public:
  ProgressForm(const QString& caption, const QString& objectName);

  // Shows the window centred on the screen.
  void showCentred();

  QFrame* Panel1;
  QLabel* Label1;
  QProgressBar* ProgressBar1;
  QPushButton* Button1;

 signals:
  // The cancel button (or Esc) was pressed.
  void cancelPressed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace mv
