#pragma once
// TShellAboutDialog: the About box, with the application's icon, the program
// name as its first line, then "Created by <creator>,<date>" and a comment.

#include <QIcon>
#include <QObject>
#include <QString>

class QDialog;

namespace mv {

class TShellAboutDialog : public QObject {
  Q_OBJECT
 public:
  explicit TShellAboutDialog(QObject* owner = nullptr);

  QString AppName;
  QString Creator;
  QString DateStr;  // year.month.day, no leading zeros
  QString Comment;

  // The window title, the first line and the text under it, as shown.
  QString titleText() const { return QStringLiteral("Version Information"); }
  QString otherText() const;

  bool Execute();

 signals:
  void opened(QDialog* dialog);

 private:
  QIcon icon_;
};

}  // namespace mv
