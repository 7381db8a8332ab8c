#pragma once
// The source at a glance and up close: the peak envelope a scan gives, as
// levels in dBFS from the bottom up, with the cut positions, the longest
// quiet run and the threshold drawn over it. It zooms (wheel, + and -) and
// scrolls (shift and wheel, arrow keys) down to single frames, read from the
// source when the envelope is too coarse; an overview strip below keeps the
// whole in sight. A click places the cursor; a cut is dragged by its line.

#include <QRectF>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "cut/scan.h"
#include "wave/format.h"

namespace mv {

class WaveformView : public QWidget {
  Q_OBJECT
 public:
  // The largest |sample| of count groups of step frames from first.
  using Samples = std::function<std::vector<int32_t>(int64_t first, int64_t step, int64_t count)>;

  explicit WaveformView(QWidget* parent = nullptr);

  // A scan's findings for totalFrames frames of data in the format.
  void setScan(const PcmFormat& format, const ScanReport& report, int64_t totalFrames);
  void clear();
  // The level drawn as a line; none in the equal-length mode.
  void setThreshold(std::optional<int32_t> threshold);
  // The cuts as edited: piece starts from 0, and which were placed by hand.
  void setCuts(std::vector<int64_t> starts, std::vector<bool> edited);
  // Where the samples come from up close; none: the envelope only.
  void setSamples(Samples samples);
  void setCursorFrame(std::optional<int64_t> frame);
  std::optional<int64_t> cursorFrame() const { return cursor_; }
  // Where a player stands; none hides the line.
  void setPlayHead(std::optional<int64_t> frame);

  // The frames in view: the whole when not zoomed.
  int64_t viewFirst() const { return viewFirst_; }
  int64_t viewFrames() const { return viewFrames_; }
  // Zooms by a factor (2: twice as close) around a frame kept in place.
  void zoom(double factor, int64_t around);
  void scrollTo(int64_t first);

  // What is drawn, for tests: piece starts in frames, and whether each was
  // placed by hand.
  const std::vector<int64_t>& cuts() const { return cuts_; }
  const std::vector<bool>& editedCuts() const { return edited_; }
  // Where a frame lies across the plot, and the frame under an x.
  double xOfFrame(int64_t frame) const;
  int64_t frameAt(double x) const;
  // The plot and the overview strip under it.
  QRectF plotRect() const;
  QRectF overviewRect() const;
  // The level scale: its title, upright along the left edge, and the
  // marks' levels and texts beside it, 0 dBFS first; every 10 dB, or fewer
  // where their texts would touch.
  struct LevelScale {
    QRectF title;
    std::vector<int> levels;
    std::vector<QRectF> marks;
  };
  LevelScale levelScale() const;

  QSize sizeHint() const override { return {640, 220}; }
  QSize minimumSizeHint() const override { return {320, 160}; }

 signals:
  void cursorMoved(qint64 frame);
  // A cut's line let go at a frame: index counts the piece starts.
  void cutDragged(int index, qint64 frame);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // The level at the bottom of the plot, in dBFS.
  double floorDb() const;
  QFont smallFont() const;
  // Each group's peak for the view, from the source up close.
  struct Columns {
    int64_t first = 0, step = 1;
    std::vector<int32_t> peaks;
  };
  Columns columns();
  void paintWave(QPainter& p, const QRectF& plot);
  void paintOverview(QPainter& p);
  void paintTimeMarks(QPainter& p, const QRectF& plot);
  // The cut whose line is under x, never the first piece's start.
  std::optional<int> cutNear(double x) const;
  void overviewJump(double x);

  PcmFormat format_;
  std::vector<int32_t> envelope_;
  int64_t envelopeFrames_ = 1;
  int64_t totalFrames_ = 0;
  std::vector<int64_t> cuts_;
  std::vector<bool> edited_;
  std::optional<QuietRun> longestQuiet_;
  std::optional<int32_t> threshold_;
  int64_t viewFirst_ = 0, viewFrames_ = 0;
  bool zoomed_ = false;
  std::optional<int64_t> cursor_, playHead_;
  Samples samples_;
  Columns cached_;
  // A cut being dragged and where it is now.
  std::optional<int> dragged_;
  int64_t dragFrame_ = 0;
  bool draggingOverview_ = false;
};

}  // namespace mv
