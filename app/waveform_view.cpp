#include "app/waveform_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/paths_qt.h"
#include "cut/explain.h"
#include "cut/units.h"

namespace mv {

namespace {

constexpr int kLeft = 50, kRight = 8, kTop = 16, kBottom = 18, kOverview = 28;
constexpr int64_t kMostSampled = 1 << 22;    // frames read from the source for one view
const QColor kFound(0xc0, 0x20, 0x20), kEdited(0x6a, 0x2c, 0xc8), kCursor(0x10, 0x10, 0x10),
    kPlayHead(0x10, 0x90, 0x30);

// A step between time marks, in seconds, that leaves room for the labels.
double timeStep(double seconds, int width) {
  static constexpr double kSteps[] = {0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
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
  // As many decimals as the step needs.
  const int decimals = step >= 1 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : step >= 0.001 ? 3 : 4;
  if (decimals > 0) {
    const int scale = static_cast<int>(std::lround(std::pow(10, decimals)));
    text += QStringLiteral(".%1").arg(static_cast<int>(std::lround((seconds - s) * scale)) % scale, decimals, 10,
                                      QLatin1Char('0'));
  }
  return text;
}

}  // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
  setObjectName("WaveformView");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
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
  edited_.assign(cuts_.size(), false);
  if (!zoomed_ || viewFirst_ + viewFrames_ > totalFrames_) {
    zoomed_ = false;
    viewFirst_ = 0;
    viewFrames_ = totalFrames_;
  }
  cached_ = {};
  update();
}

void WaveformView::clear() {
  envelope_.clear();
  cuts_.clear();
  edited_.clear();
  longestQuiet_.reset();
  totalFrames_ = viewFirst_ = viewFrames_ = 0;
  zoomed_ = false;
  cursor_.reset();
  dragged_.reset();
  cached_ = {};
  update();
}

void WaveformView::setThreshold(std::optional<int32_t> threshold) {
  threshold_ = threshold;
  update();
}

void WaveformView::setCuts(std::vector<int64_t> starts, std::vector<bool> edited) {
  cuts_ = std::move(starts);
  edited_ = std::move(edited);
  edited_.resize(cuts_.size(), false);
  update();
}

void WaveformView::setSamples(Samples samples) {
  samples_ = std::move(samples);
  cached_ = {};
  update();
}

void WaveformView::setCursorFrame(std::optional<int64_t> frame) {
  if (frame) frame = std::clamp<int64_t>(*frame, 0, std::max<int64_t>(totalFrames_, 0));
  cursor_ = frame;
  update();
}

void WaveformView::setPlayHead(std::optional<int64_t> frame) {
  playHead_ = frame;
  update();
}

double WaveformView::xOfFrame(int64_t frame) const {
  const QRectF plot = plotRect();
  if (viewFrames_ <= 0) return plot.left();
  return plot.left() + static_cast<double>(frame - viewFirst_) / static_cast<double>(viewFrames_) * plot.width();
}

int64_t WaveformView::frameAt(double x) const {
  const QRectF plot = plotRect();
  const double at = (x - plot.left()) / plot.width() * static_cast<double>(viewFrames_);
  return std::clamp<int64_t>(viewFirst_ + std::llround(at), 0, totalFrames_);
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
  return QRectF(kLeft, kTop, std::max(1, width() - kLeft - kRight),
                std::max(1, height() - kTop - kBottom - kOverview));
}

QRectF WaveformView::overviewRect() const {
  return QRectF(kLeft, height() - kOverview + 4, std::max(1, width() - kLeft - kRight), kOverview - 6);
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

// Groups of whole frames, as many as the plot has columns or fewer: from
// the envelope where it is fine enough, else from the source.
WaveformView::Columns WaveformView::columns() {
  const double perPixel = static_cast<double>(viewFrames_) / plotRect().width();
  Columns c;
  if (samples_ && perPixel < static_cast<double>(envelopeFrames_) && viewFrames_ <= kMostSampled) {
    c.step = std::max<int64_t>(1, static_cast<int64_t>(perPixel));
    c.first = viewFirst_ / c.step * c.step;
    const int64_t count = (viewFirst_ + viewFrames_ - c.first) / c.step + 1;
    if (cached_.first == c.first && cached_.step == c.step && static_cast<int64_t>(cached_.peaks.size()) == count)
      return cached_;
    c.peaks = samples_(c.first, c.step, count);
    cached_ = c;
    return c;
  }
  c.step = std::max<int64_t>(envelopeFrames_, static_cast<int64_t>(perPixel) / envelopeFrames_ * envelopeFrames_);
  c.first = viewFirst_ / c.step * c.step;
  const int64_t per = c.step / envelopeFrames_;
  for (int64_t f = c.first; f < viewFirst_ + viewFrames_; f += c.step) {
    int32_t peak = 0;
    const int64_t i0 = f / envelopeFrames_;
    for (int64_t i = i0; i < i0 + per && i < static_cast<int64_t>(envelope_.size()); ++i)
      peak = std::max(peak, envelope_[static_cast<std::size_t>(i)]);
    c.peaks.push_back(peak);
  }
  return c;
}

void WaveformView::paintWave(QPainter& p, const QRectF& plot) {
  const double floor = floorDb();
  auto yOf = [&](int32_t peak) {
    return peak <= 0 ? 0.0 : (std::clamp(PeakDb(peak, format_), floor, 0.0) - floor) / -floor * plot.height();
  };
  if (longestQuiet_) {
    const double x0 = std::max(plot.left(), xOfFrame(longestQuiet_->firstFrame));
    const double x1 = std::min(plot.right(), std::max(x0 + 1, xOfFrame(longestQuiet_->firstFrame + longestQuiet_->frames)));
    if (x1 > x0) p.fillRect(QRectF(x0, plot.top(), x1 - x0, plot.height()), QColor(0xd8, 0xf0, 0xd0));
  }
  // Each group a bar at least a pixel wide: single frames up close.
  const Columns c = columns();
  p.setPen(Qt::NoPen);
  const QColor wave(0x35, 0x6a, 0xa8);
  for (std::size_t g = 0; g < c.peaks.size(); ++g) {
    const int64_t f = c.first + static_cast<int64_t>(g) * c.step;
    const double x0 = std::max(plot.left(), xOfFrame(f)), x1 = std::min(plot.right(), xOfFrame(f + c.step));
    const double h = yOf(c.peaks[g]);
    if (h <= 0 || x1 <= plot.left() || x0 >= plot.right()) continue;
    const double w = x1 - x0 > 3 ? x1 - x0 - 1 : std::max(1.0, x1 - x0);
    p.fillRect(QRectF(x0, plot.bottom() - h, w, h), wave);
  }

  // Where each piece begins, numbered: those placed by hand in their own
  // colour and dashed.
  for (std::size_t i = 0; i < cuts_.size(); ++i) {
    const int64_t frame = dragged_ && static_cast<std::size_t>(*dragged_) == i ? dragFrame_ : cuts_[i];
    const double x = xOfFrame(frame);
    if (x < plot.left() - 1 || x > plot.right() + 1) continue;
    const QColor colour = edited_[i] ? kEdited : kFound;
    if (i > 0) {
      p.setPen(QPen(colour, edited_[i] ? 2 : 1.5, edited_[i] ? Qt::DashLine : Qt::SolidLine));
      p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    p.setPen(colour);
    p.drawText(QRectF(x + 2, 0, 40, kTop), Qt::AlignLeft | Qt::AlignVCenter, QString::number(i + 1));
  }
  for (auto [frame, colour] : {std::pair{cursor_, kCursor}, std::pair{playHead_, kPlayHead}}) {
    if (!frame) continue;
    const double x = xOfFrame(*frame);
    if (x < plot.left() || x > plot.right()) continue;
    p.setPen(QPen(colour, 1));
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
  }
}

void WaveformView::paintTimeMarks(QPainter& p, const QRectF& plot) {
  const double first = FramesSeconds(viewFirst_, format_), seconds = FramesSeconds(viewFrames_, format_);
  if (seconds <= 0) return;
  const double step = timeStep(seconds, static_cast<int>(plot.width()));
  p.setPen(palette().color(QPalette::WindowText));
  for (double t = std::ceil(first / step - 1e-9) * step; t <= first + seconds + 1e-9; t += step) {
    const double x = plot.left() + (t - first) / seconds * plot.width();
    p.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
    const QRectF box(x - 35, plot.bottom() + 3, 70, kBottom - 3);
    if (box.right() <= width()) p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, timeMark(t, step));
  }
}

// The whole source small, the part in view framed, the cuts as ticks.
void WaveformView::paintOverview(QPainter& p) {
  const QRectF strip = overviewRect();
  p.fillRect(strip, QColor(0xf2, 0xf2, 0xee));
  if (totalFrames_ <= 0) return;
  auto xOf = [&](int64_t f) { return strip.left() + static_cast<double>(f) / static_cast<double>(totalFrames_) * strip.width(); };
  int32_t loudest = 1;
  for (int32_t peak : envelope_) loudest = std::max(loudest, peak);
  p.setPen(QColor(0x80, 0x9c, 0xc0));
  const double perPixel = static_cast<double>(totalFrames_) / strip.width();
  for (int x = 0; x < static_cast<int>(strip.width()); ++x) {
    const auto i0 = static_cast<std::size_t>(static_cast<int64_t>(x * perPixel) / envelopeFrames_);
    const auto i1 = std::max(i0 + 1, static_cast<std::size_t>(static_cast<int64_t>((x + 1) * perPixel) / envelopeFrames_));
    int32_t peak = 0;
    for (std::size_t i = i0; i < i1 && i < envelope_.size(); ++i) peak = std::max(peak, envelope_[i]);
    const double h = strip.height() * peak / loudest;
    if (h > 0) p.drawLine(QPointF(strip.left() + x + 0.5, strip.bottom()), QPointF(strip.left() + x + 0.5, strip.bottom() - h));
  }
  for (std::size_t i = 1; i < cuts_.size(); ++i) {
    p.setPen(edited_[i] ? kEdited : kFound);
    p.drawLine(QPointF(xOf(cuts_[i]), strip.top()), QPointF(xOf(cuts_[i]), strip.bottom()));
  }
  const double x0 = xOf(viewFirst_), x1 = std::max(x0 + 3, xOf(viewFirst_ + viewFrames_));
  p.setPen(QPen(QColor(0x20, 0x40, 0x80), 1.5));
  p.setBrush(QColor(0x20, 0x40, 0x80, 40));
  p.drawRect(QRectF(x0, strip.top(), x1 - x0, strip.height()));
  p.setBrush(Qt::NoBrush);
}

void WaveformView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const QRectF plot = plotRect();
  p.fillRect(plot, QColor(0xfc, 0xfc, 0xfa));
  p.setFont(smallFont());

  // Level marks every 10 dB, from full scale down.
  const double floor = floorDb();
  auto yOfDb = [&](double dB) { return (std::clamp(dB, floor, 0.0) - floor) / -floor * plot.height(); };
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
    paintWave(p, plot);
    paintTimeMarks(p, plot);
    paintOverview(p);
  }

  if (threshold_) {
    // Peaks are in the samples' own units, the threshold in 16-bit units.
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
