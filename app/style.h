#pragma once
// The window's style: Fusion, with the measures the placed layout was drawn
// for. Tabs 20 pixels high, placed push buttons as wide as they are placed
// (no minimum width; buttons in a layout keep the style's padding), and
// group boxes whose title sits on the frame line.

#include <QProxyStyle>

namespace mv {

class WindowStyle : public QProxyStyle {
 public:
  WindowStyle();

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                          const QWidget* widget) const override;

  static constexpr int kTabHeight = 20;
};

}  // namespace mv
