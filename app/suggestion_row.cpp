#include "app/suggestion_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "app/paths_qt.h"
#include "cut/explain.h"
#include "cut/units.h"

namespace mv {

namespace {
constexpr int kMaxSongs = 999;
}

SuggestionRow::SuggestionRow(QWidget* parent) : QWidget(parent) {
  setObjectName("Suggestion");
  SongsEdit = new QSpinBox;
  SongsEdit->setObjectName("SongsEdit");
  SongsEdit->setRange(0, kMaxSongs);
  SongsEdit->setSpecialValueText(QStringLiteral("自動"));
  SongsEdit->setMinimumWidth(80);
  SongsEdit->setToolTip(QStringLiteral("曲数を指定すると、長い無音から順にその数の曲に分けます"));
  Text = new QLabel;
  Text->setObjectName("SuggestionText");
  Text->setWordWrap(true);
  Text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  TakeButton = new QPushButton(QStringLiteral("提案を使う"));
  TakeButton->setObjectName("TakeButton");
  TakeButton->setAutoDefault(false);
  TakeButton->setEnabled(false);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(new QLabel(QStringLiteral("曲数")));
  row->addWidget(SongsEdit);
  row->addWidget(Text, 1);
  row->addWidget(TakeButton);

  connect(TakeButton, &QPushButton::clicked, this, &SuggestionRow::takeWanted);
  connect(SongsEdit, &QSpinBox::valueChanged, this, &SuggestionRow::songsChanged);
}

int SuggestionRow::songs() const { return SongsEdit->value(); }

void SuggestionRow::show(const Detection& d, const PcmFormat& f, int pieces, int songsAsked) {
  shown_ = d;
  const QString zero = d.zero.any() ? QStringLiteral("%1,%2").arg(d.zero.left).arg(d.zero.right)
                                    : QStringLiteral("なし");
  summary_ = QStringLiteral("提案: しきい値 %1、無音の長さ %2ｻﾝﾌﾟﾙ (%3)、ゼロ点 %4、クリック %5ｻﾝﾌﾟﾙ")
                 .arg(FromUtf8(SampleLevelText(d.threshold, f)))
                 .arg(d.runLength)
                 .arg(FromUtf8(SecondsText(FramesSeconds(d.runLength, f))))
                 .arg(zero)
                 .arg(d.ignoreClicks);
  QString text = summary_ + QStringLiteral(" → %1 ファイル").arg(pieces);
  if (songsAsked > 0 && d.breaksFound < songsAsked - 1)
    text += QStringLiteral("（曲の切れ目は %1 か所しか見つかりません）").arg(d.breaksFound);
  Text->setText(text);
  TakeButton->setEnabled(true);
}

void SuggestionRow::showNone(const QString& why) {
  shown_.reset();
  summary_.clear();
  Text->setText(why);
  TakeButton->setEnabled(false);
}

}  // namespace mv
