#include "cli/console_host.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "wave/errors.h"

namespace mv::cli {

namespace {
volatile std::sig_atomic_t gCancel = 0;  // the first cancelling signal, or 0
extern "C" void onCancel(int signal) {
  if (gCancel == 0) gCancel = signal;
}
constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};
}  // namespace

void InstallCancelHandler() {
  struct sigaction sa{};
  sa.sa_handler = onCancel;
  sigemptyset(&sa.sa_mask);
  for (int s : kCancelSignals) sigaddset(&sa.sa_mask, s);
  for (int s : kCancelSignals) sigaction(s, &sa, nullptr);
  // Held back by a program that ran this one (see HoldCancelSignals): now
  // they are taken, those that came in between too.
  sigset_t held;
  sigemptyset(&held);
  for (int s : kCancelSignals) sigaddset(&held, s);
  sigprocmask(SIG_UNBLOCK, &held, nullptr);
  struct sigaction ignore{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  sigaction(SIGXFSZ, &ignore, nullptr);
}

void HoldCancelSignals(bool hold) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kCancelSignals) sigaddset(&set, s);
  sigprocmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

bool CancelWasPressed() { return gCancel != 0; }

int CancelledStatus() { return 128 + (gCancel != 0 ? gCancel : SIGINT); }

void KeepStandardStreamsOpen() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is this one; without /dev/null there is no
    // better place to send it.
    if (::open("/dev/null", O_RDWR) < 0) return;
  }
}

int TerminalColumns(int fd) {
  winsize w{};
  if (::ioctl(fd, TIOCGWINSZ, &w) == 0 && w.ws_col > 0) return w.ws_col;
  const char* columns = std::getenv("COLUMNS");
  const int n = columns ? std::atoi(columns) : 0;
  return n > 0 ? n : 80;
}

namespace {

// The next character of text from i on, and its length in bytes; a byte
// that starts no UTF-8 character counts as one character.
char32_t nextCharacter(std::string_view text, std::size_t i, std::size_t& length) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length == 1 || i + length > text.size()) {
    length = 1;
    return lead;
  }
  char32_t c = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      length = 1;
      return lead;
    }
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  return c;
}

int cells(char32_t c) {
  if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || c == 0x3099 || c == 0x309A) return 0;
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
                    (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                    (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                    (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
                    (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F900 && c <= 0x1F9FF) ||
                    (c >= 0x20000 && c <= 0x3FFFD);
  return wide ? 2 : 1;
}

}  // namespace

int DisplayCells(std::string_view text) {
  int n = 0;
  for (std::size_t i = 0, length = 0; i < text.size(); i += length) n += cells(nextCharacter(text, i, length));
  return n;
}

std::string FitCells(std::string_view text, int most) {
  int n = 0;
  std::size_t i = 0;
  for (std::size_t length = 0; i < text.size(); i += length) {
    n += cells(nextCharacter(text, i, length));
    if (n > most) break;
  }
  return std::string(text.substr(0, i));
}

void PrintMessage(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

bool ConsoleHost::ask(const Message& question) {
  PrintMessage(question.text);
  if (!yes_) PrintMessage(format(msg::kDeclinedWithoutOption, "--yes"));
  return yes_;
}

void ConsoleHost::inform(const Message& message) { PrintMessage(message.text); }

void ConsoleHost::begin() {
  tty_ = ::isatty(STDERR_FILENO) == 1;
  running_ = true;
  percent_ = 0;
  drawn_.clear();
  draw();
}

void ConsoleHost::end() {
  if (tty_ && running_) std::fputs("\r\033[K", stderr);
  running_ = false;
  status_.clear();
}

void ConsoleHost::status(std::string_view text) {
  // File names may hold any byte: a line break or an escape sequence of one
  // would leave lines behind or change the terminal.
  status_.clear();
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    status_ += u < 0x20 || u == 0x7F ? '?' : c;
  }
  draw();
}

void ConsoleHost::progress(int percent) {
  percent_ = percent;
  draw();
}

// "[####......]  42% status", within the terminal's width: a line that
// wrapped would leave its first part behind at every update. The last
// column stays free, as some terminals wrap on reaching it. The bar gives
// way to the status down to 10 cells; then the status is cut short.
void ConsoleHost::draw() {
  if (!tty_ || !running_) return;
  const int columns = TerminalColumns(STDERR_FILENO) - 1;
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", percent_);
  constexpr int kFixed = 7;  // "[", "] " and the percentage
  const int width = std::min(30, columns - kFixed - 1 - DisplayCells(status_));
  std::string line;
  if (columns - kFixed >= 10) {
    const int bar = std::max(10, width);
    const int filled = percent_ * bar / 100;
    line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(bar - filled), '.') + "] ";
  }
  line += percent;
  const int room = columns - static_cast<int>(line.size()) - 1;
  if (!status_.empty() && room > 0) line += " " + FitCells(status_, room);
  line = FitCells(line, columns);
  if (line == drawn_) return;
  drawn_ = line;
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
}

void ConsoleHost::fileWritten(const std::string& path, int64_t size) {
  if (!listFiles_) return;
  std::string name = path;
  if (baseNames_) {
    if (auto slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
  }
  if (tty_ && running_) {
    std::fputs("\r\033[K", stderr);
    drawn_.clear();
  }
  std::printf("%s  %lld bytes\n", name.c_str(), static_cast<long long>(size));
  std::fflush(stdout);
  draw();
}

}  // namespace mv::cli
