#pragma once

#include <windows.h>

#include <atomic>

namespace zintrel {

// Timer1 as the slider promises it. The plain window timer rounds every
// interval up to the system tick of about 15.6 ms, so 1 ms would give some
// 64 ticks a second; a high-resolution waitable timer keeps the period, and
// a thread of its own posts one message per expiry to the window. While a
// message is pending further expiries merge into it, so a slow tick delays
// the next instead of letting them queue up.
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

  // Tells the timer that the window took the pending message, so that the
  // next expiry posts another. Called first thing when handling it.
  void Taken() { pending_.store(false); }

 private:
  bool Create();
  static DWORD WINAPI Run(void* self);

  HWND window_;
  UINT message_;
  HANDLE timer_ = nullptr;
  HANDLE stop_ = nullptr;
  HANDLE thread_ = nullptr;
  bool raisedResolution_ = false;
  std::atomic<bool> pending_{false};
  int interval_ = 0;
};

}  // namespace zintrel
