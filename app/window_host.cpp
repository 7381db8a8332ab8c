#include "app/window_host.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>

#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/paths_qt.h"
#include "app/progress_form.h"

namespace mv {

WindowJobHost::WindowJobHost(TForm1& form, ProgressForm& progress) : form_(form), progress_(progress) {
  cancel_ = QObject::connect(&progress_, &ProgressForm::cancelPressed, &form_,
                             [&form] { form.CancelRequested = -1; });
}

WindowJobHost::~WindowJobHost() { QObject::disconnect(cancel_); }

bool WindowJobHost::ask(const Message& q) { return Ask(form_.boxes(), q); }
void WindowJobHost::inform(const Message& m) { Inform(form_.boxes(), m); }

void WindowJobHost::begin() {
  form_.setEnabled(false);
  progress_.showCentred();
}

void WindowJobHost::end() {
  progress_.Label1->clear();
  progress_.hide();
  form_.setEnabled(true);
}

void WindowJobHost::status(std::string_view t) { progress_.Label1->setText(FromUtf8(t)); }
void WindowJobHost::progress(int percent) { progress_.ProgressBar1->setValue(percent); }
void WindowJobHost::pump() { QCoreApplication::processEvents(); }
void WindowJobHost::resetCancel() { form_.CancelRequested = 0; }
bool WindowJobHost::cancelRequested() { return form_.CancelRequested == -1; }

}  // namespace mv
