// The choices kept between runs: the folders, the formats, the cut's
// settings and the recording's options, in the user's configuration. Read
// when the window opens, written when it closes. A stored value that no
// longer fits (a folder gone, a number out of range, a text that is no
// number) is passed over: its control keeps its default. The two delete
// options are not kept: deleting a source is chosen anew in every run.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <optional>

#include "app/mvfrm.h"
#include "wave/duration.h"

namespace mv {

namespace {

// A value as text; a list or another value without one is a bad one.
std::optional<QString> text(const QSettings& store, const char* key) {
  const QVariant v = store.value(QLatin1String(key));
  if (!v.isValid() || v.typeId() == QMetaType::QStringList || !v.canConvert<QString>()) return std::nullopt;
  return v.toString();
}

std::optional<QString> folder(const QSettings& store, const char* key) {
  const std::optional<QString> f = text(store, key);
  if (!f || f->isEmpty() || !QFileInfo(*f).isDir()) return std::nullopt;
  return f;
}

std::optional<int> number(const QSettings& store, const char* key, int min, int max) {
  const std::optional<QString> t = text(store, key);
  bool ok = false;
  const int n = t ? t->toInt(&ok) : 0;
  if (!ok || n < min || n > max) return std::nullopt;
  return n;
}

std::optional<bool> flag(const QSettings& store, const char* key) {
  const std::optional<QString> t = text(store, key);
  if (t == QLatin1String("true")) return true;
  if (t == QLatin1String("false")) return false;
  return std::nullopt;
}

void restoreSpin(const QSettings& store, const char* key, QSpinBox* spin) {
  if (auto n = number(store, key, spin->minimum(), spin->maximum())) spin->setValue(*n);
}

void restorePosition(const QSettings& store, const char* key, QComboBox* box) {
  if (auto n = number(store, key, 0, box->count() - 1)) box->setCurrentIndex(*n);
}

void restoreCheck(const QSettings& store, const char* key, QCheckBox* box) {
  if (auto f = flag(store, key)) box->setChecked(*f);
}

}  // namespace

void TForm1::restoreChoices(const QSettings& store) {
  if (auto f = folder(store, "recording/folder")) Edit1->setText(*f);
  if (auto f = folder(store, "cut/folder")) Edit4->setText(*f);
  if (auto out = text(store, "join/output"); out && !out->isEmpty() && QFileInfo(*out).absoluteDir().exists())
    Edit2->setText(*out);

  restorePosition(store, "cut/format", ComboBox3);
  restorePosition(store, "join/format", ComboBox4);
  // The input's formats are known when the sound server answers.
  if (auto label = text(store, "recording/format")) keptRecordingFormat_ = *label;

  // The recording's limits follow the input and the free space; until then
  // the hours may hold what was kept.
  if (auto h = number(store, "recording/hours", 0, kMaxHours)) {
    SpinEdit1->setMaximum(std::max(SpinEdit1->maximum(), *h));
    SpinEdit1->setValue(*h);
  }
  restoreSpin(store, "recording/minutes", SpinEdit2);
  restoreSpin(store, "recording/seconds", SpinEdit3);
  restoreCheck(store, "recording/cutAfter", CheckBox1);
  restoreCheck(store, "recording/correct", CheckBox4);

  if (auto equal = flag(store, "cut/equalLengths")) (*equal ? RadioButton2 : RadioButton1)->setChecked(true);
  restoreSpin(store, "cut/threshold", SpinEdit7);
  restoreSpin(store, "cut/runLength", SpinEdit8);
  restoreSpin(store, "cut/hours", SpinEdit4);
  restoreSpin(store, "cut/minutes", SpinEdit5);
  restoreSpin(store, "cut/seconds", SpinEdit6);
}

void TForm1::saveChoices(QSettings& store) const {
  auto put = [&](const char* key, const QVariant& value) { store.setValue(QLatin1String(key), value); };
  put("recording/folder", Edit1->text());
  put("cut/folder", Edit4->text());
  put("join/output", Edit2->text());
  put("cut/format", ComboBox3->currentIndex());
  put("join/format", ComboBox4->currentIndex());
  // Without an input the list is empty: what was kept stays.
  if (ComboBox2->count() > 0) put("recording/format", ComboBox2->currentText());
  put("recording/hours", SpinEdit1->value());
  put("recording/minutes", SpinEdit2->value());
  put("recording/seconds", SpinEdit3->value());
  put("recording/cutAfter", CheckBox1->isChecked());
  put("recording/correct", CheckBox4->isChecked());
  put("cut/equalLengths", RadioButton2->isChecked());
  put("cut/threshold", SpinEdit7->value());
  put("cut/runLength", SpinEdit8->value());
  put("cut/hours", SpinEdit4->value());
  put("cut/minutes", SpinEdit5->value());
  put("cut/seconds", SpinEdit6->value());
  store.sync();
}

}  // namespace mv
