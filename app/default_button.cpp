#include "app/default_button.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>

namespace mv {

namespace {

// Sees the Enter that no control of the pages took.
class EnterFilter : public QObject {
 public:
  explicit EnterFilter(QTabWidget* pages) : QObject(pages), pages_(pages) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        (key->modifiers() & ~Qt::KeypadModifier))
      return false;
    QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<QAbstractItemView*>(focus) || qobject_cast<QTextEdit*>(focus) ||
        qobject_cast<QPlainTextEdit*>(focus))
      return false;
    QPushButton* button = qobject_cast<QPushButton*>(focus);
    if (!button) button = defaultButton();
    if (!button) return false;
    button->click();
    return true;
  }

 private:
  QPushButton* defaultButton() const {
    QWidget* page = pages_->currentWidget();
    if (!page) return nullptr;
    for (QPushButton* b : page->findChildren<QPushButton*>())
      if (b->isDefault() && b->isVisible()) return b;
    return nullptr;
  }

  QTabWidget* pages_;
};

}  // namespace

void PressDefaultButtonOnEnter(QTabWidget* pages) { pages->installEventFilter(new EnterFilter(pages)); }

}  // namespace mv
