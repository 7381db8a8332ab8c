#pragma once
// The source at a glance: the peak envelope a scan gives, as levels in dBFS
// from the bottom up, with the cut positions, the longest quiet run and the
// threshold drawn over it.

#include <QRectF>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "cut/scan.h"
#include "wave/format.h"

namespace mv {

class WaveformView : public QWidget {
  Q_OBJECT
 public:
  explicit WaveformView(QWidget* parent = nullptr);

  // A scan's findings for totalFrames frames of data in the format.
  void setScan(const PcmFormat& format, const ScanReport& report, int64_t totalFrames);
  void clear();
  // The level drawn as a line; none in the equal-length mode.
  void setThreshold(std::optional<int32_t> threshold);

  // What is drawn, for tests: piece starts in frames.
  const std::vector<int64_t>& cuts() const { return cuts_; }
  // The level scale: its title, upright along the left edge, and the
  // marks' levels and texts beside it, 0 dBFS first; every 10 dB, or fewer
  // where their texts would touch.
  struct LevelScale {
    QRectF title;
    std::vector<int> levels;
    std::vector<QRectF> marks;
  };
  LevelScale levelScale() const;

  QSize sizeHint() const override { return {640, 180}; }
  QSize minimumSizeHint() const override { return {320, 120}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The level at the bottom of the plot, in dBFS.
  double floorDb() const;
  QRectF plotRect() const;
  QFont smallFont() const;

  PcmFormat format_;
  std::vector<int32_t> envelope_;
  int64_t envelopeFrames_ = 1;
  int64_t totalFrames_ = 0;
  std::vector<int64_t> cuts_;
  std::optional<QuietRun> longestQuiet_;
  std::optional<int32_t> threshold_;
};

}  // namespace mv
