#pragma once
// The preview of a cut: the page's settings run dry (every check and the
// whole scan, nothing written, nothing asked), with the threshold, the run
// length, the click tolerance and the shortest song to try out. A change of
// one scans again after a pause; a scan runs on the window's thread and lets
// events run between blocks, so that the dialog stays usable and can stop it.
// The cuts found are the start of a list the user edits: added at the
// cursor, dragged, deleted, undone and redone, opened from and saved to a
// label file or a cue sheet. An edited list is cut at its points.

#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "album/album_plan.h"
#include "cut/cut.h"
#include "play/play_source.h"
#include "cutlist/cut_edits.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QBoxLayout;
class QDoubleSpinBox;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace mv {

class AlbumPanel;
class MessageBoxes;
class PiecePlayer;
class SourceView;
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
  // The edited cuts: the page cuts at these instead.
  std::optional<std::vector<GivenPoint>> points;
};

class PreviewDialog : public QDialog {
  Q_OBJECT
 public:
  PreviewDialog(QWidget* parent, MessageBoxes& boxes);
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
  QPushButton *AddCutButton, *DeleteCutButton, *UndoButton, *RedoButton, *OpenCutsButton, *SaveCutsButton;
  QLabel* CursorLabel;
  QPushButton *PlayButton, *PlayBeforeButton, *PlayAfterButton;
  QLabel* PlayStatus;  // no output, or a source that cannot be played
  // The range last asked to be heard.
  const FrameRange& lastPlayed() const { return playing_; }
  const CutEdits& edits() const { return edits_; }
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
  static QString gapText(const Piece& p, const PcmFormat& f);
  void enableCut();
  void showError(const QString& text);
  void clearResult();
  void cutNow();
  PreviewChoice choice() const;
  // The file's own settings, by a dry run that chooses them, unless those
  // shown were found for the same source and fields.
  void suggest(const CutSettings& user);
  void takeSuggestion();

  // The editor of the cuts.
  QBoxLayout* makeEditBar();
  QBoxLayout* makePlayBar();
  // Space: from the cursor to the end, or a stop.
  void playOrStop();
  void playAroundCut(bool before);
  void play(const FrameRange& range);
  void stopPlaying();
  // Edits would be lost by a scan of other settings: asked; false keeps them.
  bool mayDiscardEdits();
  // A complete scan's cuts start the list, unless it was edited.
  void takeFound(const CutSettings& s, const CutResult& r);
  // The list as it stands: the view, the pieces, the titles.
  void showEdits();
  void addCut(bool exactly);
  void deleteCut();
  void undoOrRedo(bool redo);
  void openCuts();
  void saveCuts();
  void showCursor();
  // The scan's summary, and the count of pieces once edited.
  void showSummary();
  void enableEdits();
  int32_t piecePeak(int64_t first, int64_t end);
  void complain(const QString& text, std::string_view caption);

  MessageBoxes& boxes_;
  CutEdits edits_;
  std::unique_ptr<SourceView> view_;
  PcmFormat viewFormat_;
  int64_t dataBytes_ = 0;
  QString scanSummary_;
  std::vector<Piece> found_;  // of the last complete scan, for their peaks
  // Threshold, run length, shortest song, clicks (ms): as last scanned, put
  // back when edits are kept.
  double fieldValues_[4] = {};
  bool syncing_ = false;      // the album and the list giving each other their entries

  CutSettings page_;
  QTimer* debounce_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<Watcher> watcher_;
  bool scanning_ = false;
  bool suggesting_ = false;  // the scan after the user's, for the suggestion
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
  PiecePlayer* player_ = nullptr;
  FrameRange playing_;
};

}  // namespace mv
