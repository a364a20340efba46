#include "tools/stop_signal.h"

#include <pthread.h>

#include <atomic>
#include <csignal>

namespace zintrel {
namespace {

// A handler may only touch lock-free atomics (or volatile sig_atomic_t):
// anything else is not async-signal-safe.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> gStopSignal{0};

extern "C" void RecordStopSignal(int signal) {
  // Keeps the first signal: its number is the exit status the user sees.
  int none = 0;
  gStopSignal.compare_exchange_strong(none, signal);
}

}  // namespace

bool InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = RecordStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND restores the default action once the handler has run, so
  // the next signal of the same kind kills at once. SA_RESTART keeps an
  // interrupted read or write going instead of failing with EINTR, which
  // would otherwise surface as a misleading "cannot write" error.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  bool installed = true;
  for (const int signal : kStopSignals) {
    struct sigaction inherited {};
    if (sigaction(signal, nullptr, &inherited) != 0) {
      installed = false;
      continue;
    }
    if (inherited.sa_handler == SIG_IGN) continue;
    installed = sigaction(signal, &action, nullptr) == 0 && installed;
  }
  return installed;
}

int StopSignal() { return gStopSignal.load(); }

void SetStopSignal(int signal) { gStopSignal.store(signal); }

void EndBySignal(int signal) {
  std::signal(signal, SIG_DFL);
  // The signal may be blocked in this thread; the default action applies
  // only once it is delivered. raise sends it to the calling thread.
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  std::raise(signal);
}

}  // namespace zintrel
