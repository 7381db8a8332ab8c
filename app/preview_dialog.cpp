#include "app/preview_dialog.h"

#include <QColor>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "app/album_panel.h"
#include "app/message_boxes.h"
#include "app/placing.h"
#include "app/suggestion_row.h"
#include "app/paths_qt.h"
#include "app/waveform_view.h"
#include "cut/explain.h"
#include "cut/short_pieces.h"
#include "cut/source_view.h"
#include "cut/units.h"
#include "flac/source_check.h"
#include "wave/errors.h"

namespace mv {

namespace {

constexpr int kPauseMs = 200;  // after the last change, before a scan
constexpr int kMaxClicksMs = 1000;
constexpr int kMaxSongSeconds = 3600;
constexpr int kColumns = 6;
constexpr int kLengthColumn = 2;
constexpr int kTitleColumn = 5;  // shown with a track list
const QColor kFarFromListed(255, 205, 170);

QSpinBox* spin(const char* name, int max) {
  auto* box = new QSpinBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setRange(0, max);
  box->setMinimumWidth(80);
  return box;
}

QLabel* label(const QString& text, const char* name = nullptr) {
  auto* l = new QLabel(text);
  if (name) l->setObjectName(QString::fromLatin1(name));
  return l;
}

}  // namespace

// The dialog's side of a dry run: its bar, its cancel button, events let run
// between blocks. Nothing is asked: a dry run has no question.
class PreviewDialog::Host final : public JobHost {
 public:
  explicit Host(PreviewDialog& d) : d_(d) {}
  bool ask(const Message&) override { return false; }
  void inform(const Message&) override {}
  void begin() override {
    d_.Progress->setValue(0);
    d_.CancelButton->setEnabled(true);
    d_.Status->setStyleSheet(QString());
    d_.Status->setText(d_.suggesting_ ? QStringLiteral("提案を計算中...") : QStringLiteral("スキャン中..."));
  }
  void end() override { d_.CancelButton->setEnabled(false); }
  void status(std::string_view text) override {
    // The run's opening text speaks of making song 1, which a scan does not.
    if (text == msg::kMakingFirstSong || d_.suggesting_) return;
    d_.Status->setText(QStringLiteral("スキャン中... ") + FromUtf8(text));
  }
  void progress(int percent) override { d_.Progress->setValue(percent); }
  void pump() override { QCoreApplication::processEvents(); }
  // The dialog clears the flag when it starts a scan; a change made since
  // then must still stop it.
  void resetCancel() override {}
  bool cancelRequested() override { return d_.cancel_; }

 private:
  PreviewDialog& d_;
};

// Draws a scan's findings as they grow, a few times a second, so that the
// first pieces of a long file show before its end is read.
class PreviewDialog::Watcher final : public ScanWatcher {
 public:
  Watcher(PreviewDialog& d) : d_(d) {}
  void restart(const CutSettings& s) {
    settings_ = s;
    clock_.start();
  }
  void grown(const ScanReport& soFar, int64_t, int64_t dataBytes) override {
    if (clock_.elapsed() < kEveryMs) return;
    d_.showPartial(settings_, soFar, dataBytes);
    clock_.start();
  }

