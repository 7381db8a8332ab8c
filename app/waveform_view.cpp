#include "app/waveform_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/paths_qt.h"
#include "cut/explain.h"
#include "cut/units.h"

namespace mv {

namespace {

constexpr int kLeft = 50, kRight = 8, kTop = 16, kBottom = 18;

// A step between time marks, in seconds, that leaves room for the labels.
double timeStep(double seconds, int width) {
  static constexpr double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
  for (double step : kSteps)
    if (seconds / step * 70 <= width) return step;
  return 7200;
}

QString timeMark(double seconds, double step) {
  const auto s = static_cast<int64_t>(std::floor(seconds + 1e-9));
  QString text = s >= 3600 ? QStringLiteral("%1:%2:%3")
                                 .arg(s / 3600)
                                 .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(s % 60, 2, 10, QLatin1Char('0'))
                           : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
  if (step < 1) text += QStringLiteral(".%1").arg(static_cast<int>(std::lround((seconds - s) * 10)) % 10);
  return text;
}

}  // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
  setObjectName("WaveformView");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void WaveformView::setScan(const PcmFormat& format, const ScanReport& report, int64_t totalFrames) {
  format_ = format;
  envelope_ = report.envelope;
  envelopeFrames_ = std::max<int64_t>(1, report.envelopeFrames);
  totalFrames_ = totalFrames;
  longestQuiet_ = report.longestQuiet;
  cuts_.clear();
  const int64_t frameSize = int64_t{format.channels} * format.bytesPerSample();
  for (const Piece& p : report.pieces) cuts_.push_back(p.firstByte / frameSize);
  update();
}

void WaveformView::clear() {
  envelope_.clear();
  cuts_.clear();
  longestQuiet_.reset();
  totalFrames_ = 0;
  update();
}

void WaveformView::setThreshold(std::optional<int32_t> threshold) {
  threshold_ = threshold;
  update();
}

// Deep enough for the quietest part and the threshold with some room, in
// steps of 10 dB, never below the smallest step of a sample.
double WaveformView::floorDb() const {
  const double least = std::min(ThresholdDb(1, format_), PeakDb(1, format_));
  double low = -40;
  for (int32_t peak : envelope_)
    if (peak > 0) low = std::min(low, PeakDb(peak, format_));
  if (threshold_ && *threshold_ > 0) low = std::min(low, ThresholdDb(*threshold_, format_));
  return std::max(least, std::floor((low - 6) / 10) * 10);
}

QRectF WaveformView::plotRect() const {
  return QRectF(kLeft, kTop, std::max(1, width() - kLeft - kRight), std::max(1, height() - kTop - kBottom));
}

QFont WaveformView::smallFont() const {
  QFont f = font();
  f.setPixelSize(10);
  return f;
}

WaveformView::LevelScale WaveformView::levelScale() const {
  const QRectF plot = plotRect();
  const QFontMetricsF metrics(smallFont());
  // A text's box, right-aligned at x and centred on y.
  auto box = [&](const QString& text, double x, double y) {
    const double w = metrics.horizontalAdvance(text), h = metrics.height();
    return QRectF(x - w, y - h / 2, w, h);
  };
  LevelScale scale;
  const QString title = QStringLiteral("dBFS");
  const double titleWidth = metrics.horizontalAdvance(title);
  scale.title = QRectF(0, plot.center().y() - titleWidth / 2, metrics.height(), titleWidth);
  const double floor = floorDb();
  int step = 10;
  while (step < -floor && plot.height() * step / -floor < metrics.height() + 2) step *= 2;
  for (int dB = 0; dB >= floor; dB -= step) {
    scale.levels.push_back(dB);
    scale.marks.push_back(box(QString::number(dB), kLeft - 4, plot.bottom() - (dB - floor) / -floor * plot.height()));
  }
  return scale;
}

void WaveformView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const QRectF plot = plotRect();
  p.fillRect(plot, QColor(0xfc, 0xfc, 0xfa));
  p.setFont(smallFont());

