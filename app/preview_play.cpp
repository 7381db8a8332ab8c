// Listening in the preview: from the cursor, or the few seconds before and
// after the cut nearest it, with a play head on the waveform. Without a
// sound output the bar says so once and the rest of the dialog works on.

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>

#include "app/paths_qt.h"
#include "app/preview_dialog.h"
#include "app/waveform_view.h"
#include "play/piece_player.h"
#include "play/play_source.h"

namespace mv {

namespace {

QPushButton* playButton(const QString& text, const char* name, const QString& tip) {
  auto* b = new QPushButton(text);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  b->setToolTip(tip);
  return b;
}

}  // namespace

QBoxLayout* PreviewDialog::makePlayBar() {
  player_ = new PiecePlayer(this);
  PlayButton = playButton(QStringLiteral("再生"), "PlayButton",
                          QStringLiteral("カーソルの位置から再生します。もう一度押すと止まります (スペース)。"));
  PlayBeforeButton = playButton(QStringLiteral("切れ目の前"), "PlayBeforeButton",
                                QStringLiteral("カーソルにいちばん近い切り出し位置の前の3秒を、その位置まで再生します。"));
  PlayAfterButton = playButton(QStringLiteral("切れ目の後"), "PlayAfterButton",
                               QStringLiteral("カーソルにいちばん近い切り出し位置から3秒を再生します。"));
  PlayStatus = new QLabel;
  PlayStatus->setObjectName("PlayStatus");
  PlayStatus->setStyleSheet(QStringLiteral("color: #a03000;"));
  auto* bar = new QHBoxLayout;
  for (QPushButton* b : {PlayButton, PlayBeforeButton, PlayAfterButton}) bar->addWidget(b);
  bar->addWidget(PlayStatus, 1);

  connect(PlayButton, &QPushButton::clicked, this, &PreviewDialog::playOrStop);
  connect(PlayBeforeButton, &QPushButton::clicked, this, [this] { playAroundCut(true); });
  connect(PlayAfterButton, &QPushButton::clicked, this, [this] { playAroundCut(false); });
  auto* space = new QAction(this);
  space->setShortcut(QKeySequence(Qt::Key_Space));
  connect(space, &QAction::triggered, this, &PreviewDialog::playOrStop);
  addAction(space);

  connect(player_, &PiecePlayer::positionChanged, this, [this](qint64 frame) { Waveform->setPlayHead(frame); });
  connect(player_, &PiecePlayer::stopped, this, [this] {
    Waveform->setPlayHead(std::nullopt);
    PlayButton->setText(QStringLiteral("再生"));
  });
  connect(player_, &PiecePlayer::unavailable, PlayStatus, &QLabel::setText);
  connect(player_, &PiecePlayer::failed, PlayStatus, &QLabel::setText);
  return bar;
}

void PreviewDialog::playOrStop() {
  if (player_->playing()) return player_->stop();
  play({Waveform->cursorFrame().value_or(0), -1});
}

void PreviewDialog::playAroundCut(bool before) {
  const std::vector<int64_t> starts = edits_.pieceStarts();
  if (starts.size() < 2) return;
  const int64_t at = Waveform->cursorFrame().value_or(0);
  int64_t cut = starts[1];
  for (std::size_t i = 2; i < starts.size(); ++i)
    if (std::llabs(starts[i] - at) < std::llabs(cut - at)) cut = starts[i];
  const int32_t rate = viewFormat_.sampleRate;
  play(before ? BeforeCut(cut, edits_.frames(), rate, kAroundCutSeconds)
              : AfterCut(cut, edits_.frames(), rate, kAroundCutSeconds));
}

void PreviewDialog::play(const FrameRange& range) {
  playing_ = range;
  if (player_->play(page_.source, range.from, range.to)) PlayButton->setText(QStringLiteral("停止"));
}

void PreviewDialog::stopPlaying() {
  if (player_) player_->stop();
}

}  // namespace mv
