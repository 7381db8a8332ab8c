#pragma once
// An open dialog for several existing files that takes every name typed
// into it. Qt's own dialog keeps, of the typed names, only those its name
// filter shows (and greys its Open button for a name it hides); here
// "j4.raw" typed beside "j2.wav" under "*.wav" is chosen too, as long as it
// exists.

#include <QFileDialog>
#include <QPointer>
#include <QStringList>

class QPushButton;

namespace mv {

class OpenFilesDialog : public QFileDialog {
 public:
  explicit OpenFilesDialog(QWidget* parent) : QFileDialog(parent) {}

  // The chosen files, full names, in the order the file name box lists them.
  QStringList chosen() const { return chosen_; }

  void accept() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The file name box's names as Qt reads them: one name, or several in
  // double quotes; relative to the folder shown, the default suffix added
  // to a name without one.
  QStringList typedNames() const;
  // Every typed name is an existing file (not a folder).
  bool typedFilesExist() const;
  void enableOpen();

  QStringList chosen_;
  QPointer<QPushButton> open_;
};

}  // namespace mv
