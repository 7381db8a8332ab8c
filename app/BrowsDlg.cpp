#include "app/BrowsDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include "app/file_dialogs.h"

namespace mv {

void TBrowseDialog::notify(const TBrowseDialogEvent& event, QFileDialog* dialog, const QString& path) {
  if (!event) return;
  QString showText;
  TOKButtonState ok = TOKButtonState::Unchanged;
  event(*this, dialog, path, showText, ok);
  if (!showText.isEmpty()) dialog->setLabelText(QFileDialog::LookIn, showText);
  if (ok != TOKButtonState::Unchanged) {
    for (auto* button : dialog->findChildren<QPushButton*>())
      if (button->isDefault()) button->setEnabled(ok == TOKButtonState::Enable);
  }
}

bool TBrowseDialog::Execute() {
  QWidget* owner = qobject_cast<QWidget*>(parent());
  if (!owner) owner = QApplication::activeWindow();
  QFileDialog dialog(owner, Caption);
  dialog.setObjectName("BrowseDialog");
  dialog.setFileMode(Options & static_cast<unsigned>(TBrowseOption::biBrowseIncludeFiles)
                         ? QFileDialog::AnyFile
                         : QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly,
                   !(Options & static_cast<unsigned>(TBrowseOption::biBrowseIncludeFiles)));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  SetUpFileView(dialog);
  if (!Root.isEmpty()) dialog.setDirectory(Root);

  // Open at the preselected folder; "/" alone keeps its slash.
  QString start = Directory;
  if (start.size() > 1 && start.endsWith('/')) start.chop(1);
  if (!start.isEmpty()) dialog.setDirectory(start);
  connect(&dialog, &QFileDialog::currentChanged, this,
          [&](const QString& path) { notify(OnSelectionChanged, &dialog, path); });
  QTimer::singleShot(0, &dialog, [&] {
    notify(OnInitialized, &dialog, start);
    emit opened(&dialog);
  });

  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  Directory = chosen.isEmpty() ? QString() : chosen.first();
  return true;
}

}  // namespace mv
