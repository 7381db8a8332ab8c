#pragma once
// Start-up: the application's title, style, font, icon and Qt's Japanese
// translation, then the main window and the three auxiliary windows, in that
// order; and the program's whole run on Qt's own services, to its end: the
// choices of the last run restored, the files named on the command line
// opened.

#include <functional>
#include <memory>

class QSettings;

class QApplication;

namespace mv {

struct Services;
class TForm1;
class TForm2;
class TForm3;
class TForm4;

void SetUpApplication(QApplication& app);

struct Windows {
  std::unique_ptr<TForm1> main;
  std::unique_ptr<TForm2> measuring;
  std::unique_ptr<TForm3> joining;
  std::unique_ptr<TForm4> cutting;
  Windows();
  Windows(Windows&&) noexcept;
  Windows& operator=(Windows&&) noexcept;
  ~Windows();
};

Windows CreateWindows(const Services& services);

// Where the window keeps the user's choices between runs:
// $XDG_CONFIG_HOME/morvane/morvane.conf (~/.config/morvane/morvane.conf).
std::unique_ptr<QSettings> ChoicesStore();

// The program from its start until the main window closes; then the process
// ends with the event loop's status. `started` (for tests) gets the windows
// once they are shown.
[[noreturn]] void RunProgram(QApplication& app, const std::function<void(Windows&)>& started = {});

}  // namespace mv
