#pragma once
// The input level meter in the recorder panel (Panel3): one bar per channel
// on a dBFS scale, the peak held for a moment, the bar red while samples
// reach full scale, and a clip mark that stays until the next capture.

#include <QElapsedTimer>
#include <QWidget>

#include "record/capture_file.h"

namespace mv {

class LevelMeter : public QWidget {
  Q_OBJECT
 public:
  explicit LevelMeter(QWidget* parent);

  // A new capture: bars, holds and clip marks cleared.
  void start(int channels);
  // The level since the last feed.
  void feed(const InputLevel& level);
  // The capture is over: the bars drop; the clip marks stay.
  void stop();

  int channels() const { return channels_; }
  double levelDb(int channel) const { return ch_[channel].level; }  // what the bar shows, dBFS
  double holdDb(int channel) const { return ch_[channel].hold; }
  bool clipped(int channel) const { return ch_[channel].clipMark; }  // the mark
  bool hot(int channel) const { return ch_[channel].hot; }           // the bar is red
  int updates() const { return updates_; }                           // feeds since start

  static constexpr double kFloorDb = -70;
  // Where a level sits along the bar, 0..1 (a scale that gives the top
  // decades more room than the bottom ones).
  static double Position(double dB);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Channel {
    double level = kFloorDb;
    double hold = kFloorDb;
    qint64 heldAt = 0;  // ms of the clock when hold was set
    qint64 hotAt = -1;
    bool hot = false;
    bool clipMark = false;
  };
  QRect barRect(int channel) const;

  int channels_ = 2;
  Channel ch_[2];
  int updates_ = 0;
  QElapsedTimer clock_;
  qint64 lastFeed_ = 0;
};

}  // namespace mv
