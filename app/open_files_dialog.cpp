#include "app/open_files_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace mv {

namespace {

QLineEdit* NameBox(const QFileDialog& dialog) {
  return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

}  // namespace

QStringList OpenFilesDialog::typedNames() const {
  const QLineEdit* edit = NameBox(*this);
  if (!edit) return {};
  const QString text = edit->text();
  QStringList names;
  if (!text.contains(u'"')) {
    names << text;
  } else {
    // "a" "b": every other piece between the quotes is a name.
    const QStringList pieces = text.split(u'"');
    for (qsizetype i = 1; i < pieces.size(); i += 2) names << pieces[i];
  }
  QStringList out;
  const QDir folder = directory();
  for (QString name : names) {
    if (name.isEmpty()) continue;
    if (name == u'~' || name.startsWith(QStringLiteral("~/"))) name.replace(0, 1, QDir::homePath());
    QString path = folder.absoluteFilePath(name);
    const QFileInfo info(path);
    if (!defaultSuffix().isEmpty() && !info.isDir() && !info.fileName().contains(u'.'))
      path += u'.' + defaultSuffix();
    out << path;
  }
  return out;
}

bool OpenFilesDialog::typedFilesExist() const {
  const QStringList names = typedNames();
  if (names.isEmpty()) return false;
  for (const QString& n : names)
    if (!QFileInfo(n).isFile()) return false;
  return true;
}

void OpenFilesDialog::accept() {
  const QStringList names = typedNames();
  // An empty box, or a folder typed or chosen, is Qt's to handle: the
  // folder is entered.
  bool folder = names.isEmpty();
  for (const QString& n : names) folder = folder || QFileInfo(n).isDir();
  if (folder) {
    QFileDialog::accept();
    chosen_ = result() == Accepted ? selectedFiles() : QStringList{};
    return;
  }
  for (const QString& n : names) {
    if (!QFileInfo::exists(n)) {
      QMessageBox::warning(this, windowTitle(),
                           QFileDialog::tr("%1\nFile not found.\nPlease verify the correct file name was given.")
                               .arg(QFileInfo(n).fileName()));
      return;
    }
  }
  chosen_ = names;
  QDialog::accept();
}

// Qt's widgets exist once the dialog is shown as Qt's own.
void OpenFilesDialog::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  if (open_) return;
  if (auto* box = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
    open_ = box->button(QDialogButtonBox::Open);
  QLineEdit* edit = NameBox(*this);
  if (!open_ || !edit) return;
  // Runs after Qt's own check of the typed text, which it overrules.
  connect(edit, &QLineEdit::textChanged, this, &OpenFilesDialog::enableOpen);
  open_->installEventFilter(this);
  enableOpen();
}

bool OpenFilesDialog::eventFilter(QObject* watched, QEvent* event) {
  // Qt checks the Open button again on other changes (selection, folder).
  if (watched == open_ && event->type() == QEvent::EnabledChange) enableOpen();
  return QFileDialog::eventFilter(watched, event);
}

void OpenFilesDialog::enableOpen() {
  if (open_ && !open_->isEnabled() && typedFilesExist()) open_->setEnabled(true);
}

}  // namespace mv
