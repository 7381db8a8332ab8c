// The main window's frame: window, menu, creation steps, page switching, the
// desktop programs, the About box, closing, and the error report.

#include "app/mvfrm.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "app/BrowsDlg.h"
#include "app/default_button.h"
#include "app/message_boxes.h"
#include "app/paths_qt.h"
#include "app/pictures.h"
#include "app/programs.h"
#include "app/services.h"
#include "app/shlabout.h"
#include "wave/version.h"
#include "record/audio_inputs.h"
#include "record/capabilities.h"
#include "record/session.h"
#include "record/wave_device.h"
#include "wave/errors.h"
#include "wave/format.h"
#include "wave/header.h"
#include "wave/paths.h"

namespace mv {

TForm1::TForm1(const Services& services)
    : MediaPlayer1(services.device),
      boxes_(services.boxes),
      inputs_(services.inputs),
      space_(services.space),
      choices_(services.choices) {
  setObjectName("TForm1");
  setWindowTitle(QStringLiteral("Ambry Recorder - Morvane"));
  setWindowIcon(ApplicationIcon());
  setAcceptDrops(true);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  Panel1 = new QFrame;
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setFixedSize(500, 349);
  setCentralWidget(Panel1);
  PageControl1 = new QTabWidget(Panel1);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setGeometry(1, 1, 498, 347);
  for (auto [page, name, caption] : {std::tuple{&TabSheet1, "TabSheet1", "Wave録音"},
                                     std::tuple{&TabSheet2, "TabSheet2", "Wave切り出し"},
                                     std::tuple{&TabSheet3, "TabSheet3", "Wave結合"}}) {
    *page = new QWidget;
    (*page)->setObjectName(QString::fromLatin1(name));
    PageControl1->addTab(*page, QString::fromUtf8(caption));
  }

  BrowseDialog1 = new TBrowseDialog(this);
  BrowseDialog1->setObjectName("BrowseDialog1");
  BrowseDialog2 = new TBrowseDialog(this);
  BrowseDialog2->setObjectName("BrowseDialog2");
  ShellAboutDialog1 = new TShellAboutDialog(this);
  ShellAboutDialog1->setObjectName("ShellAboutDialog1");
  ShellAboutDialog1->AppName = FromUtf8(msg::kVersion);
  ShellAboutDialog1->Creator = QStringLiteral("the Morvane developers");
  ShellAboutDialog1->DateStr = QStringLiteral(MORVANE_RELEASE_DAY);
  // No contact address is published yet: the line stays empty until there is one.
  ShellAboutDialog1->Comment = QString();

  buildMenu();
  buildRecordingPage();
  buildCuttingPage();
  buildJoiningPage();
  PageControl1->setCurrentIndex(0);
  handle(PageControl1->tabBar(), &QTabBar::tabBarClicked, &TForm1::tabChosen);
  PressDefaultButtonOnEnter(PageControl1);

  // Files dropped anywhere on the window are the window's, not an edit box's.
  for (QWidget* child : findChildren<QWidget*>()) child->setAcceptDrops(false);

  FormCreate();
  stabilize();
  setFixedSize(500, 349 + menuBar()->sizeHint().height());
}

TForm1::~TForm1() = default;

void TForm1::setAuxiliaryWindows(TForm2* measuring, TForm3* joining, TForm4* cutting) {
  form2_ = measuring;
  form3_ = joining;
  form4_ = cutting;
}

void TForm1::buildMenu() {
  auto item = [this](QMenu* menu, QAction*& action, const char* name, const char* caption,
                     void (TForm1::*handler)()) {
    action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(name));
    if (handler) handle(action, &QAction::triggered, handler);
  };
  auto menu = [this](QMenu*& m, const char* name, const char* caption) {
    m = menuBar()->addMenu(QString::fromUtf8(caption));
    m->setObjectName(QString::fromLatin1(name));
  };
  menu(File1, "File1", "ﾌｧｲﾙ(&F)");
  item(File1, Exit1, "Exit1", "終了(&Q)", &TForm1::Exit1Click);
  menu(KR1, "KR1", "録音ﾂｰﾙ(&R)");
  item(KR1, KF1, "KF1", "録音設定(&S)", &TForm1::KF1Click);
  item(KR1, KS1, "KS1", "録音開始(&S)", &TForm1::KS1Click);
  KI1 = KR1->addMenu(QStringLiteral("入力デバイス"));
  KI1->setObjectName("KI1");
  N1 = KR1->addSeparator();
  N1->setObjectName("N1");
  item(KR1, KV1, "KV1", "音量の調節(&V)", &TForm1::KV1Click);
  item(KR1, CDPlayerC1, "CDPlayerC1", "CD Player(&C)", &TForm1::CDPlayerC1Click);
  menu(KC1, "KC1", "切り出しﾂｰﾙ(&C)");
  item(KC1, KS2, "KS2", "切り出し設定(&S)", &TForm1::KS2Click);
  item(KC1, KS3, "KS3", "切り出し開始(&S)", &TForm1::KS3Click);
  item(KC1, KP1, "KP1", "切り出しのプレビュー(&P)", &TForm1::KP1Click);
  menu(KA1, "KA1", "結合ﾂｰﾙ(&A)");
  item(KA1, K1, "K1", "結合設定(&S)", &TForm1::K1Click);
  item(KA1, K2, "K2", "結合開始(&B)", &TForm1::Button10Click);
  menu(Help1, "Help1", "ﾍﾙﾌﾟ(&H)");
  item(Help1, About1, "About1", "ﾊﾞｰｼﾞｮﾝ情報(&V)", &TForm1::About1Click);
}

