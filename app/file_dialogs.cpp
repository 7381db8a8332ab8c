#include "app/file_dialogs.h"

#include <QDateTime>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QTreeView>

#include "app/placing.h"

namespace mv {

namespace {

// The columns of Qt's file model.
enum Column { kName = 0, kSize = 1, kType = 2, kDate = 3 };

}  // namespace

void FileDetailsDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  const auto* files = qobject_cast<const QFileSystemModel*>(index.model());
  if (!files) return;
  if (index.column() == kDate)
    option->text = option->locale.toString(files->lastModified(index), QLocale::ShortFormat);
  else if (index.column() == kSize && !files->isDir(index))
    option->text = option->locale.formattedDataSize(files->size(index));
}

void SetUpWaveDialog(QFileDialog& dialog, const char* name, const QString& filter, QFileDialog::FileMode mode) {
  dialog.setObjectName(QString::fromLatin1(name));
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(QStringLiteral("wav"));
  dialog.setFileMode(mode);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  SetUpFileView(dialog);
}

void SetUpFileView(QFileDialog& dialog) {
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  dialog.setLocale(japanese);
  dialog.setViewMode(QFileDialog::Detail);
  ResizeWithinScreen(dialog, QSize(800, 480));
  auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (!view) return;
  for (int column : {kSize, kDate}) view->setItemDelegateForColumn(column, new FileDetailsDelegate(view));
  // The details as wide as their longest texts; the name takes the rest.
  const QFontMetrics metrics = view->fontMetrics();
  const int room = 3 * metrics.averageCharWidth();
  QHeaderView* header = view->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(kName, QHeaderView::Stretch);
  header->resizeSection(kSize, metrics.horizontalAdvance(japanese.formattedDataSize(999'999'999)) + room);
  header->resizeSection(kType, metrics.horizontalAdvance(QStringLiteral("WAV オーディオ ファイル")) + room);
  header->resizeSection(
      kDate, metrics.horizontalAdvance(japanese.toString(QDateTime(QDate(2026, 12, 28), QTime(23, 59)),
                                                         QLocale::ShortFormat)) + room);
}

}  // namespace mv
