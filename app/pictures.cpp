#include "app/pictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <cmath>

namespace mv {

namespace {

QPixmap blank(int w, int h) {
  QPixmap p(w, h);
  p.fill(Qt::transparent);
  return p;
}

QFont pixelFont(int px, bool bold = false) {
  QFont f(QStringLiteral("Noto Sans CJK JP"));
  f.setPixelSize(px);
  f.setBold(bold);
  return f;
}

// A decaying wave on a pair of axes, "Mv" under it.
QPixmap iconPicture(int size) {
  QPixmap p = blank(size, size);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.scale(size / 32.0, size / 32.0);
  g.setBrush(QColor(255, 255, 224));
  g.setPen(QColor(0, 0, 128));
  g.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 3, 3);
  g.setPen(QPen(Qt::black, 1));
  g.drawLine(QPointF(3, 4), QPointF(3, 20));
  g.drawLine(QPointF(3, 12), QPointF(29, 12));
  QPainterPath wave;
  wave.moveTo(3, 12);
  for (double x = 0; x <= 26; x += 0.5)
    wave.lineTo(3 + x, 12 - 7.5 * std::exp(-x / 9.0) * std::sin(x * 1.3));
  g.setPen(QPen(QColor(200, 0, 0), 1.4));
  g.setBrush(Qt::NoBrush);
  g.drawPath(wave);
  g.setPen(QColor(0, 0, 128));
  g.setFont(pixelFont(11, true));
  g.drawText(QRectF(0, 19, 32, 13), Qt::AlignCenter, QStringLiteral("Mv"));
  return p;
}

}  // namespace

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 32, 64}) icon.addPixmap(iconPicture(size));
  return icon;
}

QPixmap RecorderBanner() {
  QPixmap p(317, 33);
  p.fill(QColor(192, 192, 192));
  QPainter g(&p);
  // Title bar.
  g.fillRect(0, 0, 317, 18, QColor(0, 0, 128));
  // A small speaker.
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(255, 255, 0));
  g.drawRect(3, 6, 4, 6);
  g.drawPolygon(QPolygon({QPoint(7, 6), QPoint(12, 2), QPoint(12, 16), QPoint(7, 12)}));
  g.setPen(Qt::white);
  g.setFont(pixelFont(12, true));
  g.drawText(QRect(17, 0, 230, 18), Qt::AlignVCenter | Qt::AlignLeft,
             QStringLiteral("サウンド - サウンド レコーダー"));
  // Minimise, maximise and close boxes.
  for (int i = 0; i < 3; ++i) {
    const QRect box(266 + i * 16 + (i == 2 ? 2 : 0), 3, 14, 12);
    g.fillRect(box, QColor(192, 192, 192));
    g.setPen(Qt::white);
    g.drawLine(box.topLeft(), box.topRight());
    g.drawLine(box.topLeft(), box.bottomLeft());
    g.setPen(Qt::black);
    g.drawLine(box.bottomLeft(), box.bottomRight());
    g.drawLine(box.topRight(), box.bottomRight());
    const QPoint c = box.center();
    if (i == 0) g.drawLine(c.x() - 3, c.y() + 3, c.x() + 2, c.y() + 3);
    if (i == 1) g.drawRect(c.x() - 4, c.y() - 3, 8, 6);
    if (i == 2) {
      g.drawLine(c.x() - 3, c.y() - 3, c.x() + 3, c.y() + 3);
      g.drawLine(c.x() - 3, c.y() + 3, c.x() + 3, c.y() - 3);
    }
  }
  // Menu row.
  g.setPen(Qt::black);
  g.setFont(pixelFont(11));
  const char* menus[] = {"ファイル(F)", "編集(E)", "エフェクト(S)", "ヘルプ(H)"};
  int x = 6;
  for (const char* m : menus) {
    const QString text = QString::fromUtf8(m);
    g.drawText(QRect(x, 18, 90, 15), Qt::AlignVCenter | Qt::AlignLeft, text);
    x += g.fontMetrics().horizontalAdvance(text) + 12;
  }
  return p;
}

QIcon TransportGlyph(Glyph glyph) {
  QPixmap p = blank(16, 16);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(Qt::NoPen);
  g.setBrush(Qt::black);
  auto left = [&](int x) { g.drawPolygon(QPolygon({QPoint(x + 6, 3), QPoint(x + 6, 13), QPoint(x, 8)})); };
  auto right = [&](int x) { g.drawPolygon(QPolygon({QPoint(x, 3), QPoint(x, 13), QPoint(x + 6, 8)})); };
  switch (glyph) {
    case Glyph::Rewind:
      g.drawRect(1, 3, 2, 10);
      left(3);
      left(9);
      break;
    case Glyph::FastForward:
      right(2);
      right(8);
      break;
    case Glyph::Play:
      right(5);
      break;
    case Glyph::Stop:
      g.drawRect(4, 4, 8, 8);
      break;
    case Glyph::Record:
      g.setBrush(QColor(128, 0, 0));
      g.drawEllipse(QRectF(3.5, 3.5, 9, 9));
      break;
  }
  g.end();
  QIcon icon(p);
  // The greyed state: the same shape in grey with a white shadow.
  QPixmap grey = blank(16, 16);
  QPainter gg(&grey);
  QPixmap white = p, dark = p;
  {
    QPainter w(&white);
    w.setCompositionMode(QPainter::CompositionMode_SourceIn);
    w.fillRect(white.rect(), Qt::white);
    QPainter d(&dark);
    d.setCompositionMode(QPainter::CompositionMode_SourceIn);
    d.fillRect(dark.rect(), QColor(128, 128, 128));
  }
  gg.drawPixmap(1, 1, white);
  gg.drawPixmap(0, 0, dark);
  gg.end();
  icon.addPixmap(grey, QIcon::Disabled);
  return icon;
}

}  // namespace mv
