// The preview's editor of the cuts: the buttons and keys that add, delete,
// undo and redo, the list opened and saved, and what each edit shows.

#include <QAction>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "app/album_panel.h"
#include "app/file_dialogs.h"
#include "app/message_boxes.h"
#include "app/paths_qt.h"
#include "app/preview_dialog.h"
#include "app/waveform_view.h"
#include "cut/list_files.h"
#include "cut/source_view.h"
#include "cut/units.h"
#include "cutlist/cut_list.h"
#include "wave/encoded.h"
#include "wave/errors.h"
#include "wave/file.h"
#include "wave/paths.h"

namespace mv {

namespace {

// How far a cut added at the cursor looks for a quieter place.
constexpr double kSnapReachSeconds = 1;

QPushButton* button(const QString& text, const char* name) {
  auto* b = new QPushButton(text);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

bool endsWith(const std::string& name, const char* suffix) {
  return QString::fromStdString(name).endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
}

}  // namespace

QBoxLayout* PreviewDialog::makeEditBar() {
  AddCutButton = button(QStringLiteral("位置を追加"), "AddCutButton");
  AddCutButton->setToolTip(QStringLiteral("カーソルの近くの静かな所に切り出し位置を追加します (Insert)。"
                                          "Shift を押しながらでカーソルの位置そのものに追加します。"));
  DeleteCutButton = button(QStringLiteral("位置を削除"), "DeleteCutButton");
  DeleteCutButton->setToolTip(QStringLiteral("カーソルにいちばん近い切り出し位置を削除します (Delete)。"));
  UndoButton = button(QStringLiteral("元に戻す"), "UndoButton");
  RedoButton = button(QStringLiteral("やり直し"), "RedoButton");
  OpenCutsButton = button(QStringLiteral("位置を開く..."), "OpenCutsButton");
  SaveCutsButton = button(QStringLiteral("位置を保存..."), "SaveCutsButton");
  CursorLabel = new QLabel;
  CursorLabel->setObjectName("CursorLabel");
  auto* bar = new QHBoxLayout;
  for (QPushButton* b : {AddCutButton, DeleteCutButton, UndoButton, RedoButton}) bar->addWidget(b);
  bar->addWidget(CursorLabel, 1);
  bar->addWidget(OpenCutsButton);
  bar->addWidget(SaveCutsButton);

  connect(AddCutButton, &QPushButton::clicked, this,
          [this] { addCut(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); });
  connect(DeleteCutButton, &QPushButton::clicked, this, &PreviewDialog::deleteCut);
  connect(UndoButton, &QPushButton::clicked, this, [this] { undoOrRedo(false); });
  connect(RedoButton, &QPushButton::clicked, this, [this] { undoOrRedo(true); });
  connect(OpenCutsButton, &QPushButton::clicked, this, &PreviewDialog::openCuts);
  connect(SaveCutsButton, &QPushButton::clicked, this, &PreviewDialog::saveCuts);
  auto key = [this](QList<QKeySequence> keys, auto&& what) {
    auto* action = new QAction(this);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, what);
    addAction(action);
  };
  key({QKeySequence(Qt::Key_Insert)}, [this] { addCut(false); });
  key({QKeySequence(Qt::SHIFT | Qt::Key_Insert)}, [this] { addCut(true); });
  key({QKeySequence(Qt::Key_Delete)}, [this] { deleteCut(); });
  key(QKeySequence::keyBindings(QKeySequence::Undo), [this] { undoOrRedo(false); });
  // Ctrl+Y as well, where the desktop's redo is another.
  QList<QKeySequence> redo = QKeySequence::keyBindings(QKeySequence::Redo);
  if (!redo.contains(QKeySequence(Qt::CTRL | Qt::Key_Y))) redo << QKeySequence(Qt::CTRL | Qt::Key_Y);
  key(redo, [this] { undoOrRedo(true); });

