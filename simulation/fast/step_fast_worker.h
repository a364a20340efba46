#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "simulation/fast/step_fast.h"

namespace zintrel {

// A second thread that computes tiles of the tick ahead of the moving
// thread. It is started by the first tick that wants it, sleeps on a
// condition variable between ticks, and is joined when destroyed. Nothing it
// does is needed for a correct result: the moving thread computes every tile
// the worker has not finished, so a tick completes even when the worker never
// gets a core.
class StepWorker {
 public:
  StepWorker() = default;
  StepWorker(const StepWorker&) = delete;
  StepWorker& operator=(const StepWorker&) = delete;
  ~StepWorker();

  // Hands the worker the tick prepared in board. Returns false, leaving the
  // tick to the caller alone, if the thread cannot be started.
  bool Begin(TileBoard& board);

  // Closes the tick; returns once the worker no longer touches the board.
  void End();

 private:
  void Run();
  void Work(TileBoard& board, std::uint64_t generation);
  // Returns whether the tick the worker was given is still open; while it
  // returns true the board may be read until Leave().
  bool Enter(std::uint64_t generation);
  void Leave() { inside_.store(false); }

  std::mutex mutex_;
  std::condition_variable wake_;
  TileBoard* board_ = nullptr;     // Guarded by mutex_.
  std::uint64_t generation_ = 0;   // Guarded by mutex_; counts ticks handed over.
  bool quit_ = false;              // Guarded by mutex_.
  std::atomic<std::uint64_t> open_{0};  // The generation of the tick in progress, 0 between ticks.
  std::atomic<bool> inside_{false};     // The worker is reading or writing the board.
  std::thread thread_;
};

}  // namespace zintrel
