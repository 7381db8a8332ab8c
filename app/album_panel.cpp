#include "app/album_panel.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "album/naming.h"
#include "album/track_list.h"
#include "app/file_dialogs.h"
#include "app/paths_qt.h"
#include "cut/explain.h"
#include "cut/units.h"
#include "wave/errors.h"

namespace mv {

namespace {

constexpr int kThumbSize = 64;
constexpr int kFirstNames = 3;
const char* const kWarningStyle = "color: #a03000;";

QLineEdit* edit(const char* name) {
  auto* e = new QLineEdit;
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

QLabel* note(const char* name) {
  auto* l = new QLabel;
  l->setObjectName(QString::fromLatin1(name));
  l->setWordWrap(true);
  l->setStyleSheet(QString::fromLatin1(kWarningStyle));
  l->hide();
  return l;
}

void say(QLabel* l, const QString& text) {
  l->setText(text);
  l->setVisible(!text.isEmpty());
}

std::string trimmed(const QLineEdit* e) { return e->text().trimmed().toStdString(); }

// "N" or "N/M", each 1..999, M not below N; nothing when the field is empty.
std::optional<std::pair<int32_t, int32_t>> readDisc(const QString& text, bool& bad) {
  bad = false;
  if (text.trimmed().isEmpty()) return std::nullopt;
  static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,3})\\s*(?:/\\s*(\\d{1,3})\\s*)?$"));
  const QRegularExpressionMatch m = form.match(text);
  const int disc = m.hasMatch() ? m.captured(1).toInt() : 0;
  const int total = m.hasMatch() && m.hasCaptured(2) ? m.captured(2).toInt() : 0;
  if (disc < 1 || (m.hasCaptured(2) && total < disc)) {
    bad = true;
    return std::nullopt;
  }
  return std::pair<int32_t, int32_t>{disc, total};
}

QString errorText(const Error& e) { return FromUtf8(e.text()); }

}  // namespace

AlbumPanel::AlbumPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("AlbumPanel");

  TrackList = new QPlainTextEdit;
  TrackList->setObjectName("TrackList");
  TrackList->setPlaceholderText(QStringLiteral("曲目リストを貼り付けるか、ﾌｧｲﾙから開いてください (1行に1曲、またはキューシート)"));
  TrackList->setLineWrapMode(QPlainTextEdit::NoWrap);
  OpenTracksButton = new QPushButton(QStringLiteral("曲目リストを開く(&L)..."));
  OpenTracksButton->setObjectName("OpenTracksButton");
  TrackError = note("TrackError");
  OutputFormat = new QComboBox;
  OutputFormat->setObjectName("OutputFormat");
  OutputFormat->addItems({QStringLiteral("WAVE"), QStringLiteral("FLAC")});
  NamePattern = edit("NamePattern");
  NamePattern->setToolTip(QStringLiteral("{n} 曲番号  {N} 曲数  {pos} 位置  {title} 曲名  {artist} アーティスト  "
                                         "{album} アルバム  {year} 年"));
  PatternError = note("PatternError");
  FirstNames = new QLabel;
  FirstNames->setObjectName("FirstNames");
  FirstNames->setWordWrap(true);
  FirstNames->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* listPage = new QWidget;
  auto* listLayout = new QVBoxLayout(listPage);
  auto* openRow = new QHBoxLayout;
  openRow->addStretch(1);
  openRow->addWidget(OpenTracksButton);
  listLayout->addWidget(TrackList, 1);
  listLayout->addLayout(openRow);
  listLayout->addWidget(TrackError);
  auto* nameGrid = new QGridLayout;
  nameGrid->addWidget(new QLabel(QStringLiteral("形式")), 0, 0);
  nameGrid->addWidget(OutputFormat, 0, 1, Qt::AlignLeft);
  nameGrid->addWidget(new QLabel(QStringLiteral("ﾌｧｲﾙ名")), 1, 0);
  nameGrid->addWidget(NamePattern, 1, 1);
  nameGrid->setColumnStretch(1, 1);
  listLayout->addLayout(nameGrid);
  listLayout->addWidget(PatternError);
  listLayout->addWidget(FirstNames);

  AlbumEdit = edit("AlbumEdit");
  ArtistEdit = edit("ArtistEdit");
  AlbumArtistEdit = edit("AlbumArtistEdit");
  YearEdit = edit("YearEdit");
  GenreEdit = edit("GenreEdit");
  DiscEdit = edit("DiscEdit");
  DiscEdit->setPlaceholderText(QStringLiteral("1 または 1/2"));
  DiscError = note("DiscError");
  CoverButton = new QPushButton(QStringLiteral("カバー画像(&I)..."));
  CoverButton->setObjectName("CoverButton");
  CoverClear = new QPushButton(QStringLiteral("外す"));
  CoverClear->setObjectName("CoverClear");
  CoverClear->setEnabled(false);
  CoverThumb = new QLabel(QStringLiteral("なし"));
  CoverThumb->setObjectName("CoverThumb");
  CoverThumb->setWordWrap(true);
  CoverThumb->setMinimumHeight(kThumbSize + 4);
  CoverThumb->setAlignment(Qt::AlignCenter);
  CoverThumb->setFrameShape(QFrame::StyledPanel);
  for (QPushButton* b : {OpenTracksButton, CoverButton, CoverClear}) b->setAutoDefault(false);

  auto* tagPage = new QWidget;
  auto* form = new QFormLayout(tagPage);
  form->addRow(QStringLiteral("アルバム"), AlbumEdit);
  form->addRow(QStringLiteral("アーティスト"), ArtistEdit);
  form->addRow(QStringLiteral("アルバムアーティスト"), AlbumArtistEdit);
  form->addRow(QStringLiteral("年"), YearEdit);
  form->addRow(QStringLiteral("ジャンル"), GenreEdit);
  form->addRow(QStringLiteral("ディスク"), DiscEdit);
  form->addRow(DiscError);
  // The cover across the whole width, its refusal in the thumbnail's place.
  auto* coverButtons = new QVBoxLayout;
  coverButtons->addWidget(CoverButton);
  coverButtons->addWidget(CoverClear);
  coverButtons->addStretch(1);
  auto* coverRow = new QHBoxLayout;
  coverRow->addLayout(coverButtons);
  coverRow->addWidget(CoverThumb, 1);
  form->addRow(coverRow);
  auto* tagScroll = new QScrollArea;
  tagScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tagScroll->setWidget(tagPage);
  tagScroll->setWidgetResizable(true);
  tagScroll->setFrameShape(QFrame::NoFrame);

  Tabs = new QTabWidget;
  Tabs->setObjectName("AlbumTabs");
  Tabs->addTab(listPage, QStringLiteral("曲目リスト"));
  Tabs->addTab(tagScroll, QStringLiteral("タグ"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Tabs);
  TrackCount = note("TrackCount");

  connect(TrackList, &QPlainTextEdit::textChanged, this, &AlbumPanel::readTracks);
  connect(OpenTracksButton, &QPushButton::clicked, this, &AlbumPanel::openTracks);
  connect(CoverButton, &QPushButton::clicked, this, &AlbumPanel::chooseCover);
  connect(CoverClear, &QPushButton::clicked, this, [this] {
    cover_.reset();
    CoverThumb->setPixmap(QPixmap());
    CoverThumb->setText(QStringLiteral("なし"));
    CoverThumb->setToolTip(QString());
    CoverClear->setEnabled(false);
    emit changed();
  });
  for (QLineEdit* e : {NamePattern, AlbumEdit, ArtistEdit, AlbumArtistEdit, YearEdit, GenreEdit, DiscEdit})
    connect(e, &QLineEdit::textChanged, this, &AlbumPanel::fieldChanged);
  connect(OutputFormat, &QComboBox::currentIndexChanged, this, [this] {
    showFirstNames();
    emit formatChanged();
  });
  showFirstNames();
}

