// The view's answers to the wheel, the keys and the mouse: zoom, scroll,
// the cursor, a cut dragged by its line, a jump in the overview strip.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/waveform_view.h"

namespace mv {

namespace {

constexpr int64_t kLeastFrames = 16;  // in view at the closest zoom
constexpr double kGrab = 4;           // pixels either side of a cut's line
constexpr int kCutNumbers = 16;       // the numbers' row above the plot grabs a cut too

}  // namespace

void WaveformView::zoom(double factor, int64_t around) {
  if (totalFrames_ <= 0 || factor <= 0) return;
  const int64_t least = std::min(kLeastFrames, totalFrames_);
  const auto frames = std::clamp<int64_t>(std::llround(static_cast<double>(viewFrames_) / factor), least, totalFrames_);
  // The frame around stays under the same x.
  const double share = viewFrames_ > 0 ? static_cast<double>(around - viewFirst_) / static_cast<double>(viewFrames_) : 0;
  viewFrames_ = frames;
  zoomed_ = frames < totalFrames_;
  scrollTo(around - std::llround(share * static_cast<double>(frames)));
}

void WaveformView::scrollTo(int64_t first) {
  viewFirst_ = std::clamp<int64_t>(first, 0, std::max<int64_t>(0, totalFrames_ - viewFrames_));
  update();
}

void WaveformView::wheelEvent(QWheelEvent* event) {
  const QPoint turn = event->angleDelta();
  const int64_t step = std::max<int64_t>(1, viewFrames_ / 8);
  if (event->modifiers() & Qt::ShiftModifier || turn.x() != 0) {
    const int delta = turn.x() != 0 ? turn.x() : turn.y();
    scrollTo(viewFirst_ - delta / 120.0 * static_cast<double>(step));
  } else if (turn.y() != 0) {
    zoom(std::pow(2.0, turn.y() / 120.0), frameAt(event->position().x()));
  }
  event->accept();
}

void WaveformView::keyPressEvent(QKeyEvent* event) {
  const int64_t step = std::max<int64_t>(1, viewFrames_ / 8);
  const int64_t middle = cursor_ && *cursor_ >= viewFirst_ && *cursor_ <= viewFirst_ + viewFrames_
                             ? *cursor_
                             : viewFirst_ + viewFrames_ / 2;
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoom(2, middle); break;
    case Qt::Key_Minus: zoom(0.5, middle); break;
    case Qt::Key_Left: scrollTo(viewFirst_ - step); break;
    case Qt::Key_Right: scrollTo(viewFirst_ + step); break;
    case Qt::Key_Home: scrollTo(0); break;
    case Qt::Key_End: scrollTo(totalFrames_); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

std::optional<int> WaveformView::cutNear(double x) const {
  std::optional<int> best;
  double nearest = kGrab + 0.01;
  for (std::size_t i = 1; i < cuts_.size(); ++i) {
    const double d = std::abs(xOfFrame(cuts_[i]) - x);
    if (d < nearest) {
      nearest = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

void WaveformView::overviewJump(double x) {
  const QRectF strip = overviewRect();
  const auto at = static_cast<int64_t>((x - strip.left()) / strip.width() * static_cast<double>(totalFrames_));
  scrollTo(at - viewFrames_ / 2);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || totalFrames_ <= 0) return QWidget::mousePressEvent(event);
  const QPointF at = event->position();
  if (overviewRect().adjusted(0, -4, 0, 4).contains(at)) {
    draggingOverview_ = true;
    overviewJump(at.x());
  } else if (const auto cut = cutNear(at.x()); cut && plotRect().adjusted(0, -kCutNumbers, 0, 0).contains(at)) {
    dragged_ = cut;
    dragFrame_ = cuts_[static_cast<std::size_t>(*cut)];
  } else if (plotRect().adjusted(0, -kCutNumbers, 0, kCutNumbers).contains(at)) {
    setCursorFrame(frameAt(at.x()));
    emit cursorMoved(*cursor_);
  }
  event->accept();
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  if (draggingOverview_) {
    overviewJump(at.x());
  } else if (dragged_) {
    const auto i = static_cast<std::size_t>(*dragged_);
    const int64_t after = cuts_[i - 1] + 1;
    const int64_t before = i + 1 < cuts_.size() ? cuts_[i + 1] - 1 : totalFrames_ - 1;
    dragFrame_ = std::clamp(frameAt(at.x()), after, std::max(after, before));
    update();
  } else {
    QWidget::setCursor(cutNear(at.x()) && plotRect().contains(at) ? Qt::SizeHorCursor : Qt::ArrowCursor);
  }
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
  draggingOverview_ = false;
  if (!dragged_) return QWidget::mouseReleaseEvent(event);
  const int index = *dragged_;
  dragged_.reset();
  update();
  if (dragFrame_ != cuts_[static_cast<std::size_t>(index)]) emit cutDragged(index, dragFrame_);
}

}  // namespace mv