 private:
  static constexpr int kEveryMs = 150;
  PreviewDialog& d_;
  CutSettings settings_;
  QElapsedTimer clock_;
};

PreviewDialog::PreviewDialog(QWidget* parent, MessageBoxes& boxes)
    : QDialog(parent), boxes_(boxes), host_(std::make_unique<Host>(*this)), watcher_(std::make_unique<Watcher>(*this)) {
  setObjectName("PreviewDialog");
  setWindowTitle(QStringLiteral("切り出しのプレビュー"));
  setWindowModality(Qt::WindowModal);
  setSizeGripEnabled(true);

  SourceLabel = label(QString(), "SourceLabel");
  SourceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  ThresholdEdit = spin("ThresholdEdit", kMaxThreshold);
  RunLengthEdit = spin("RunLengthEdit", kMaxRunLength);
  ClicksEdit = new QDoubleSpinBox;
  ClicksEdit->setObjectName("ClicksEdit");
  // Three decimals hold any tolerance to the frame, up to 384 kHz.
  ClicksEdit->setDecimals(3);
  ClicksEdit->setRange(0, kMaxClicksMs);
  ClicksEdit->setMinimumWidth(80);
  MinSongEdit = spin("MinSongEdit", kMaxSongSeconds);
  ThresholdLevel = label(QString(), "ThresholdLevel");
  RunLengthSeconds = label(QString(), "RunLengthSeconds");
  auto* fields = new QGridLayout;
  fields->addWidget(label(QStringLiteral("無音のしきい値")), 0, 0);
  fields->addWidget(ThresholdEdit, 0, 1);
  fields->addWidget(ThresholdLevel, 0, 2);
  fields->addWidget(label(QStringLiteral("無音の長さ")), 0, 4);
  fields->addWidget(RunLengthEdit, 0, 5);
  fields->addWidget(RunLengthSeconds, 0, 6);
  fields->addWidget(label(QStringLiteral("クリックを無視")), 1, 0);
  fields->addWidget(ClicksEdit, 1, 1);
  fields->addWidget(label(QStringLiteral("ミリ秒")), 1, 2);
  fields->addWidget(label(QStringLiteral("最短の曲")), 1, 4);
  fields->addWidget(MinSongEdit, 1, 5);
  fields->addWidget(label(QStringLiteral("秒")), 1, 6);
  fields->setColumnMinimumWidth(2, 110);
  fields->setColumnMinimumWidth(3, 24);
  fields->setColumnStretch(7, 1);
  Suggestion = new SuggestionRow;

  Waveform = new WaveformView;
  Summary = label(QString(), "Summary");
  NoBreak = label(QString(), "NoBreak");
  NoBreak->setWordWrap(true);
  NoBreak->setStyleSheet(QStringLiteral("color: #a03000;"));
  NoBreak->hide();

  Pieces = new QTableWidget(0, kColumns);
  Pieces->setObjectName("Pieces");
  Pieces->setHorizontalHeaderLabels({QStringLiteral("ファイル"), QStringLiteral("開始"), QStringLiteral("長さ"),
                                     QStringLiteral("ピーク"), QStringLiteral("前の無音"), QStringLiteral("曲名")});
  Pieces->setColumnHidden(kTitleColumn, true);
  // Only a title can be edited, in place: a double click or F2.
  Pieces->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  Pieces->setSelectionBehavior(QAbstractItemView::SelectRows);
  Pieces->verticalHeader()->hide();
  Pieces->verticalHeader()->setDefaultSectionSize(Pieces->fontMetrics().height() + 6);
  // The numbers take what they need; the names (and titles) share the rest.
  Pieces->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  for (int column : {1, 2, 3, 4}) Pieces->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  Pieces->setMinimumHeight(110);

  Status = label(QString(), "Status");
  Progress = new QProgressBar;
  Progress->setObjectName("Progress");
  Progress->setRange(0, 100);
  Progress->setTextVisible(false);
  Progress->setMaximumHeight(14);
  CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"));
  CancelButton->setObjectName("CancelButton");
  CancelButton->setEnabled(false);
  CutButton = new QPushButton(QStringLiteral("この設定で切り出す"));
  CutButton->setObjectName("CutButton");
  CloseButton = new QPushButton(QStringLiteral("閉じる"));
  CloseButton->setObjectName("CloseButton");
  // Enter in a field must not start a cut.
  for (QPushButton* b : {CancelButton, CutButton, CloseButton}) b->setAutoDefault(false);

  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(Status, 1);
  progressRow->addWidget(Progress, 1);
  progressRow->addWidget(CancelButton);
  auto* buttons = new QHBoxLayout;
  // Listening sits beside the dialog's own buttons: a row of its own would
  // not fit a small screen.
  buttons->addLayout(makePlayBar(), 1);
  buttons->addWidget(CutButton);
  buttons->addWidget(CloseButton);

  Album = new AlbumPanel;
  auto* found = new QVBoxLayout;
  found->addWidget(Waveform, 3);
  found->addLayout(makeEditBar());
  found->addWidget(Summary);
  found->addWidget(NoBreak);
  found->addWidget(Pieces, 2);
  found->addWidget(Album->TrackCount);
  auto* body = new QHBoxLayout;
  body->addLayout(found, 5);
  body->addWidget(Album, 3);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(SourceLabel);
  layout->addLayout(fields);
  layout->addWidget(Suggestion);
  layout->addLayout(body, 1);
  layout->addLayout(progressRow);
  layout->addLayout(buttons);
  ResizeWithinScreen(*this, QSize(960, 600));

  debounce_ = new QTimer(this);
  debounce_->setSingleShot(true);
  connect(debounce_, &QTimer::timeout, this, &PreviewDialog::scanNow);
  for (QSpinBox* box : {ThresholdEdit, RunLengthEdit, MinSongEdit})
    connect(box, &QSpinBox::valueChanged, this, &PreviewDialog::fieldChanged);
  connect(ClicksEdit, &QDoubleSpinBox::valueChanged, this, &PreviewDialog::fieldChanged);
  // The songs asked for change the suggestion only: the edits stay.
  connect(Suggestion, &SuggestionRow::songsChanged, this, [this] {
    if (scanning_) cancel_ = true;
    debounce_->start(kPauseMs);
  });
  connect(Suggestion, &SuggestionRow::takeWanted, this, &PreviewDialog::takeSuggestion);
  connect(CancelButton, &QPushButton::clicked, this, [this] { cancel_ = true; });
  connect(CutButton, &QPushButton::clicked, this, [this] {
    if (!scanning_) return cutNow();
    cancel_ = true;
    cutPending_ = true;
  });
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(Album, &AlbumPanel::changed, this, [this] {
    // A list pasted or a title typed: the edited pieces take its entries.
    if (!syncing_) edits_.setTracks(Album->tracks());
    showAlbum();
  });
  connect(Pieces, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() == kTitleColumn) Album->setTitle(static_cast<std::size_t>(item->row()), item->text().toStdString());
  });
  // FLAC pieces are checked otherwise: the scan runs again.
  connect(Album, &AlbumPanel::formatChanged, this, [this] {
    pieceExtension_ = Album->extension();
    showAlbum();
    if (scanning_) cancel_ = true;
    debounce_->start(kPauseMs);
  });
}

