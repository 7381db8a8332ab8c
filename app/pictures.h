#pragma once
// Morvane's pictures, drawn here: the application icon, the recorder banner
// and the glyphs of the five transport buttons.

#include <QIcon>
#include <QPixmap>

namespace mv {

QIcon ApplicationIcon();
// 317 x 33: a title bar and a menu row, as a sound recorder window shows them.
QPixmap RecorderBanner();

enum class Glyph { Rewind, FastForward, Play, Stop, Record };
// 16 x 16, with its greyed state for a disabled button.
QIcon TransportGlyph(Glyph glyph);

}  // namespace mv
