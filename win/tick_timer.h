#pragma once

#include <windows.h>

#include <atomic>

namespace zintrel {

// Timer1 as the slider promises it. The plain window timer rounds every
// interval up to the system tick of about 15.6 ms, so 1 ms would give some
// 64 ticks a second; a high-resolution waitable timer keeps the period, and
// a thread of its own posts one message per expiry to the window. While a
// message is pending, or its tick is still running, further expiries merge
// into it, so a slow tick delays the next instead of letting them queue up.
//
// A posted message is handed out before any input, and unlike the plain
// window timer's it is made whether or not anything else waits; so the
// window runs a tick only when nothing but timers waits (ShouldDefer),
// and otherwise leaves it to a plain window timer, whose message comes only
// once the queue is empty. Taken is called after the tick, not before it, so
// that no tick message can be waiting the moment a slow tick ends.
class TickTimer {
 public:
  TickTimer(HWND window, UINT message);
  ~TickTimer();
  TickTimer(const TickTimer&) = delete;
  TickTimer& operator=(const TickTimer&) = delete;

  // Starts the period anew with interval milliseconds (1 or more). Returns
  // false when the platform gives no timer.
  bool Start(int interval);

  // The interval of the last successful Start, 0 before it.
  int Interval() const { return interval_; }

  // Returns true when input, painting or a posted message waits in the
  // calling thread's queue, which then goes first: the window runs the tick once the plain window
  // timer idTimer of window fires (WM_TIMER is made only when the queue is
  // otherwise empty). The pending message stays unanswered meanwhile, so no
  // further ticks are posted.
  bool ShouldDefer(UINT_PTR idTimer);

  // Tells the timer that the window has run the pending tick, so that the
  // next expiry posts another; when one expired during the tick, its
  // message is posted now, as it would have been without the wait. Called
  // when the tick is over, before any box its fault opens (the ticks go on
  // behind the box).
  void Taken();

 private:
  bool Create();
  static DWORD WINAPI Run(void* self);

  HWND window_;
  UINT message_;
  HANDLE timer_ = nullptr;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
  bool raisedResolution_ = false;
  // kIdle, or a message pending (kPending), or pending with an expiry
  // merged into it while it was (kMissed).
  enum State { kIdle, kPending, kMissed };
  bool Post();
  std::atomic<int> state_{kIdle};
  int interval_ = 0;
};

}  // namespace zintrel
