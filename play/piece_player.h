#pragma once
// Listening to part of a source on the desktop's default sound output,
// through Qt Multimedia. The source is read a block at a time, so an
// hour-long one is never held whole, and nothing past the range's last frame
// is given to the output.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

class QAudioSink;

namespace mv {

class PlaySource;
class SourceFeed;

class PiecePlayer : public QObject {
  Q_OBJECT
 public:
  explicit PiecePlayer(QObject* parent = nullptr);
  ~PiecePlayer() override;

  // Plays frames [fromFrame, toFrame) of the source (toFrame -1: to its
  // end), clamped to its data; a playback under way stops first. False when
  // nothing plays: no output (unavailable()), a source that cannot be read
  // (failed()), or an empty range.
  bool play(const std::string& sourcePath, int64_t fromFrame, int64_t toFrame = -1);
  // Ends a playback at once; stopped() follows when one was under way.
  void stop();
  bool playing() const;
  // The frame last heard: while playing, and where the last playback ended.
  int64_t reached() const { return heard_; }

 signals:
  // The frame being heard, about 30 times a second while playing.
  void positionChanged(qint64 frame);
  // Every playback ends with this: at its last frame, stopped, or failed
  // (after failed() and unavailable()).
  void stopped();
  // There is no sound output; said once per player.
  void unavailable(const QString& text);
  // The source cannot be read (before or during a playback).
  void failed(const QString& text);

 private:
  void tick();
  void end(bool lost);
  void tellUnavailable();
  int64_t heardNow() const;

  std::unique_ptr<PlaySource> source_;
  std::unique_ptr<SourceFeed> feed_;
  std::unique_ptr<QAudioSink> sink_;
  QTimer ticks_;
  int64_t from_ = 0;
  int64_t to_ = 0;
  int64_t heard_ = 0;
  int32_t rate_ = 0;
  QElapsedTimer drained_;  // since the feed ran out
  bool told_ = false;
};

}  // namespace mv