void AlbumPanel::setSource(bool flacSource) {
  flacSource_ = flacSource;
  OutputFormat->blockSignals(true);
  OutputFormat->setCurrentIndex(flacSource ? 1 : 0);
  OutputFormat->blockSignals(false);
  found_.reset();
  showFirstNames();
}

PieceFormat AlbumPanel::format() const {
  const bool flac = OutputFormat->currentIndex() == 1;
  if (flac == flacSource_) return PieceFormat::AsSource;
  return flac ? PieceFormat::Flac : PieceFormat::Wave;
}

std::string AlbumPanel::extension() const { return OutputFormat->currentIndex() == 1 ? ".flac" : ".wav"; }

AlbumSettings AlbumPanel::album() const {
  AlbumSettings a;
  a.tracks = tracks_;
  if (PatternError->isHidden()) a.pattern = NamePattern->text().toStdString();
  a.album.album = trimmed(AlbumEdit);
  a.album.artist = trimmed(ArtistEdit);
  a.album.albumArtist = trimmed(AlbumArtistEdit);
  a.album.year = trimmed(YearEdit);
  a.album.genre = trimmed(GenreEdit);
  bool bad;
  if (const auto disc = readDisc(DiscEdit->text(), bad)) std::tie(a.album.disc, a.album.discTotal) = *disc;
  a.album.cover = cover_;
  return a;
}

bool AlbumPanel::faulty() const { return !TrackError->isHidden() || !PatternError->isHidden() || !DiscError->isHidden(); }

void AlbumPanel::readTracks() {
  tracks_.reset();
  QString error;
  const QString text = TrackList->toPlainText();
  if (!text.trimmed().isEmpty()) {
    try {
      tracks_ = ParseTrackList(text.toStdString());
    } catch (const Error& e) {
      error = errorText(e);
    }
  }
  say(TrackError, error);
  // With a list, names follow "{n} {title}" unless a pattern is given.
  NamePattern->setPlaceholderText(tracks_ ? FromUtf8(kDefaultNamePattern) : QString());
  showFirstNames();
  emit changed();
}

void AlbumPanel::setTitle(std::size_t n, const std::string& title) {
  if (!tracks_ || n >= tracks_->tracks.size() || tracks_->tracks[n].title == title) return;
  tracks_->tracks[n].title = title;
  showFirstNames();
  emit changed();
}