PreviewDialog::~PreviewDialog() = default;

void PreviewDialog::start(const CutSettings& page) {
  stopPlaying();
  page_ = page;
  page_.dryRun = true;
  Album->setSource(IsFlacFile(page.source));
  pieceExtension_ = Album->extension();
  const std::initializer_list<QWidget*> fields = {ThresholdEdit, RunLengthEdit, ClicksEdit, MinSongEdit,
                                                  Suggestion->SongsEdit};
  for (QWidget* box : fields) box->blockSignals(true);
  ThresholdEdit->setValue(page.threshold);
  RunLengthEdit->setValue(page.runLength);
  ClicksEdit->setValue(0);
  MinSongEdit->setValue(0);
  Suggestion->SongsEdit->setValue(0);
  for (QWidget* box : fields) box->blockSignals(false);
  fieldValues_[0] = page.threshold;
  fieldValues_[1] = page.runLength;
  fieldValues_[2] = fieldValues_[3] = 0;  // shortest song, clicks
  edits_.reset({}, 0);
  view_.reset();
  Waveform->setSamples(nullptr);
  // The threshold and run length mean something at silences only.
  const bool silences = page.mode == CutMode::AtSilences;
  for (QWidget* box : fields) box->setEnabled(silences);
  Suggestion->setVisible(silences);
  Suggestion->showNone(QString());
  suggestedFor_.reset();
  takenZero_.reset();

  const std::optional<int> position =
      FormatListPosition(page.format.channels, page.format.sampleRate, page.format.bitsPerSample);
  const QString source = FromPath(page.source);
  SourceLabel->setText(QStringLiteral("切り出すﾌｧｲﾙ: %1    形式: %2")
                           .arg(QFileInfo(source).fileName(),
                                position ? FromUtf8(kCutLabels[static_cast<std::size_t>(*position)]) : QString()));
  SourceLabel->setToolTip(source);
  clearResult();
  Status->clear();
  Progress->setValue(0);
  showUnits();
  open();
  debounce_->start(0);
}

