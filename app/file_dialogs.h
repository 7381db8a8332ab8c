#pragma once
// Qt's own file dialogs as the window opens them: Japanese like the window
// (dates and sizes too, whatever the desktop's language), in the detail
// view, large enough for every column.

#include <QFileDialog>
#include <QStyledItemDelegate>

namespace mv {

// One of the window's file dialogs: ".wav" files, Qt's own dialog (so that
// tests can answer it), the given mode.
void SetUpWaveDialog(QFileDialog& dialog, const char* name, const QString& filter, QFileDialog::FileMode mode);

// The locale, view, size and columns of a dialog that uses Qt's widgets.
void SetUpFileView(QFileDialog& dialog);

// Writes the size and date columns in the view's locale; Qt's file model
// writes them in the desktop's.
class FileDetailsDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace mv
