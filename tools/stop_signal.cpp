#include "tools/stop_signal.h"

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
  for (const int signal : kStopSignals) installed = sigaction(signal, &action, nullptr) == 0 && installed;
  return installed;
}

int StopSignal() { return gStopSignal.load(); }

void SetStopSignal(int signal) { gStopSignal.store(signal); }

}  // namespace zintrel
