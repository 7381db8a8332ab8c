#pragma once
// Placing a designer-named control at its spot: left, top and, where given,
// width and height in pixels of its container. Texts are never clipped: a
// control too narrow for its text in this font grows to fit. And a window's
// first size within the screen.

#include <QLabel>
#include <QScreen>
#include <QSize>
#include <QSpinBox>
#include <QString>
#include <QWidget>

namespace mv {

template <typename W>
W* Place(QWidget* parent, const char* name, int x, int y, int w = -1, int h = -1) {
  auto* widget = new W(parent);
  widget->setObjectName(QString::fromLatin1(name));
  const QSize hint = widget->sizeHint();
  widget->setGeometry(x, y, w < 0 ? hint.width() : w, h < 0 ? hint.height() : h);
  return widget;
}

// Sets the text and widens the control if the text needs it.
template <typename W>
W* WithText(W* widget, const QString& text) {
  widget->setText(text);
  const int need = widget->sizeHint().width();
  if (need > widget->width()) widget->resize(need, widget->height());
  return widget;
}

inline QLabel* PlaceLabel(QWidget* parent, const char* name, int x, int y, const QString& text) {
  auto* label = Place<QLabel>(parent, name, x, y);
  label->setText(text);
  label->adjustSize();
  return label;
}

// A spin edit, 21 pixels high, with its range and start value.
inline QSpinBox* PlaceSpin(QWidget* parent, const char* name, int x, int y, int w, int min, int max,
                           int value) {
  auto* spin = Place<QSpinBox>(parent, name, x, y, w, 21);
  spin->setRange(min, max);
  spin->setValue(value);
  return spin;
}

// A window's first size: as wanted, but within the screen's free area,
// which a high scale factor makes small; room is left for the window's
// frame and the desktop's panels.
inline void ResizeWithinScreen(QWidget& window, QSize wanted) {
  if (const QScreen* screen = window.screen()) wanted = wanted.boundedTo(screen->availableGeometry().size() * 0.9);
  window.resize(wanted.expandedTo(window.minimumSizeHint()));
}

}  // namespace mv