CutSettings PreviewDialog::settings() const {
  CutSettings s = page_;
  s.files.format = Album->format();
  if (s.mode != CutMode::AtSilences) return s;
  const PreviewChoice c = choice();
  s.threshold = c.threshold;
  s.runLength = c.runLength;
  s.ignoreClicks = c.ignoreClicks;
  s.minSongSeconds = c.minSongSeconds;
  if (c.zero) s.correction = c.zero;
  return s;
}

PreviewChoice PreviewDialog::choice() const {
  PreviewChoice c;
  c.threshold = ThresholdEdit->value();
  c.runLength = RunLengthEdit->value();
  c.ignoreClicks = static_cast<int32_t>(FramesFromSeconds(ClicksEdit->value() / 1000.0, page_.format));
  c.minSongSeconds = MinSongEdit->value();
  c.zero = takenZero_;
  c.album = Album->album();
  c.format = Album->format();
  if (edits_.edited()) {
    c.points.emplace();
    for (const EditedCut& cut : edits_.cuts()) c.points->push_back({cut.frame, 0});
  }
  return c;
}

void PreviewDialog::showUnits() {
  const bool silences = page_.mode == CutMode::AtSilences;
  ThresholdLevel->setText(
      silences ? QStringLiteral("= ") + FromUtf8(LevelText(ThresholdEdit->value(), page_.format)) : QString());
  RunLengthSeconds->setText(silences ? QStringLiteral("ｻﾝﾌﾟﾙ = ") +
                                           FromUtf8(SecondsText(FramesSeconds(RunLengthEdit->value(), page_.format)))
                                     : QString());
  Waveform->setThreshold(silences ? std::optional<int32_t>(ThresholdEdit->value()) : std::nullopt);
}

void PreviewDialog::fieldChanged() {
  QSpinBox* const whole[] = {ThresholdEdit, RunLengthEdit, MinSongEdit};
  if (!mayDiscardEdits()) {
    for (int i = 0; i < 3; ++i) {
      const QSignalBlocker quiet(whole[i]);
      whole[i]->setValue(static_cast<int>(fieldValues_[i]));
    }
    const QSignalBlocker quiet(ClicksEdit);
    ClicksEdit->setValue(fieldValues_[3]);
    return;
  }
  for (int i = 0; i < 3; ++i) fieldValues_[i] = whole[i]->value();
  fieldValues_[3] = ClicksEdit->value();
  showUnits();
  if (scanning_) cancel_ = true;
  debounce_->start(kPauseMs);
}

void PreviewDialog::scanNow() {
  // A scan stops at its next block; this one comes after it.
  if (scanning_) {
    cancel_ = true;
    debounce_->start(kPauseMs);
    return;
  }
  if (!isVisible()) return;
  scanning_ = true;
  cancel_ = false;
  enableEdits();
  const CutSettings s = settings();
  CutResult r;
  QString error;
  watcher_->restart(s);
  try {
    r = RunCut(s, *host_, OpenFile, watcher_.get());
  } catch (const Error& e) {
    error = QString::fromStdString(e.general() ? e.shownText() : e.text());
  } catch (const std::exception& e) {
    error = QString::fromStdString(withReportDot(e.what()));
  }
  const bool complete = error.isEmpty() && r.end == CutEnd::Complete;
  if (!error.isEmpty())
    showError(error);
  else
    showResult(s, r);
  // The result shows while the suggestion is found.
  if (complete && s.mode == CutMode::AtSilences && !cancel_) {
    suggesting_ = true;
    suggest(s);
    suggesting_ = false;
    Status->setStyleSheet(QString());
    Status->setText(QStringLiteral("スキャン完了"));
    Progress->setValue(100);
  }
  scanning_ = false;
  CancelButton->setEnabled(false);
  enableEdits();
  // A change made meanwhile stopped the suggestion (or kept it from
  // starting): the scan it asked for ends the matter.
  emit scanEnded(complete && !cancel_);

  if (doneWanted_) {
    const int result = *doneWanted_;
    doneWanted_.reset();
    cutPending_ = false;
    QDialog::done(result);
  } else if (cutPending_) {
    cutPending_ = false;
    cutNow();
  }
}

