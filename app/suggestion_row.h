#pragma once
// The preview's suggestion: the threshold, run length, zero points and click
// tolerance the file's own levels call for, beside the user's fields, with a
// number of songs to aim at and one button to take them. Shown only; nothing
// changes until the button is pressed.

#include <QWidget>
#include <optional>

#include "cut/detect.h"
#include "wave/format.h"

class QLabel;
class QPushButton;
class QSpinBox;

namespace mv {

class SuggestionRow : public QWidget {
  Q_OBJECT
 public:
  explicit SuggestionRow(QWidget* parent = nullptr);

  // What the file calls for, and how many pieces a cut by it would give.
  void show(const Detection& d, const PcmFormat& format, int pieces, int songsAsked);
  // Nothing suggested (yet): the text says why.
  void showNone(const QString& why);
  const std::optional<Detection>& suggestion() const { return shown_; }
  // 0: as many songs as the file's gaps give.
  int songs() const;
  // The suggestion in one line, for the page's tooltips; empty without one.
  QString summary() const { return summary_; }

  QSpinBox* SongsEdit;
  QLabel* Text;
  QPushButton* TakeButton;

 signals:
  void takeWanted();
  void songsChanged();

 private:
  std::optional<Detection> shown_;
  QString summary_;
};

}  // namespace mv
