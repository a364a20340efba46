#include "win/tick_timer.h"

#include <mmsystem.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace zintrel {

TickTimer::TickTimer(HWND window, UINT message) : window_(window), message_(message) {}

TickTimer::~TickTimer() {
  if (thread_ != nullptr) {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (timer_ != nullptr) CloseHandle(timer_);
  if (stop_ != nullptr) CloseHandle(stop_);
  if (raisedResolution_) timeEndPeriod(1);
}

bool TickTimer::Create() {
  // High resolution since Windows 10 1803; before it, a plain waitable timer
  // is as fine as the system tick, which timeBeginPeriod brings to 1 ms.
  timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  if (timer_ == nullptr) {
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    raisedResolution_ = timer_ != nullptr && timeBeginPeriod(1) == TIMERR_NOERROR;
  }
  if (timer_ == nullptr) return false;
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (stop_ == nullptr) return false;
  thread_ = CreateThread(nullptr, 0, &TickTimer::Run, this, 0, nullptr);
  return thread_ != nullptr;
}

bool TickTimer::Start(int interval) {
  if (thread_ == nullptr && !Create()) return false;
  LARGE_INTEGER due;
  due.QuadPart = -10000LL * interval;  // Relative, in units of 100 ns.
  if (!SetWaitableTimer(timer_, &due, interval, nullptr, nullptr, FALSE)) return false;
  interval_ = interval;
  return true;
}

bool TickTimer::ShouldDefer(UINT_PTR idTimer) {
  // The high word tells what is in the queue now, whether or not it was
  // seen before. Anything but a timer goes first: input, painting, and
  // posted messages such as the close command a window manager's close
  // button turns into (asked for here too, since Wine reads the display's
  // events for the kinds asked about).
  if ((HIWORD(GetQueueStatus(QS_ALLINPUT)) & ~QS_TIMER) == 0) return false;
  // USER_TIMER_MINIMUM: the earliest the plain timer fires once the queue
  // is empty, which at worst is the system tick.
  return SetTimer(window_, idTimer, USER_TIMER_MINIMUM, nullptr) != 0;
}

bool TickTimer::Post() {
  // A message that cannot be posted must not leave the timer waiting for
  // one that never comes.
  if (PostMessageW(window_, message_, 0, 0)) return true;
  state_.store(kIdle);
  return false;
}

void TickTimer::Taken() {
  int state = state_.load();
  while (true) {
    if (state == kMissed) {
      if (state_.compare_exchange_weak(state, kPending)) {
        Post();
        return;
      }
    } else if (state_.compare_exchange_weak(state, kIdle)) {
      return;
    }
  }
}

DWORD WINAPI TickTimer::Run(void* self) {
  auto* timer = static_cast<TickTimer*>(self);
  const HANDLE handles[] = {timer->stop_, timer->timer_};
  while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    int state = timer->state_.load();
    while (state != kMissed) {
      if (state == kIdle && timer->state_.compare_exchange_weak(state, kPending)) {
        timer->Post();
        break;
      }
      // Merged into the pending message, and remembered, so that a tick
      // that ran past the expiry is followed by the next at once.
      if (state == kPending && timer->state_.compare_exchange_weak(state, kMissed)) break;
    }
  }
  return 0;
}

}  // namespace zintrel
