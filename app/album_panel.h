#pragma once
// The album side of the cut's preview: a track list pasted or opened, the
// album's tags and cover, the pieces' format and the pattern of their
// names. The preview shows its pieces with the titles and the names the cut
// will write; the page's cut takes the album from here for that one cut.
// Left empty, it changes nothing: the numbered, untagged files of old.

#include <QWidget>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "album/album_plan.h"
#include "cut/cut.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace mv {

// What the preview writes beside its pieces, for the lengths it found.
struct PieceLabels {
  std::vector<std::string> names;   // as written; empty: numbered
  std::vector<std::string> titles;  // empty without a track list
  std::vector<std::optional<std::string>> lengthWarnings;
  std::optional<std::string> countMismatch;  // the list holds another count
};

class AlbumPanel : public QWidget {
  Q_OBJECT
 public:
  explicit AlbumPanel(QWidget* parent = nullptr);

  // The source's kind: its pieces' format unless another is chosen.
  void setSource(bool flacSource);
  // The album as the fields give it; a list, pattern or disc that cannot be
  // read gives nothing of its own.
  AlbumSettings album() const;
  // AsSource while the chosen format is the source's own.
  PieceFormat format() const;
  std::string extension() const;
  bool hasTracks() const { return tracks_.has_value(); }
  // A title edited beside its piece; it holds until the list itself changes.
  void setTitle(std::size_t n, const std::string& title);
  // The list's entries as they stand, and entries set from outside: the
  // pieces' own titles; they hold until the list itself changes.
  std::vector<Track> tracks() const { return tracks_ ? tracks_->tracks : std::vector<Track>{}; }
  void setTracks(std::vector<Track> tracks);
  // A field that cannot be read: no cut until it is mended.
  bool faulty() const;
  // The pieces' labels for their lengths in seconds, complete or not; the
  // first names below the pattern follow the last complete count.
  PieceLabels labels(const std::vector<double>& seconds, bool complete);

  QTabWidget* Tabs;
  QPlainTextEdit* TrackList;
  QPushButton* OpenTracksButton;
  QLabel* TrackError;
  QComboBox* OutputFormat;
  QLineEdit* NamePattern;
  QLabel *PatternError, *FirstNames;
  QLineEdit *AlbumEdit, *ArtistEdit, *AlbumArtistEdit, *YearEdit, *GenreEdit, *DiscEdit;
  QLabel* DiscError;
  QPushButton *CoverButton, *CoverClear;
  QLabel* CoverThumb;
  // Shown by the dialog under its pieces: the counts when they differ.
  QLabel* TrackCount;

 signals:
  // A name, title or tag changed: the pieces are shown again.
  void changed();
  // The format changed: what a scan checks changes with it.
  void formatChanged();

 private:
  void readTracks();
  QString chooseFile(const char* dialogName, const QString& filter);
  void openTracks();
  void chooseCover();
  void fieldChanged();
  void showFirstNames();

  std::optional<::mv::TrackList> tracks_;
  std::shared_ptr<const Cover> cover_;
  bool flacSource_ = false;
  std::optional<std::size_t> found_;  // pieces of the last complete scan
};

}  // namespace mv
