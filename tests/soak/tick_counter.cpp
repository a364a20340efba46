// Counts the application's ticks from outside, for scripts/soak: preloaded
// into zintrel, it wraps QWidget::update(), which the tick calls once to
// have the display window show the new frame, and writes the running count
// to the file named by ZINTREL_TICK_COUNTER_FILE once a second. Nothing of
// this is linked into the program itself.

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

class QWidget;

namespace {

std::atomic<unsigned long long> updates{0};

// Started when the library is loaded; detached, it ends with the process.
const bool writerStarted = [] {
  const char* path = std::getenv("ZINTREL_TICK_COUNTER_FILE");
  if (path == nullptr) return false;
  std::thread([path] {
    for (;;) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      if (std::FILE* file = std::fopen(path, "w")) {
        std::fprintf(file, "%llu\n", updates.load());
        std::fclose(file);
      }
    }
  }).detach();
  return true;
}();

}  // namespace

// QWidget::update(), called through the program's PLT.
extern "C" void _ZN7QWidget6updateEv(QWidget* widget) {
  using Update = void (*)(QWidget*);
  static const auto next = reinterpret_cast<Update>(dlsym(RTLD_NEXT, "_ZN7QWidget6updateEv"));
  updates.fetch_add(1, std::memory_order_relaxed);
  next(widget);
}
