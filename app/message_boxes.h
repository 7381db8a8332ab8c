#pragma once
// Every message box of the window goes through here, so that tests can
// answer the questions and read what was shown.

#include <QString>

#include "wave/job.h"

class QWidget;

namespace mv {

class MessageBoxes {
 public:
  enum class Buttons { Ok, YesNo };
  virtual ~MessageBoxes() = default;
  // True for Yes (or OK).
  virtual bool show(const QString& text, const QString& caption, Buttons buttons, Icon icon) = 0;
};

// Real, modal boxes over a parent window.
class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  bool show(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;

 private:
  QWidget* parent_;
};

// An engine's question (true for Yes) or message, as a box.
inline bool Ask(MessageBoxes& boxes, const Message& q) {
  return boxes.show(QString::fromUtf8(q.text.data(), static_cast<qsizetype>(q.text.size())),
                    QString::fromUtf8(q.caption.data(), static_cast<qsizetype>(q.caption.size())),
                    MessageBoxes::Buttons::YesNo, q.icon);
}

inline void Inform(MessageBoxes& boxes, const Message& m) {
  boxes.show(QString::fromUtf8(m.text.data(), static_cast<qsizetype>(m.text.size())),
             QString::fromUtf8(m.caption.data(), static_cast<qsizetype>(m.caption.size())),
             MessageBoxes::Buttons::Ok, m.icon);
}

}  // namespace mv
