#include "app/startup.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QSettings>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "app/adjfrm.h"
#include "app/cbfrm.h"
#include "app/cutfrm.h"
#include "app/message_boxes.h"
#include "app/mvfrm.h"
#include "app/paths_qt.h"
#include "app/pictures.h"
#include "app/services.h"
#include "app/style.h"
#include "record/audio_inputs.h"
#include "record/capacity.h"
#include "record/qt_wave_device.h"
#include "wave/messages.h"

namespace mv {

Windows::Windows() = default;
Windows::Windows(Windows&&) noexcept = default;
Windows& Windows::operator=(Windows&&) noexcept = default;
Windows::~Windows() = default;

void SetUpApplication(QApplication& app) {
  app.setApplicationName(FromUtf8(msg::kAppTitle));
  app.setApplicationDisplayName(QString());
  app.setWindowIcon(ApplicationIcon());
  app.setStyle(new WindowStyle);
  // The window is Japanese, so Qt's own buttons and dialogs speak Japanese
  // too, whatever the desktop's language.
  auto* translation = new QTranslator(&app);
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (translation->load(QStringLiteral("qtbase_ja"), folder))
    QApplication::installTranslator(translation);
  else
    qWarning("qtbase_ja.qm is not in %s: standard buttons and dialogs stay in English",
             qUtf8Printable(folder));
  QFont font(QStringLiteral("Noto Sans CJK JP"));
  font.setPixelSize(12);
  app.setFont(font);
}

Windows CreateWindows(const Services& services) {
  Windows w;
  w.main = std::make_unique<TForm1>(services);
  w.measuring = std::make_unique<TForm2>();
  w.joining = std::make_unique<TForm3>();
  w.cutting = std::make_unique<TForm4>();
  w.main->setAuxiliaryWindows(w.measuring.get(), w.joining.get(), w.cutting.get());
  return w;
}

std::unique_ptr<QSettings> ChoicesStore() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("morvane"),
                                     QStringLiteral("morvane"));
}

namespace {

// The files named on the command line, as full names.
QStringList FilesToOpen(const QStringList& arguments) {
  QStringList files;
  for (const QString& a : arguments.mid(1)) files << QFileInfo(a).absoluteFilePath();
  return files;
}

}  // namespace

void RunProgram(QApplication& app, const std::function<void(Windows&)>& started) {
  SetUpApplication(app);
  int status;
  {
    QtMessageBoxes boxes;
    QtAudioInputs inputs;
    FileSystems space;
    QtWaveDevice device;
    const std::unique_ptr<QSettings> choices = ChoicesStore();
    Windows windows = CreateWindows({boxes, inputs, space, device, choices.get()});
    boxes.setParent(windows.main.get());
    windows.main->show();
    // Once the window is up, so that a message about a file shows over it.
    TForm1* main = windows.main.get();
    QTimer::singleShot(0, main, [main, files = FilesToOpen(app.arguments())] {
      main->Guarded([&] { main->openFiles(files); });
    });
    if (started) started(windows);
    status = app.exec();
  }
  // The windows and the device are gone: every file is closed. Qt 6.4
  // frees its PulseAudio connection among the program's static objects
  // without holding the client library's lock while the library's thread
  // still runs, which now and then aborts inside the library: the process
  // ends here instead, and the server sees the connection close.
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace mv