void AlbumPanel::setTracks(std::vector<Track> tracks) {
  if (!tracks_ && tracks.empty()) return;
  if (!tracks_) tracks_.emplace();
  tracks_->tracks = std::move(tracks);
  NamePattern->setPlaceholderText(FromUtf8(kDefaultNamePattern));
  showFirstNames();
  emit changed();
}

// One existing file, chosen in the dialog of that name; empty when none was.
QString AlbumPanel::chooseFile(const char* dialogName, const QString& filter) {
  QFileDialog dialog(this);
  SetUpWaveDialog(dialog, dialogName, filter, QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

void AlbumPanel::openTracks() {
  const QString chosen = chooseFile("OpenTracksDialog", QStringLiteral("曲目リスト (*.txt *.cue);;すべてのﾌｧｲﾙ (*)"));
  if (chosen.isEmpty()) return;
  const std::string path = ToPath(chosen);
  try {
    // Read whole first: a file that is no readable list is said, not shown.
    // Its text then goes into the field, where it is read again and can be
    // mended.
    ReadTrackList(path);
    QFile file(chosen);
    if (file.open(QIODevice::ReadOnly)) TrackList->setPlainText(QString::fromUtf8(file.readAll()));
  } catch (const Error& e) {
    say(TrackError, errorText(e));
  }
}

void AlbumPanel::chooseCover() {
  const QString name = chooseFile("CoverDialog", QStringLiteral("画像 (*.png *.jpg *.jpeg);;すべてのﾌｧｲﾙ (*)"));
  if (name.isEmpty()) return;
  cover_.reset();
  CoverThumb->setPixmap(QPixmap());
  CoverThumb->setToolTip(name);
  try {
    cover_ = LoadCover(ToPath(name));
    QPixmap image;
    image.loadFromData(cover_->bytes.data(), static_cast<uint>(cover_->bytes.size()));
    if (image.isNull())
      CoverThumb->setText(QFileInfo(name).fileName());
    else
      CoverThumb->setPixmap(image.scaled(kThumbSize, kThumbSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  } catch (const Error& e) {
    CoverThumb->setText(errorText(e));
  }
  CoverClear->setEnabled(cover_ != nullptr);
  emit changed();
}

void AlbumPanel::fieldChanged() {
  QString patternError;
  try {
    CheckNamePattern(NamePattern->text().toStdString());
  } catch (const Error& e) {
    patternError = errorText(e);
  }
  say(PatternError, patternError);
  bool badDisc;
  readDisc(DiscEdit->text(), badDisc);
  say(DiscError, badDisc ? FromUtf8(::mv::format(msg::kDiscForm, DiscEdit->text().trimmed().toStdString())) : QString());
  showFirstNames();
  emit changed();
}

PieceLabels AlbumPanel::labels(const std::vector<double>& seconds, bool complete) {
  if (complete) found_ = seconds.size();
  PieceLabels out;
  const AlbumSettings a = album();
  const std::size_t count = seconds.size();
  if (tracks_) {
    for (std::size_t n = 0; n < count; ++n) {
      out.titles.push_back(n < tracks_->tracks.size() ? tracks_->tracks[n].title : std::string());
      out.lengthWarnings.push_back(n < tracks_->tracks.size() ? LengthWarning(*tracks_, n + 1, seconds[n])
                                                              : std::nullopt);
    }
    if (complete) {
      try {
        CheckTrackCount(*tracks_, count);
      } catch (const Error& e) {
        out.countMismatch = e.text();
      }
    }
  }
  if (!out.countMismatch && (!tracks_ || tracks_->tracks.size() == count) && NamesPieces(a)) {
    try {
      out.names = PlanPieces(a, count, extension()).names;
    } catch (const Error&) {
      out.names.clear();  // the pattern's own label says why
    }
  }
  say(TrackCount, out.countMismatch ? FromUtf8(*out.countMismatch) : QString());
  showFirstNames();
  return out;
}

void AlbumPanel::showFirstNames() {
  // As many names as the last scan found, else as the list holds.
  const AlbumSettings a = album();
  std::size_t count = found_.value_or(tracks_ ? tracks_->tracks.size() : 0);
  if (tracks_ && tracks_->tracks.size() != count) count = tracks_->tracks.size();
  std::vector<std::string> names;
  if (count > 0 && NamesPieces(a)) {
    try {
      names = PlanPieces(a, count, extension()).names;
    } catch (const Error&) {
    }
  }
  if (names.empty()) {
    for (std::size_t n = 1; n <= std::min<std::size_t>(count ? count : kFirstNames, kFirstNames); ++n)
      names.push_back(PieceFileName(static_cast<int32_t>(n), extension()));
  }
  QStringList shown;
  for (std::size_t i = 0; i < names.size() && i < kFirstNames; ++i) shown << FromUtf8(names[i]);
  if (std::max(names.size(), count) > kFirstNames) shown << QStringLiteral("...");
  FirstNames->setText(QStringLiteral("書き込む名前: ") + shown.join(QStringLiteral(", ")));
}

}  // namespace mv
