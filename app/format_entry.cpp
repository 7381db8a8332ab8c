#include "app/format_entry.h"

#include "app/paths_qt.h"

namespace mv {

void ShowCheckedFormat(QComboBox& box, const CheckedFormat& f) {
  if (f.position != kExtendedPosition) {
    box.setCurrentIndex(f.position);
    while (box.count() > kFormatCount) box.removeItem(kFormatCount);
    return;
  }
  const QString label = FromUtf8(FormatLabel(f.format));
  if (box.count() > kFormatCount)
    box.setItemText(kFormatCount, label);
  else
    box.addItem(label);
  box.setCurrentIndex(kFormatCount);
}

std::optional<PcmFormat> ExtendedEntry(const QComboBox& box) {
  if (box.count() <= kFormatCount) return std::nullopt;
  return ParseExtendedLabel(box.itemText(kFormatCount).toStdString());
}

PcmFormat SelectedFormat(const QComboBox& box) {
  const std::string label = box.currentText().toStdString();
  if (const auto extended = ParseExtendedLabel(label)) return *extended;
  return ParseFormatLabel(label);
}

}  // namespace mv
