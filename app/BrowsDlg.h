#pragma once
// TBrowseDialog: the folder picker, with the properties of the original
// design's folder browser, over Qt's file dialog in directory mode.

#include <QObject>
#include <QString>
#include <functional>

class QFileDialog;
class QWidget;

namespace mv {

// The options the picker acts on; the shell's other browsing flags have no
// counterpart in Qt's dialog and are left out.
enum class TBrowseOption : unsigned {
  biBrowseIncludeFiles = 0x4000,
  biReturnOnlyFSDirs = 0x1,
};

enum class TOKButtonState { Unchanged = 0, Enable = 1, Disable = 2 };

class TBrowseDialog : public QObject {
  Q_OBJECT
 public:
  // Sender, the dialog, path, text to show (in/out), OK button (in/out).
  using TBrowseDialogEvent =
      std::function<void(TBrowseDialog&, QWidget*, const QString&, QString&, TOKButtonState&)>;

  explicit TBrowseDialog(QObject* owner = nullptr) : QObject(owner) {}

  QString Directory;  // in: folder to preselect; out: the chosen folder
  QString Caption;    // text above the folders
  QString Root;       // top of the tree; empty: the whole file system
  unsigned Options = static_cast<unsigned>(TBrowseOption::biReturnOnlyFSDirs);
  TBrowseDialogEvent OnInitialized;
  TBrowseDialogEvent OnSelectionChanged;

  // Shows the modal picker; true when a folder was accepted.
  bool Execute();

 signals:
  // The dialog is up (tests answer it from here).
  void opened(QFileDialog* dialog);

 private:
  void notify(const TBrowseDialogEvent& event, QFileDialog* dialog, const QString& path);
};

}  // namespace mv
