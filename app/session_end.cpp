#include "app/session_end.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zintrel {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int gPipe[2] = {-1, -1};
void (*gFinish)() = nullptr;

void OnSignal(int signal) {
  const int saved = errno;
  const char number = static_cast<char>(signal);
  // A full pipe already holds a signal the loop will read.
  [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &number, 1);
  errno = saved;
}

void FinishAtExit() {
  if (void (*finish)() = gFinish) {
    gFinish = nullptr;
    finish();
  }
}

}  // namespace

SessionEnd::SessionEnd() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gPipe) != 0) return;
  notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char number = 0;
    while (::read(gPipe[0], &number, 1) == 1) {
      if (signal_ == 0) signal_ = number;
    }
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
  // A recording into a pipe whose reader went away fails with its reason
  // (EPIPE), told in the box, rather than ending the program.
  ::signal(SIGPIPE, SIG_IGN);
}

SessionEnd::~SessionEnd() {
  // From here a signal ends the process at once, as it would any program.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
  delete notifier_;
  for (int& end : gPipe) {
    if (end >= 0) ::close(end);
    end = -1;
  }
}

void SessionEnd::Reraise() const {
  if (signal_ == 0) return;
  ::signal(signal_, SIG_DFL);
  ::raise(signal_);
}

void FinishFilesAtExit(void (*finish)()) {
  static const bool registered = std::atexit(FinishAtExit) == 0;
  if (registered) gFinish = finish;
}

}  // namespace zintrel
