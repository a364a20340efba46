#include "simulation/fast/step_pool.h"

#include <system_error>

namespace zintrel {

StepPool::~StepPool() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

int StepPool::Begin(TileBoard& board, int helpers) {
  {
    std::lock_guard lock(mutex_);
    while (static_cast<int>(threads_.size()) < helpers) {
      try {
        const int index = static_cast<int>(threads_.size());
        threads_.emplace_back(&StepPool::Run, this, index);
      } catch (const std::system_error&) {
        break;  // The threads already running share the work.
      }
    }
    helpers_ = std::min(helpers, static_cast<int>(threads_.size()));
    if (helpers_ == 0) return 0;
    board_ = &board;
    // Published after the board was filled: helpers read it only after
    // seeing this generation open.
    open_.store(++generation_);
  }
  wake_.notify_all();
  return helpers_;
}

void StepPool::End(TileBoard& board) {
  open_.store(0);
  // Helpers asleep on the progress counter wake, see the tick closed and leave.
  board.PublishFinished(TileBoard::kClosed);
  // Both sides use sequentially consistent order: either a helper sees the
  // tick closed when it enters, or this loop sees it inside and waits for
  // the one piece it is computing.
  while (inside_.load() != 0) std::this_thread::yield();
}

bool StepPool::Enter(std::uint64_t generation) {
  inside_.fetch_add(1);
  if (open_.load() == generation) return true;
  inside_.fetch_sub(1);
  return false;
}

void StepPool::Run(int index) {
  std::uint64_t seen = 0;
  for (;;) {
    TileBoard* board;
    std::uint64_t generation;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return quit_ || (generation_ != seen && index < helpers_); });
      if (quit_) return;
      seen = generation = generation_;
      board = board_;
    }
    Work(*board, generation);
  }
}

void StepPool::Work(TileBoard& board, std::uint64_t generation) {
  // Pieces are taken in the order the moving thread needs them, starting
  // past the slice it is on (which it computes itself). A piece once taken
  // stays taken, so the scan resumes where it stopped; only when another
  // block has moved can a piece behind it have become ready.
  int seenFinished = -1;
  int cursor = 0;
  for (;;) {
    if (!Enter(generation)) return;
    // Read before the blocks: a block that moves after it wakes the wait below.
    const std::uint32_t progress = board.progress.load(std::memory_order_acquire);
    const int finished = board.finishedBlocks.load(std::memory_order_acquire);
    if (finished == TileBoard::kClosed) {
      Leave();
      return;
    }
    if (finished != seenFinished) seenFinished = finished, cursor = 0;
    const int pastMoving = (board.movingSlice.load(std::memory_order_relaxed) + 1) * kMaxChunks;
    const int end = board.slices * kMaxChunks;
    int taken = -1;
    bool waiting = false;  // A free piece waits for a block to move.
    for (int k = std::max(cursor, pastMoving); k < end; ++k) {
      const int slice = k / kMaxChunks, c = k % kMaxChunks;
      if (c >= board.blocks) continue;
      std::atomic<PieceState>& piece = board.Piece(slice, c);
      if (piece.load(std::memory_order_relaxed) != PieceState::kFree) continue;
      if (!TileBoard::Ready(slice, c, finished)) {
        waiting = true;
        continue;
      }
      PieceState state;
      if (board.Claim(slice, c, PieceState::kWorking, state)) {
        taken = k;
        break;
      }
    }
    if (taken < 0) {
      Leave();
      if (!waiting) return;  // Everything left is taken: done for this tick.
      // Sleeps (where it is std::atomic::wait, after a short spin inside the
      // library) until a block moves or the tick closes; never spins on the
      // moving thread's core.
      board.WaitForProgress(progress);
      continue;
    }
    const int slice = taken / kMaxChunks, c = taken % kMaxChunks;
    const int row = board.SliceBegin(slice);
    board.ComputePiece(slice, c, &board.pieceX[c][row], &board.pieceY[c][row]);
    board.Piece(slice, c).store(PieceState::kDone, std::memory_order_release);
    cursor = taken + 1;
    Leave();
  }
}

}  // namespace zintrel
