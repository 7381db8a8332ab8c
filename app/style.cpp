#include "app/style.h"

#include <QDialogButtonBox>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

namespace mv {

namespace {

// The title's box: at the top left, a little in from the corner, with a
// gap of two pixels either side where the frame line stops.
QRect GroupBoxLabel(const QStyleOptionGroupBox& box) {
  const int width = box.fontMetrics.horizontalAdvance(box.text) + 4;
  const QRect label(box.rect.left() + 6, box.rect.top(), width, box.fontMetrics.height());
  return QStyle::visualRect(box.direction, box.rect, label);
}

// The frame's top line runs through the middle of the title.
QRect GroupBoxFrame(const QStyleOptionGroupBox& box) {
  return box.rect.adjusted(0, box.fontMetrics.height() / 2, 0, 0);
}

bool HorizontalTab(const QStyleOption* option) {
  const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
  if (!tab) return false;
  switch (tab->shape) {
    case QTabBar::RoundedNorth: case QTabBar::TriangularNorth:
    case QTabBar::RoundedSouth: case QTabBar::TriangularSouth:
      return true;
    default:
      return false;
  }
}

}  // namespace

WindowStyle::WindowStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

QSize WindowStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                    const QWidget* widget) const {
  QSize base = QProxyStyle::sizeFromContents(type, option, size, widget);
  switch (type) {
    case CT_TabBarTab:
      if (HorizontalTab(option)) base.setHeight(kTabHeight);
      return base;
    case CT_PushButton: {
      // The rows of standard dialogs and the buttons a layout arranges keep
      // the style's widths and padding; a placed button needs no more than
      // its text inside its frame.
      const QWidget* parent = widget ? widget->parentWidget() : nullptr;
      if (parent && (qobject_cast<const QDialogButtonBox*>(parent) || parent->layout())) return base;
      int frame = 2 * pixelMetric(PM_DefaultFrameWidth, option, widget);
      const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
      if (button && (button->features & QStyleOptionButton::AutoDefaultButton))
        frame += 2 * pixelMetric(PM_ButtonDefaultIndicator, option, widget);
      return {size.width() + frame, base.height()};
    }
    default:
      return base;
  }
}

QRect WindowStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                  const QWidget* widget) const {
  const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
  if (control != CC_GroupBox || !box || (box->subControls & SC_GroupBoxCheckBox))
    return QProxyStyle::subControlRect(control, option, sub, widget);
  switch (sub) {
    case SC_GroupBoxLabel:
      return GroupBoxLabel(*box);
    case SC_GroupBoxFrame:
      return GroupBoxFrame(*box);
    case SC_GroupBoxContents:
      return GroupBoxFrame(*box).adjusted(2, 2, -2, -2);
    default:
      return QProxyStyle::subControlRect(control, option, sub, widget);
  }
}

void WindowStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     QPainter* painter, const QWidget* widget) const {
  const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
  if (control != CC_GroupBox || !box || (box->subControls & SC_GroupBoxCheckBox)) {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    return;
  }
  const QRect frame = GroupBoxFrame(*box);
  const QRect label = GroupBoxLabel(*box);
  painter->save();
  QRegion around(frame);
  if (!box->text.isEmpty()) around -= label;
  painter->setClipRegion(around);
  // An etched line: a dark one with a light one beside it.
  painter->setPen(box->palette.dark().color());
  painter->drawRect(frame.adjusted(0, 0, -2, -2));
  painter->setPen(box->palette.light().color());
  painter->drawRect(frame.adjusted(1, 1, -1, -1));
  painter->restore();
  if (!box->text.isEmpty())
    drawItemText(painter, label, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextShowMnemonic, box->palette,
                 box->state & State_Enabled, box->text, QPalette::WindowText);
}

}  // namespace mv
