#include "app/window_host.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/progress_form.h"

namespace mv {

namespace {
QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

bool WindowJobHost::ask(const Message& q) {
  return form_.boxes().show(text(q.text), text(q.caption), MessageBoxes::Buttons::YesNo, q.icon);
}

void WindowJobHost::inform(const Message& m) {
  form_.boxes().show(text(m.text), text(m.caption), MessageBoxes::Buttons::Ok, m.icon);
}

void WindowJobHost::begin() {
  form_.setEnabled(false);
  progress_.showCentred();
}

void WindowJobHost::end() {
  progress_.Label1->clear();
  progress_.hide();
  form_.setEnabled(true);
}

void WindowJobHost::status(std::string_view t) { progress_.Label1->setText(text(t)); }
void WindowJobHost::progress(int percent) { progress_.ProgressBar1->setValue(percent); }
void WindowJobHost::pump() { QCoreApplication::processEvents(); }
void WindowJobHost::resetCancel() { form_.CancelRequested = 0; }
bool WindowJobHost::cancelRequested() { return form_.CancelRequested == -1; }

}  // namespace mv