void TForm1::FormCreate() {
  const QString temp = FromPath(TempFolderPath());
  Edit4->setText(temp);
  Edit1->setText(temp);
  Edit3->setText(temp + QStringLiteral("/") + QLatin1String(kRecordingFileName));
  ComboBox3->setCurrentIndex(kDefaultFormatPosition);
  ComboBox4->setCurrentIndex(kDefaultFormatPosition);
  if (choices_) restoreChoices(*choices_);
  // The input's formats and the limits follow when the server answers.
  askForInputs();
}

void TForm1::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const Error& e) {
    boxes_.show(QString::fromStdString(e.shownText()), FromUtf8(e.caption()), MessageBoxes::Buttons::Ok,
                Icon::Stop);
  } catch (const std::exception& e) {
    boxes_.show(QString::fromStdString(withReportDot(e.what())), FromUtf8(msg::kAppTitle),
                MessageBoxes::Buttons::Ok, Icon::Stop);
  }
}

void TForm1::stabilize() {
  const bool idle = !recording_;
  // Recording locks these in this order; the focus moves along it.
  BitBtn5->setEnabled(idle && haveInput());
  Button1->setEnabled(idle);
  SpinEdit1->setEnabled(idle && !hoursLocked_);
  SpinEdit2->setEnabled(idle && !minutesLocked_);
  for (QWidget* w : std::initializer_list<QWidget*>{SpinEdit3, ComboBox2, CheckBox1, CheckBox4, TabSheet2, TabSheet3})
    w->setEnabled(idle);
  const bool correcting = CheckBox4->isChecked();
  Button14->setEnabled(idle && correcting && haveInput());
  KC1->menuAction()->setEnabled(idle);
  KA1->menuAction()->setEnabled(idle);
  KS1->setEnabled(recording_ || haveInput());
  KI1->menuAction()->setEnabled(idle && !KI1->isEmpty());
  KS1->setText(idle ? QStringLiteral("録音開始(&S)") : QStringLiteral("録音終了"));
  BitBtn4->setEnabled(recording_);
  GroupBox2->setEnabled(correcting);

  const bool silence = RadioButton1->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{Label22, Label23, Label24, Label25, SpinEdit7, SpinEdit8})
    w->setEnabled(silence);
  for (QWidget* w : std::initializer_list<QWidget*>{Label16, Label17, Label18, Label19, SpinEdit4,
                                                    SpinEdit5, SpinEdit6})
    w->setEnabled(!silence);
  // The piece length never reaches 0 seconds.
  SpinEdit6->setMinimum(SpinEdit4->value() == 0 && SpinEdit5->value() == 0 ? 1 : 0);
}

