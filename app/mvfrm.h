#pragma once
// TForm1, the main window: three pages (recording, cutting, joining), the
// menu, the dialogs it owns and the commands. Declared here once; defined
// across mvfrm*.cpp by page.

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "cut/cut.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QSettings;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTimer;
class QToolButton;
class QWidget;

namespace mv {

class AudioInputs;
class FreeSpaceProvider;
class LevelMeter;
class RecordingSession;
struct InputList;
class MessageBoxes;
class WaveDevice;
class TForm2;
struct Services;
class TBrowseDialog;
class TShellAboutDialog;
class TForm3;
class TForm4;
struct CutSettings;
class PreviewDialog;
struct PreviewChoice;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // Runs the window's creation steps (folders, lists, the input device).
  explicit TForm1(const Services& services);
  ~TForm1() override;

  // The auxiliary windows, created after the main window.
  void setAuxiliaryWindows(TForm2* measuring, TForm3* joining, TForm4* cutting);

  // --- menu -----------------------------------------------------------
  QMenu *File1, *KR1, *KC1, *KA1, *Help1;
  QAction *Exit1, *KF1, *KS1, *N1, *KV1, *CDPlayerC1, *KS2, *KS3, *K1, *K2, *About1;
  QAction* KP1;  // the cut's preview
  QMenu* KI1;  // 入力デバイス: the inputs, the one recorded from checked

  QFrame* Panel1;
  QTabWidget* PageControl1;
  QWidget *TabSheet1, *TabSheet2, *TabSheet3;

  // --- recording page --------------------------------------------------
  QWidget* RecordingContents;  // everything on the page, hidden without a device
  QFrame *Panel2, *Panel3, *Panel4, *Panel5;
  QLabel* Image1;
  QLabel *Label1, *Label2, *Label33, *Label34;
  QSlider* TrackBar951;
  QPushButton *BitBtn1, *BitBtn2, *BitBtn3, *BitBtn4, *BitBtn5;
  QLabel *Label3, *Label4, *Label5, *Label6, *Label8, *Label9, *Label10;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QSpinBox *SpinEdit1, *SpinEdit2, *SpinEdit3;
  QComboBox* ComboBox2;
  QPushButton* Button14;
  QCheckBox *CheckBox1, *CheckBox4;
  QGroupBox* GroupBox2;
  QLabel *Label29, *Label30, *Label31, *Label32, *Label35, *Label36, *Label37, *Label38,
      *Label39, *Label40, *Label41;
  QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton3;
  QTimer *Timer1, *Timer2;
  LevelMeter* Meter;       // in Panel3: the input's level while it is captured
  QTimer* MeterTimer;      // feeds the meter while capturing
  QLabel* InputStatus;     // while the inputs are asked for, or when there are none

  // --- cutting page ----------------------------------------------------
  QLabel* Label11;
  QLineEdit* Edit3;
  QPushButton* Button12;
  QGroupBox* GroupBox1;
  QRadioButton *RadioButton1, *RadioButton2;
  QLabel *Label22, *Label23, *Label24, *Label25;
  QSpinBox *SpinEdit7, *SpinEdit8;
  QLabel *Label16, *Label17, *Label18, *Label19;
  QSpinBox *SpinEdit4, *SpinEdit5, *SpinEdit6;
  QLabel* Label20;
  QComboBox* ComboBox3;
  QLabel* Label26;
  QLineEdit* Edit4;
  QPushButton* Button13;
  QCheckBox* CheckBox6;
  QLabel* Label27;
  QPushButton* Button11;
  QPushButton* Button15;  // the cut's preview

  // --- joining page ----------------------------------------------------
  QLabel *Label14, *Label15;
  QPushButton* Button3;
  QListWidget* ListBox1;
  QPushButton *Button4, *Button5, *Button6, *Button7, *Button8, *Button9;
  QLabel* Label12;
  QLineEdit* Edit2;
  QPushButton* Button2;
  QLabel* Label21;
  QComboBox* ComboBox4;
  QCheckBox* CheckBox5;
  QLabel* Label13;
  QPushButton* Button10;

  // --- dialogs ---------------------------------------------------------
  TBrowseDialog *BrowseDialog1, *BrowseDialog2;
  TShellAboutDialog* ShellAboutDialog1;

  WaveDevice& MediaPlayer1;

  // 0: go on; -1: the cancel button of the running job's progress window
  // was pressed. The job's host (WindowJobHost) sets, reads and resets it.
  int32_t CancelRequested = 0;
  // The format of the recording under way.
  int32_t RecChannels = 0, RecRate = 0, RecBits = 0;

  // --- commands --------------------------------------------------------
  // Each runs from its control's signal under Guarded (see handle); called
  // directly, an engine error comes out as an exception.
  void Exit1Click();
  void KF1Click();
  void KS2Click();
  void K1Click();
  void KV1Click();
  void CDPlayerC1Click();
  void About1Click();

  // Cut page.
  void KS3Click();
  void Button12Click();
  void Button13Click();
  void RadioButton1Click();
  void RadioButton2Click();
  void SpinEdit5Change();
  void KP1Click();

  // Join page.
  void Button3Click();
  void Button2Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void Button8Click();
  void Button9Click();
  void Button10Click();