void PreviewDialog::suggest(const CutSettings& user) {
  const auto key = std::make_tuple(user.ignoreClicks, user.minSongSeconds, Suggestion->songs());
  if (suggestedFor_ == key) return;
  CutSettings a = user;
  a.detect.threshold = a.detect.runLength = a.detect.zero = true;
  a.detect.songs = Suggestion->songs();
  CutResult r;
  QString error;
  try {
    r = RunCut(a, *host_, OpenFile, nullptr);
  } catch (const Error& e) {
    error = QString::fromStdString(e.general() ? e.shownText() : e.text());
  } catch (const std::exception& e) {
    error = QString::fromStdString(withReportDot(e.what()));
  }
  if (!error.isEmpty()) {
    Suggestion->showNone(QStringLiteral("提案を出せません: ") + error);
  } else if (r.end == CutEnd::Complete && r.detected) {
    suggestedFor_ = key;
    Suggestion->show(*r.detected, a.format, static_cast<int>(r.report.pieces.size()), a.detect.songs);
    emit suggested(Suggestion->summary());
  }
  // Cancelled: found again after the next scan.
}

void PreviewDialog::takeSuggestion() {
  const std::optional<Detection> d = Suggestion->suggestion();
  if (!d || !mayDiscardEdits()) return;
  for (QWidget* box : std::initializer_list<QWidget*>{ThresholdEdit, RunLengthEdit, ClicksEdit}) box->blockSignals(true);
  ThresholdEdit->setValue(d->threshold);
  RunLengthEdit->setValue(d->runLength);
  ClicksEdit->setValue(1000.0 * FramesSeconds(d->ignoreClicks, page_.format));
  for (QWidget* box : std::initializer_list<QWidget*>{ThresholdEdit, RunLengthEdit, ClicksEdit}) box->blockSignals(false);
  // Filled in place: a temporary's variant fools the compiler's
  // uninitialised-use check.
  Correction& zero = takenZero_.emplace();
  zero.left = int64_t{d->zero.left};
  zero.right = int64_t{d->zero.right};
  // The suggestion given these clicks is the same one.
  if (suggestedFor_) std::get<0>(*suggestedFor_) = d->ignoreClicks;
  fieldChanged();
}

void PreviewDialog::clearResult() {
  Waveform->clear();
  found_.clear();
  enableEdits();
  Pieces->setRowCount(0);
  shown_.clear();
  shownComplete_ = false;
  showAlbum();
  Summary->clear();
  scanSummary_.clear();
  NoBreak->clear();
  NoBreak->hide();
}

void PreviewDialog::showError(const QString& text) {
  clearResult();
  Status->setStyleSheet(QStringLiteral("color: red;"));
  Status->setText(text);
}

void PreviewDialog::showResult(const CutSettings& s, const CutResult& r) {
  const PcmFormat& f = s.format;
  if (r.end == CutEnd::NothingToDo) {
    clearResult();
    Status->setText(QStringLiteral("切り出すﾌｧｲﾙが指定されていません。"));
    return;
  }
  if (r.end != CutEnd::Complete) {
    // Cancelled for a change of the fields: the next scan is on its way.
    if (debounce_->isActive()) return;
    clearResult();
    Status->setText(QStringLiteral("スキャンを中止しました。設定を変えると、もう一度スキャンします。"));
    return;
  }
  Status->setText(QStringLiteral("スキャン完了"));
  Progress->setValue(100);

  const ScanReport& report = r.report;
  const int64_t frameSize = int64_t{f.channels} * f.bytesPerSample();
  Waveform->setScan(f, report, r.dataSize / frameSize);
  takeFound(s, r);

  const int pieces = static_cast<int>(report.pieces.size());
  if (s.mode != CutMode::AtSilences) {
    scanSummary_ = QStringLiteral("ファイル数: %1").arg(pieces);
    showSummary();
    NoBreak->hide();
    return;
  }
  const CutExplanation told = ExplainCut(s, r);
  scanSummary_ = FromUtf8(told.summary);
  showSummary();
  QStringList notes;
  for (const std::string& note : told.notes) notes << FromUtf8(note);
  NoBreak->setText(notes.join(QLatin1Char('\n')));
  NoBreak->setVisible(!notes.isEmpty());
}

