#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "simulation/fast/step_fast.h"

namespace zintrel {

// Helper threads that compute pieces of the tick ahead of the moving thread.
// They are started by the first tick that wants them, sleep on a condition
// variable between ticks and on the board's block counter when nothing they
// could take is ready, and are joined when the pool is destroyed. Nothing
// they do is needed for a correct result: the moving thread computes every
// piece a helper has not finished, so a tick completes even when a helper
// never gets a core.
class StepPool {
 public:
  StepPool() = default;
  StepPool(const StepPool&) = delete;
  StepPool& operator=(const StepPool&) = delete;
  ~StepPool();

  // Hands up to `helpers` threads the tick prepared in board. Returns how
  // many take part: fewer when threads cannot be started, 0 leaving the
  // tick to the caller alone.
  int Begin(TileBoard& board, int helpers);

  // Closes the tick; returns once no helper touches the board.
  void End(TileBoard& board);

 private:
  void Run(int index);
  void Work(TileBoard& board, std::uint64_t generation);
  // Returns whether the tick `generation` is still open; while it returns
  // true the board may be read and written until Leave().
  bool Enter(std::uint64_t generation);
  void Leave() { inside_.fetch_sub(1); }

  std::mutex mutex_;
  std::condition_variable wake_;
  TileBoard* board_ = nullptr;    // Guarded by mutex_.
  std::uint64_t generation_ = 0;  // Guarded by mutex_; counts ticks handed over.
  int helpers_ = 0;               // Guarded by mutex_; helpers 0 .. helpers_ - 1 take the tick.
  bool quit_ = false;             // Guarded by mutex_.
  std::atomic<std::uint64_t> open_{0};  // The generation of the tick in progress, 0 between ticks.
  std::atomic<int> inside_{0};          // Helpers reading or writing the board.
  std::vector<std::thread> threads_;    // Only the tick's thread adds to it, under mutex_.
};

}  // namespace zintrel
