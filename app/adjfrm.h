#pragma once
// TForm2, the measuring window of the correction measurement: a bar that the
// main window's Timer1 fills, and a button that ends the measurement early
// (the recording so far is analysed all the same).

#include <QDialog>

class QFrame;
class QProgressBar;
class QPushButton;

namespace mv {

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  TForm2();

  QFrame* Panel1;
  QProgressBar* ProgressBar1;  // 0..100, step 5
  QPushButton* Button1;
  int32_t FChannels = 1;
  int32_t FBitsPerSample = 16;
  static constexpr int kStep = 5;

 protected:
  void reject() override { accept(); }  // Esc and the rest end it like the button
};

}  // namespace mv