  // Recording page.
  void BitBtn5Click();
  void BitBtn4Click();
  void KS1Click();
  void Timer2Timer();
  void BeginRecording();
  void EndRecording();
  bool FormCloseQuery();
  void Edit1Change();
  void ComboBox2Change();
  void CheckBox1Click();
  void UpdateLengthLimits();
  void Button14Click();
  void Timer1Timer();
  bool recording() const;
  // The recording file: folder text + "/morvntmp.wav".
  QString recordingFile() const;
  // The input recorded from (its id; the desktop's default as the last
  // start found it, unless one was picked), and whether there is one.
  const std::string& input() const { return input_; }
  bool haveInput() const;
  // Another input: its formats fill the list, the limits follow.
  void chooseInput(const std::string& id);

  void Button1Click();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();
  void CheckBox4Click();

  // Runs a command; an engine error ends it and is shown as the general
  // error report (or its own "Error" box). Every entry point of the window
  // runs under it once: its connection (handle) or its event handler.
  void Guarded(const std::function<void()>& command);
  // Files named on the command line: one is the cut's source, several go
  // to the join list, each through the intake a drop on that page uses.
  void openFiles(const QStringList& names);
  MessageBoxes& boxes() { return boxes_; }

 signals:
  // A correction measurement has been saved and is about to be analysed.
  void measurementSaved(const QString& path);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildMenu();
  void buildRecordingPage();
  void buildCuttingPage();
  void buildJoiningPage();
  void FormCreate();
  // The choices kept between runs (mvfrm_choices.cpp).
  void restoreChoices(const QSettings& store);
  void saveChoices(QSettings& store) const;
  // Connects a signal to a command that runs under Guarded.
  template <typename Sender, typename Signal, typename... Args>
  void handle(Sender* sender, Signal signal, void (TForm1::*command)(Args...)) {
    connect(sender, signal, this, [this, command](Args... args) {
      Guarded([&] { (this->*command)(args...); });
    });
  }
  // Sets every enabled state and state-bound caption from the states they
  // follow: recording or not, the length limits, the correction switch, the
  // cut mode and the piece length. Runs after each change of one of them.
  void stabilize();
  void tabChosen(int index);
  // Says that no program of a menu item's list could be started.
  void tellMissing(const std::string& text);
  // Leaves the edit box alone when the picker returns no folder.
  void chooseFolder(TBrowseDialog& picker, QLineEdit& edit);
  CutSettings cutSettings() const;
  void RunCut();
  // The preview's choice: its values into the page, then the page's cut.
  void cutFromPreview(const PreviewChoice& choice);
  // The threshold and run length in dBFS and seconds, as tooltips.
  void showCutUnits();
  // The cut page's source intake (file dialog and dropped files).
  void TakeCutSource(const QString& name);
  // The join list's intake (file dialog and dropped files).
  void AddJoinFiles(const QStringList& batch);
  void takeDroppedFiles(const QStringList& names);
  int joinSelection() const;
  void selectJoinEntry(int row);
  void swapJoinEntries(int a, int b);
  // Back to idle: the recording controls unlocked, the clock stopped.
  void leaveRecording();
  // Prepares the file and starts the session on it, the meter with it.
  void startCapture(const std::string& path, const std::string& label, std::optional<int> length = std::nullopt);
  void endMeasurement(const std::string& path);
  // The sound server is asked for its inputs; the page waits for them.
  void askForInputs();
  void inputsFound(const InputList& found);
  void fillInputMenu();
  void MeterTimerTimer();
  // The capture ended by itself: the recording or measurement ends with it.
  void captureFailed();

  MessageBoxes& boxes_;
  AudioInputs& inputs_;
  FreeSpaceProvider& space_;
  QSettings* choices_;  // where the choices are kept; none in most tests
  // The recording format kept from the last run, chosen when the input's
  // formats fill the list.
  QString keptRecordingFormat_;
  TForm2* form2_ = nullptr;
  TForm3* form3_ = nullptr;
  TForm4* form4_ = nullptr;
  PreviewDialog* preview_ = nullptr;
  // The preview's edited cuts, for the next run only.
  std::optional<std::vector<GivenPoint>> nextPoints_;
  // The preview's click tolerance (frames) and shortest song (seconds) for
  // the next cut only; the page has no fields for them.
  int32_t nextIgnoreClicks_ = 0, nextMinSongSeconds_ = 0;
  QString suggestion_;  // the preview's last, for the cut fields' tooltips
  // The preview's album: the names, tags and format of the next run's pieces.
  PieceFiles nextFiles_;
  QString lastSaveName_;
  bool updatingLimits_ = false;
  bool recording_ = false;
  std::unique_ptr<RecordingSession> session_;
  std::unique_ptr<InputList> offered_;
  std::string input_;
  bool inputPicked_ = false;  // in the menu; else the default at each start
  QActionGroup* inputChoice_ = nullptr;
  bool measurementFailed_ = false;
  // The length limits leave no hours (minutes) to set. Leaving a recording
  // unlocks the fields without recomputing the limits.
  bool hoursLocked_ = false, minutesLocked_ = false;
};

// Seconds as the recording page shows them: "hh:nn:ss", hours modulo 24.
QString ElapsedText(int64_t seconds);

}  // namespace mv