void TForm1::chooseFolder(TBrowseDialog& picker, QLineEdit& edit) {
  picker.Directory = edit.text();
  if (!picker.Execute()) return;
  QString folder = picker.Directory;
  if (folder.isEmpty()) return;
  if (folder.endsWith('/')) folder.chop(1);
  edit.setText(folder);
}

// --- menu commands ------------------------------------------------------

void TForm1::Exit1Click() { close(); }
void TForm1::KF1Click() {
  PageControl1->setCurrentWidget(TabSheet1);
  RecordingContents->show();
}
void TForm1::KS2Click() { PageControl1->setCurrentWidget(TabSheet2); }
void TForm1::K1Click() { PageControl1->setCurrentWidget(TabSheet3); }
void TForm1::KV1Click() {
  if (!StartFirstInstalled(kVolumeControls))
    tellMissing(format(msg::kNoVolumeControl, ProgramNames(kVolumeControls).toStdString()));
}
void TForm1::CDPlayerC1Click() {
  if (!StartFirstInstalled(kCdPlayers)) tellMissing(format(msg::kNoCdPlayer, ProgramNames(kCdPlayers).toStdString()));
}

void TForm1::tellMissing(const std::string& text) {
  boxes_.show(FromUtf8(text), FromUtf8(msg::kAppTitle), MessageBoxes::Buttons::Ok, Icon::Information);
}
void TForm1::About1Click() { ShellAboutDialog1->Execute(); }

// Choosing the recording page shows its contents, also after they were
// hidden for want of a device.
void TForm1::tabChosen(int index) {
  if (index == 0) RecordingContents->show();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Kept before the question: ending a recording changes its options.
  if (choices_) saveChoices(*choices_);
  // An error can come only from ending the recording after Yes: the window
  // closes all the same.
  bool close = true;
  Guarded([&] { close = FormCloseQuery(); });
  if (close)
    event->accept();
  else
    event->ignore();
}

// --- dropped files ----------------------------------------------------------

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  QStringList names;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) names << url.toLocalFile();
  Guarded([&] { takeDroppedFiles(names); });
}

namespace {
bool Takeable(const QString& name) {
  const std::string ext = UpperExtension(ToPath(name));
  return ext == ".RAW" || ext == ".WAV";
}
}  // namespace

void TForm1::openFiles(const QStringList& names) {
  if (names.isEmpty()) return;
  PageControl1->setCurrentWidget(names.size() == 1 ? TabSheet2 : TabSheet3);
  // A drop passes over other files in silence; a file the desktop opened
  // with the window (a WAVE file of another name, say) is told of.
  for (const QString& name : names)
    if (!Takeable(name))
      boxes_.show(FromUtf8(format(msg::kNotTakeableName, ToPath(name))), FromUtf8(msg::kErrorCaption),
                  MessageBoxes::Buttons::Ok, Icon::Stop);
  takeDroppedFiles(names);
}

void TForm1::takeDroppedFiles(const QStringList& names) {
  const auto wanted = Takeable;
  if (names.isEmpty()) return;
  QWidget* page = PageControl1->currentWidget();
  if (page == TabSheet2) {
    // Only the first name counts here.
    if (wanted(names.first())) TakeCutSource(names.first());
  } else if (page == TabSheet3) {
    QStringList kept;
    for (const QString& n : names)
      if (wanted(n)) kept << n;
    if (!kept.isEmpty()) AddJoinFiles(kept);
  }
}

}  // namespace mv
