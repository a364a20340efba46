#include "simulation/fast/step_fast_worker.h"

#include <system_error>

namespace zintrel {
StepWorker::~StepWorker() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

bool StepWorker::Begin(TileBoard& board) {
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread(&StepWorker::Run, this);
      } catch (const std::system_error&) {
        return false;
      }
    }
    board_ = &board;
    // Published after the board was filled: the worker reads it only after
    // seeing this generation open.
    open_.store(++generation_);
  }
  wake_.notify_one();
  return true;
}

void StepWorker::End() {
  open_.store(0);
  // Both sides use sequentially consistent order: either the worker sees the
  // tick closed when it enters, or this loop sees it inside and waits.
  while (inside_.load()) std::this_thread::yield();
}

bool StepWorker::Enter(std::uint64_t generation) {
  inside_.store(true);
  if (open_.load() == generation) return true;
  inside_.store(false);
  return false;
}

void StepWorker::Run() {
  std::uint64_t seen = 0;
  for (;;) {
    TileBoard* board;
    std::uint64_t generation;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
      if (quit_) return;
      seen = generation = generation_;
      board = board_;
    }
    Work(*board, generation);
  }
}

void StepWorker::Work(TileBoard& board, std::uint64_t generation) {
  int lastB = -1, lastC = -1;  // The tile worked on last: its next slices come first.
  for (;;) {
    if (!Enter(generation)) return;
    const int finished = board.finishedBlocks.load(std::memory_order_acquire);
    const int current = board.currentBlock.load(std::memory_order_relaxed);
    int tileB = -1, tileC = -1, slice = -1;
    bool anyFree = false;
    const auto tryTile = [&](int b, int c) {
      for (int k = 0; k < board.Slices(b); ++k) {
        if (board.Slice(b, c, k).load(std::memory_order_relaxed) != TileState::kFree) continue;
        anyFree = true;
        if (!board.Ready(b, c, finished)) return false;
        TileState state;
        if (board.Claim(b, c, k, TileState::kWorking, state)) {
          tileB = b, tileC = c, slice = k;
          return true;
        }
      }
      return false;
    };
    // The most urgent work first: the moving thread's block, then the next
    // ones; within a block from the far end, where the moving thread (which
    // goes in ascending order) arrives last.
    if (lastB < current || !tryTile(lastB, lastC)) {
      for (int b = current; b < board.blocks && slice < 0; ++b) {
        for (int c = board.blocks - 1; c >= 0 && slice < 0; --c) {
          tryTile(b, c);
        }
      }
    }
    if (slice < 0) {
      Leave();
      if (!anyFree) return;
      // The next slices wait for the moving thread to finish a block.
      while (open_.load() == generation &&
             board.finishedBlocks.load(std::memory_order_relaxed) == finished) {
        std::this_thread::yield();
      }
      continue;
    }
    const int row = board.RowBegin(tileB) + slice * kSliceRows;
    board.ComputeSlice(tileB, tileC, slice, &board.pieceX[tileC][row], &board.pieceY[tileC][row]);
    board.Slice(tileB, tileC, slice).store(TileState::kDone, std::memory_order_release);
    lastB = tileB, lastC = tileC;
    Leave();
  }
}

}  // namespace zintrel