  connect(Waveform, &WaveformView::cursorMoved, this, &PreviewDialog::showCursor);
  connect(Waveform, &WaveformView::cutDragged, this, [this](int index, qint64 frame) {
    if (index > 0 && edits_.move(static_cast<std::size_t>(index - 1), frame)) showEdits();
  });
  // A piece chosen in the table: the cursor at its start.
  connect(Pieces, &QTableWidget::currentCellChanged, this, [this](int row) {
    const std::vector<int64_t> starts = edits_.pieceStarts();
    if (row < 0 || static_cast<std::size_t>(row) >= starts.size() || edits_.frames() == 0) return;
    Waveform->setCursorFrame(starts[static_cast<std::size_t>(row)]);
    showCursor();
  });
  return bar;
}

void PreviewDialog::enableEdits() {
  const bool ready = !scanning_ && edits_.frames() > 0;
  for (QPushButton* b : {AddCutButton, DeleteCutButton, OpenCutsButton, SaveCutsButton}) b->setEnabled(ready);
  UndoButton->setEnabled(ready && edits_.canUndo());
  RedoButton->setEnabled(ready && edits_.canRedo());
}

bool PreviewDialog::mayDiscardEdits() {
  if (!edits_.edited()) return true;
  if (!Ask(boxes_, {msg::kDiscardEdits, msg::kDiscardEditsCaption, Icon::Exclamation})) return false;
  edits_.reset({}, 0);
  return true;
}

void PreviewDialog::takeFound(const CutSettings& s, const CutResult& r) {
  viewFormat_ = s.format;
  const int64_t frameBytes = s.format.frameBytes();
  found_ = r.report.pieces;
  dataBytes_ = r.dataSize;
  if (!edits_.edited()) {
    std::vector<int64_t> cuts;
    for (std::size_t i = 1; i < found_.size(); ++i) cuts.push_back(found_[i].firstByte / frameBytes);
    edits_.reset(cuts, r.dataSize / frameBytes);
    edits_.setTracks(Album->tracks());
  }
  try {
    view_ = std::make_unique<SourceView>(s);
    Waveform->setSamples([this](int64_t first, int64_t step, int64_t count) {
      try {
        return view_->peaks(first, step, count);
      } catch (const std::exception&) {
        return std::vector<int32_t>(static_cast<std::size_t>(count));
      }
    });
  } catch (const std::exception&) {
    // Up close the envelope stands in, and cuts are added where asked.
    view_.reset();
    Waveform->setSamples(nullptr);
  }
  showEdits();
}

int32_t PreviewDialog::piecePeak(int64_t first, int64_t end) {
  for (const Piece& p : found_)
    if (p.firstByte == first && p.firstByte + p.dataBytes == end) return p.peak;
  const int64_t frameBytes = viewFormat_.frameBytes();
  if (!view_ || end <= first) return 0;
  try {
    return view_->peaks(first / frameBytes, (end - first) / frameBytes, 1).front();
  } catch (const std::exception&) {
    return 0;
  }
}

void PreviewDialog::showEdits() {
  const std::vector<int64_t> starts = edits_.pieceStarts();
  std::vector<bool> edited{false};
  for (const EditedCut& c : edits_.cuts()) edited.push_back(c.edited);
  Waveform->setCuts(starts, edited);
  const int64_t frameBytes = viewFormat_.frameBytes();
  std::vector<Piece> pieces;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    Piece p;
    p.firstByte = starts[i] * frameBytes;
    const int64_t end = i + 1 < starts.size() ? starts[i + 1] * frameBytes : dataBytes_;
    p.dataBytes = end - p.firstByte;
    p.peak = piecePeak(p.firstByte, end);
    // A found cut keeps the quiet run it was made at, whatever its piece's end.
    for (const Piece& f : found_)
      if (f.firstByte == p.firstByte) p.gap = f.gap;
    pieces.push_back(p);
  }
  shownFormat_ = viewFormat_;
  shown_ = std::move(pieces);
  shownComplete_ = true;
  showSummary();
  if (!edits_.tracks().empty() || Album->hasTracks()) {
    syncing_ = true;
    Album->setTracks(edits_.tracks());
    syncing_ = false;
  } else {
    showAlbum();
  }
  enableEdits();
}

void PreviewDialog::showSummary() {
  Summary->setText(edits_.edited() && !scanSummary_.isEmpty()
                       ? scanSummary_ + QStringLiteral("  編集後: %1曲").arg(edits_.cuts().size() + 1)
                       : scanSummary_);
}

void PreviewDialog::showCursor() {
  const std::optional<int64_t> at = Waveform->cursorFrame();
  CursorLabel->setText(at ? QStringLiteral("カーソル: %1").arg(FromUtf8(ClockText(FramesSeconds(*at, viewFormat_))))
                          : QString());
}

