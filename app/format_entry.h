#pragma once
// The entry after the 24 of a format list: the format of a chosen source
// outside the lists, there while such a source is chosen.

#include <optional>

#include <QComboBox>

#include "wave/format.h"
#include "wave/layout.h"

namespace mv {

// Selects the checked format: its list entry, or the entry after the lists
// with its label (made, or relabelled); a listed one takes that entry away.
void ShowCheckedFormat(QComboBox& box, const CheckedFormat& format);
// The format outside the lists that the box holds, if any.
std::optional<PcmFormat> ExtendedEntry(const QComboBox& box);
// The selected entry's format, whichever list spelling it has.
PcmFormat SelectedFormat(const QComboBox& box);

}  // namespace mv