void PreviewDialog::showPieces(const PcmFormat& f, const std::vector<Piece>& pieces, bool complete) {
  shown_ = pieces;
  shownFormat_ = f;
  shownComplete_ = complete;
  showAlbum();
}

// The quiet run a piece was cut after: its length and its loudest sample.
QString PreviewDialog::gapText(const Piece& p, const PcmFormat& f) {
  if (!p.gap) return QString();
  QString text = FromUtf8(SecondsText(FramesSeconds(p.gap->frames, f)));
  if (p.gap->peak) {
    const double dB = PeakDb(*p.gap->peak, f);
    text += QStringLiteral(" (%1 dBFS)").arg(std::isinf(dB) ? QStringLiteral("-∞") : QString::number(dB, 'f', 1));
  }
  return text;
}

void PreviewDialog::showAlbum() {
  const PcmFormat& f = shownFormat_;
  std::vector<double> seconds;
  for (const Piece& p : shown_) seconds.push_back(BytesSeconds(p.dataBytes, f));
  const PieceLabels album = Album->labels(seconds, shownComplete_);
  Pieces->setColumnHidden(kTitleColumn, !Album->hasTracks());
  const QSignalBlocker quiet(Pieces);
  Pieces->setRowCount(static_cast<int>(shown_.size()));
  int row = 0;
  for (const Piece& p : shown_) {
    const auto n = static_cast<std::size_t>(row);
    const std::string name = n < album.names.size() ? album.names[n] : PieceFileName(row + 1, pieceExtension_);
    const QString cells[] = {FromUtf8(name), FromUtf8(ClockText(BytesSeconds(p.firstByte, f))),
                             FromUtf8(ClockText(seconds[n])), FromUtf8(PeakLevelText(p.peak, f)), gapText(p, f),
                             n < album.titles.size() ? FromUtf8(album.titles[n]) : QString()};
    for (int column = 0; column < kColumns; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column > 0 && column != kTitleColumn) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (column != kTitleColumn || n >= album.titles.size()) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
      Pieces->setItem(row, column, item);
    }
    if (n < album.lengthWarnings.size() && album.lengthWarnings[n]) {
      QTableWidgetItem* length = Pieces->item(row, kLengthColumn);
      length->setBackground(kFarFromListed);
      length->setToolTip(FromUtf8(*album.lengthWarnings[n]));
    }
    ++row;
  }
  // A list of another count, or a field that cannot be read, would write
  // other files than the ones shown: no cut until they agree.
  const bool agreed = !Album->hasTracks() || (shownComplete_ && !album.countMismatch);
  CutButton->setEnabled(agreed && !Album->faulty());
}

void PreviewDialog::showPartial(const CutSettings& s, const ScanReport& soFar, int64_t dataBytes) {
  const PcmFormat& f = s.format;
  const int64_t frameSize = int64_t{f.channels} * f.bytesPerSample();
  Waveform->setScan(f, soFar, dataBytes / frameSize);
  // Short pieces join their neighbours as the run will join them; the last
  // one may still grow.
  const int64_t minBytes = MinSongBytes(s.minSongSeconds, f);
  showPieces(f, minBytes > 0 ? MergeShortPieces(soFar.pieces, minBytes) : soFar.pieces, false);
}

void PreviewDialog::cutNow() {
  const PreviewChoice c = choice();
  debounce_->stop();
  QDialog::done(Accepted);
  emit cutWanted(c);
}

void PreviewDialog::done(int result) {
  // Closed without a cut, edits would be lost unseen: asked once.
  if (result == Rejected && !doneWanted_ && edits_.edited() &&
      !Ask(boxes_, {msg::kCloseWithEdits, msg::kDiscardEditsCaption, Icon::Exclamation}))
    return;
  stopPlaying();
  if (scanning_) {
    cancel_ = true;
    doneWanted_ = result;
    return;
  }
  debounce_->stop();
  QDialog::done(result);
}

}  // namespace mv