void PreviewDialog::addCut(bool exactly) {
  const std::optional<int64_t> at = Waveform->cursorFrame();
  if (!at || scanning_ || edits_.frames() == 0) return;
  int64_t frame = *at;
  if (!exactly && view_) {
    const std::vector<int64_t> starts = edits_.pieceStarts();
    const auto next = std::upper_bound(starts.begin(), starts.end(), frame);
    const int64_t after = *(next - 1), before = next == starts.end() ? edits_.frames() : *next;
    try {
      frame = view_->quietestNear(frame, FramesFromSeconds(kSnapReachSeconds, viewFormat_), after, before);
    } catch (const std::exception&) {
      frame = *at;
    }
  }
  if (edits_.add(frame)) showEdits();
}

void PreviewDialog::deleteCut() {
  const std::optional<int64_t> at = Waveform->cursorFrame();
  if (!at || scanning_ || edits_.cuts().empty()) return;
  std::size_t nearest = 0;
  for (std::size_t i = 1; i < edits_.cuts().size(); ++i)
    if (std::llabs(edits_.cuts()[i].frame - *at) < std::llabs(edits_.cuts()[nearest].frame - *at)) nearest = i;
  if (edits_.remove(nearest)) showEdits();
}

void PreviewDialog::undoOrRedo(bool redo) {
  if (scanning_) return;
  if (redo ? edits_.redo() : edits_.undo()) showEdits();
}

void PreviewDialog::complain(const QString& text, std::string_view caption) {
  boxes_.show(text, FromUtf8(caption), MessageBoxes::Buttons::Ok, Icon::Stop);
}

void PreviewDialog::openCuts() {
  QFileDialog dialog(this);
  SetUpWaveDialog(dialog, "OpenCutsDialog",
                  QStringLiteral("切り出し位置リスト (*.txt *.cue *.json);;すべてのﾌｧｲﾙ (*)"), QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QString());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  try {
    const CutListSource source{viewFormat_.sampleRate, edits_.frames(), viewFormat_.frameBytes()};
    edits_.load(ReadCutList(ToPath(dialog.selectedFiles().first()), source));
  } catch (const Error& e) {
    return complain(FromUtf8(e.general() ? e.shownText() : e.text()), msg::kCutsOpenCaption);
  }
  showEdits();
}

void PreviewDialog::saveCuts() {
  QFileDialog dialog(this);
  SetUpWaveDialog(dialog, "SaveCutsDialog", QStringLiteral("ラベル (*.txt);;キューシート (*.cue)"),
                  QFileDialog::AnyFile);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  // Asked below, in the window's own words, once the name is known to be no audio.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
    dialog.setDefaultSuffix(filter.contains(QLatin1String(".cue")) ? QStringLiteral("cue") : QStringLiteral("txt"));
  });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const std::string path = ToPath(dialog.selectedFiles().first());
  const bool cue = endsWith(path, ".cue");
  // The titles as the table shows them.
  std::vector<double> seconds;
  for (const Piece& p : shown_) seconds.push_back(BytesSeconds(p.dataBytes, viewFormat_));
  const PieceLabels labels = Album->labels(seconds, true);
  std::vector<Tags> tags;
  for (const std::string& title : labels.titles) tags.emplace_back().title = title;
  try {
    // A list never takes the place of audio, the source least of all.
    if (SameFile(path, page_.source)) refuse(format(msg::kExportIsRunFile, path));
    if (FileExists(path)) {
      File old = File::openRead(path);
      if (BeginsLikeAudio(old)) refuse(format(msg::kExportIsAudio, path));
    }
    if (cue && !CueCanName(page_.source)) refuse(msg::kCueCannotName);
    if (FileExists(path) && !Ask(boxes_, {msg::kOverwritePieces, msg::kOverwriteCaption, Icon::Exclamation})) return;
    WriteWhole(path, cue ? CueText(page_.source, shown_, tags, viewFormat_)
                         : LabelText(shown_, labels.titles, viewFormat_));
  } catch (const Error& e) {
    complain(FromUtf8(e.general() ? e.shownText() : e.text()), msg::kCutsSaveCaption);
  }
}

}  // namespace mv
