#include "play/piece_player.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <algorithm>
#include <optional>

#include "play/play_source.h"
#include "wave/errors.h"

namespace mv {

namespace {

constexpr qint64 kServerMarginUs = 50000;

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QAudioFormat::SampleFormat sampleFormat(OutputKind k) {
  return k == OutputKind::Int16 ? QAudioFormat::Int16 : k == OutputKind::Int32 ? QAudioFormat::Int32 : QAudioFormat::Float;
}

}  // namespace

// Hands the output the range's frames as it asks for them, and nothing after.
class SourceFeed final : public QIODevice {
 public:
  SourceFeed(PlaySource& source, OutputKind kind, int64_t from, int64_t to)
      : source_(source), kind_(kind), to_(to), at_(from) {
    open(QIODevice::ReadOnly);
  }
  bool drained() const { return done_; }
  const std::optional<QString>& error() const { return error_; }

 protected:
  qint64 readData(char* data, qint64 maxlen) override {
    const int64_t frameBytes = OutputSampleBytes(kind_) * int64_t{source_.format().channels};
    const int64_t want = std::min<int64_t>(maxlen / frameBytes, to_ - at_);
    if (done_ || want <= 0) {
      done_ = done_ || at_ >= to_;
      return 0;
    }
    try {
      const int64_t got = source_.read(data, want, kind_);
      at_ += got;
      if (got < want || at_ >= to_) done_ = true;
      return got * frameBytes;
    } catch (const Error& e) {
      error_ = QString::fromStdString(e.shownText());
      done_ = true;
      return 0;
    }
  }
  qint64 writeData(const char*, qint64) override { return -1; }
  bool isSequential() const override { return true; }

 private:
  PlaySource& source_;
  OutputKind kind_;
  int64_t to_;
  int64_t at_;
  bool done_ = false;
  std::optional<QString> error_;
};

PiecePlayer::PiecePlayer(QObject* parent) : QObject(parent) {
  ticks_.setTimerType(Qt::PreciseTimer);
  ticks_.setInterval(33);
  connect(&ticks_, &QTimer::timeout, this, &PiecePlayer::tick);
}

PiecePlayer::~PiecePlayer() {
  if (sink_) sink_->stop();
}

bool PiecePlayer::playing() const { return sink_ != nullptr; }

void PiecePlayer::tellUnavailable() {
  if (told_) return;
  told_ = true;
  emit unavailable(text(msg::kNoOutputDevice));
}

bool PiecePlayer::play(const std::string& sourcePath, int64_t fromFrame, int64_t toFrame) {
  stop();
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) {
    tellUnavailable();
    return false;
  }
  try {
    source_ = PlaySource::open(sourcePath);
    const int64_t total = source_->frames();
    to_ = toFrame < 0 ? total : std::clamp<int64_t>(toFrame, 0, total);
    from_ = std::clamp<int64_t>(fromFrame, 0, to_);
    if (from_ == to_) {
      source_.reset();
      return false;
    }
    source_->seek(from_);
  } catch (const Error& e) {
    source_.reset();
    emit failed(QString::fromStdString(e.shownText()));
    return false;
  }
  const PcmFormat& f = source_->format();
  QAudioFormat format;
  format.setSampleRate(f.sampleRate);
  format.setChannelCount(f.channels);
  // The kind that keeps the source's bits if the output takes it.
  OutputKind kind = OutputKindFor(f);
  for (OutputKind k : {OutputKindFor(f), OutputKind::Float, OutputKind::Int32, OutputKind::Int16}) {
    format.setSampleFormat(sampleFormat(k));
    if (device.isFormatSupported(format)) {
      kind = k;
      break;
    }
  }
  format.setSampleFormat(sampleFormat(kind));
  feed_ = std::make_unique<SourceFeed>(*source_, kind, from_, to_);
  sink_ = std::make_unique<QAudioSink>(device, format);
  // A fifth of a second queued rides out a busy moment; a stop drops it.
  sink_->setBufferSize(format.bytesForDuration(200000));
  rate_ = f.sampleRate;
  heard_ = from_;
  drained_.invalidate();
  sink_->start(feed_.get());
  if (sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
    sink_.reset();
    feed_.reset();
    source_.reset();
    tellUnavailable();
    return false;
  }
  ticks_.start();
  emit positionChanged(heard_);
  return true;
}

int64_t PiecePlayer::heardNow() const {
  // The server's own clock of the stream: what it has played.
  const int64_t played = (static_cast<int64_t>(sink_->processedUSecs()) * rate_ + 500000) / 1000000;
  return std::clamp<int64_t>(from_ + played, heard_, to_);
}

void PiecePlayer::tick() {
  if (!sink_) return;
  if (sink_->state() == QAudio::StoppedState) {  // the server gone, say
    end(sink_->error() != QAudio::NoError);
    return;
  }
  const int64_t now = heardNow();
  if (now != heard_) {
    heard_ = now;
    emit positionChanged(heard_);
    if (!sink_) return;  // stopped from the signal
  }
  if (!feed_->drained()) return;
  if (!drained_.isValid()) drained_.start();
  // Ended once the server has had the time to play all it was given (it
  // drops what is still queued when the stream goes), or long after.
  const bool given = heard_ >= to_ && sink_->bytesFree() >= sink_->bufferSize() &&
                     sink_->elapsedUSecs() >= sink_->processedUSecs() + kServerMarginUs;
  if (given || feed_->error() || drained_.elapsed() > 2000) end(false);
}

void PiecePlayer::stop() {
  if (sink_) end(false);
}

void PiecePlayer::end(bool lost) {
  ticks_.stop();
  const std::optional<QString> error = feed_->error();
  sink_->stop();
  sink_.reset();
  feed_.reset();
  source_.reset();
  if (lost) tellUnavailable();
  if (error) emit failed(*error);
  emit stopped();
}

}  // namespace mv
