#pragma once
// The preview of a cut: the page's settings run dry (every check and the
// whole scan, nothing written, nothing asked), with the threshold, the run
// length, the click tolerance and the shortest song to try out. A change of
// one scans again after a pause; a scan runs on the window's thread and lets
// events run between blocks, so that the dialog stays usable and can stop it.

#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "album/album_plan.h"
#include "cut/cut.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QDoubleSpinBox;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace mv {

class AlbumPanel;
class SuggestionRow;
class WaveformView;

// What the preview hands to the page's cut.
struct PreviewChoice {
  int32_t threshold = kDefaultThreshold;  // sample units
  int32_t runLength = kDefaultRunLength;  // frames
  int32_t ignoreClicks = 0;               // frames
  int32_t minSongSeconds = 0;
  // The zero points of a suggestion taken; none keeps the page's.
  std::optional<Correction> zero;
  // The album panel's names and tags, and the pieces' format.
  AlbumSettings album;
  PieceFormat format = PieceFormat::AsSource;
};

class PreviewDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PreviewDialog(QWidget* parent);
  ~PreviewDialog() override;

  // Opens the dialog (window-modal) on the page's settings and scans them.
  void start(const CutSettings& page);
  // The page's settings with the dialog's fields: what a scan runs.
  CutSettings settings() const;
  bool scanning() const { return scanning_; }

  QLabel* SourceLabel;
  QSpinBox *ThresholdEdit, *RunLengthEdit, *MinSongEdit;
  QDoubleSpinBox* ClicksEdit;  // milliseconds, to the frame
  QLabel *ThresholdLevel, *RunLengthSeconds;
  WaveformView* Waveform;
  QLabel *Summary, *NoBreak;
  QTableWidget* Pieces;
  QLabel* Status;
  QProgressBar* Progress;
  QPushButton *CancelButton, *CutButton, *CloseButton;
  AlbumPanel* Album;
  SuggestionRow* Suggestion;

 signals:
  // "この設定で切り出す": the dialog has closed; the page is to cut so.
  void cutWanted(const mv::PreviewChoice& choice);
  // A scan has ended: complete, or cancelled, refused or failed.
  void scanEnded(bool complete);
  // What the file's levels suggest, in one line (empty: nothing).
  void suggested(const QString& summary);

 public slots:
  // While a scan runs, closing waits for it to stop.
  void done(int result) override;

 private:
  class Host;
  class Watcher;
  void fieldChanged();
  void scanNow();
  void showUnits();
  void showResult(const CutSettings& s, const CutResult& r);
  // What a scan has found so far, drawn while it goes on.
  void showPartial(const CutSettings& s, const ScanReport& soFar, int64_t dataBytes);
  void showPieces(const PcmFormat& f, const std::vector<Piece>& pieces, bool complete);
  // The pieces last shown again, with the album's names and titles.
  void showAlbum();
  void enableCut();
  void showError(const QString& text);
  void clearResult();
  void cutNow();
  PreviewChoice choice() const;
  // The file's own settings, by a dry run that chooses them, unless those
  // shown were found for the same source and fields.
  void suggest(const CutSettings& user);
  void takeSuggestion();

  CutSettings page_;
  QTimer* debounce_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<Watcher> watcher_;
  bool scanning_ = false;
  bool cancel_ = false;
  std::optional<int> doneWanted_;  // closed during a scan
  bool cutPending_ = false;        // cut asked for during a scan
  std::string pieceExtension_ = ".wav";  // of the pieces the run would write
  // The pieces last shown, and whether their scan was complete.
  std::vector<Piece> shown_;
  PcmFormat shownFormat_;
  bool shownComplete_ = false;
  // What the suggestion shown was found for (clicks, shortest song, songs).
  std::optional<std::tuple<int32_t, int32_t, int32_t>> suggestedFor_;
  std::optional<Correction> takenZero_;
};

}  // namespace mv
