#include "cli/console_host.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

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

void PrintMessage(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

bool ConsoleHost::ask(const Message& question) {
  PrintMessage(question.text);
  return yes_;
}

void ConsoleHost::inform(const Message& message) { PrintMessage(message.text); }

void ConsoleHost::begin() {
  tty_ = ::isatty(STDERR_FILENO) == 1;
  running_ = true;
  percent_ = 0;
  drawnPercent_ = -1;
  draw();
}

void ConsoleHost::end() {
  if (tty_ && running_) std::fputs("\r\033[K", stderr);
  running_ = false;
  status_.clear();
}

void ConsoleHost::status(std::string_view text) {
  status_ = text;
  draw();
}

void ConsoleHost::progress(int percent) {
  percent_ = percent;
  draw();
}

void ConsoleHost::draw() {
  if (!tty_ || !running_) return;
  if (percent_ == drawnPercent_ && status_ == drawnStatus_) return;
  drawnPercent_ = percent_;
  drawnStatus_ = status_;
  constexpr int kWidth = 30;
  const int filled = percent_ * kWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  std::fprintf(stderr, "\r\033[K[%s] %3d%% %s", bar.c_str(), percent_, status_.c_str());
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
    drawnPercent_ = -1;
  }
  std::printf("%s  %lld bytes\n", name.c_str(), static_cast<long long>(size));
  std::fflush(stdout);
  draw();
}

}  // namespace mv::cli