  // Level marks every 10 dB, from full scale down.
  const double floor = floorDb();
  // Peaks are in the samples' own units, the threshold in 16-bit units.
  auto yOfDb = [&](double dB) { return (std::clamp(dB, floor, 0.0) - floor) / -floor * plot.height(); };
  auto yOf = [&](int32_t peak) { return peak <= 0 ? 0.0 : yOfDb(PeakDb(peak, format_)); };
  const LevelScale scale = levelScale();
  for (std::size_t i = 0; i < scale.levels.size(); ++i) {
    const double y = scale.marks[i].center().y();
    p.setPen(QColor(0xe2, 0xe2, 0xe2));
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(scale.marks[i], Qt::AlignRight | Qt::AlignVCenter, QString::number(scale.levels[i]));
  }
  // The title reads upwards, beside the marks.
  p.save();
  p.translate(scale.title.left(), scale.title.bottom());
  p.rotate(-90);
  p.drawText(QRectF(0, 0, scale.title.height(), scale.title.width()), Qt::AlignCenter, QStringLiteral("dBFS"));
  p.restore();

  if (totalFrames_ > 0 && !envelope_.empty()) {
    const double perPixel = static_cast<double>(totalFrames_) / plot.width();
    auto xOf = [&](int64_t frame) { return plot.left() + static_cast<double>(frame) / perPixel; };

    if (longestQuiet_) {
      const double x0 = xOf(longestQuiet_->firstFrame);
      const double x1 = std::max(x0 + 1, xOf(longestQuiet_->firstFrame + longestQuiet_->frames));
      p.fillRect(QRectF(x0, plot.top(), x1 - x0, plot.height()), QColor(0xd8, 0xf0, 0xd0));
    }

    // Each column shows the loudest envelope point under it.
    p.setPen(QColor(0x35, 0x6a, 0xa8));
    const int columns = static_cast<int>(plot.width());
    for (int x = 0; x < columns; ++x) {
      const auto first = static_cast<int64_t>(x * perPixel) / envelopeFrames_;
      const auto last = std::max(first + 1, static_cast<int64_t>((x + 1) * perPixel) / envelopeFrames_);
      if (first >= static_cast<int64_t>(envelope_.size())) break;
      int32_t peak = 0;
      for (int64_t i = first; i < last && i < static_cast<int64_t>(envelope_.size()); ++i)
        peak = std::max(peak, envelope_[static_cast<std::size_t>(i)]);
      const double h = yOf(peak);
      const double at = plot.left() + x + 0.5;
      if (h > 0) p.drawLine(QPointF(at, plot.bottom()), QPointF(at, plot.bottom() - h));
    }

    // Where each piece begins, numbered.
    for (std::size_t i = 0; i < cuts_.size(); ++i) {
      const double x = xOf(cuts_[i]);
      if (i > 0) {
        p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.5));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
      }
      p.setPen(QColor(0xc0, 0x20, 0x20));
      p.drawText(QRectF(x + 2, 0, 40, kTop), Qt::AlignLeft | Qt::AlignVCenter, QString::number(i + 1));
    }

    // Time marks along the bottom.
    const double seconds = FramesSeconds(totalFrames_, format_);
    const double step = timeStep(seconds, static_cast<int>(plot.width()));
    p.setPen(palette().color(QPalette::WindowText));
    for (double t = 0; t <= seconds + 1e-9; t += step) {
      const double x = plot.left() + t / seconds * plot.width();
      p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
      const QRectF box(x - 30, plot.bottom() + 3, 60, kBottom - 3);
      if (box.right() <= width()) p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, timeMark(t, step));
    }
  }

  if (threshold_) {
    const double y = plot.bottom() - (*threshold_ <= 0 ? 0.0 : yOfDb(ThresholdDb(*threshold_, format_)));
    p.setPen(QPen(QColor(0xe0, 0x80, 0x00), 1.5, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    const QString label = QStringLiteral("T = %1").arg(FromUtf8(LevelText(*threshold_, format_)));
    QRectF box = p.fontMetrics().boundingRect(label).adjusted(-3, -1, 3, 1);
    box.moveTopRight(QPointF(plot.right() - 4, y - box.height() - 2 < plot.top() ? y + 2 : y - box.height() - 2));
    p.fillRect(box, QColor(255, 255, 255, 220));
    p.setPen(QColor(0xb0, 0x60, 0x00));
    p.drawText(box, Qt::AlignCenter, label);
  }

  p.setPen(palette().color(QPalette::Mid));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot.adjusted(-0.5, -0.5, 0.5, 0.5));
}

}  // namespace mv
