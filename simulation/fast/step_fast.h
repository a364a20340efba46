#pragma once

// The work of one tick of the production step, cut into pieces that any of
// the step's threads can compute.
//
// Particle i's pull is the sum, over chunks c of kChunk particles, of the
// pull of chunk c, added to its velocity in ascending c. Rows are grouped
// into blocks the same way, and each block into slices of kSliceRows rows.
// Piece (s, c) is chunk c's pull on the rows of slice s; each piece is
// claimed by one thread at a time, so when two reach for the same work
// little is done twice.
//
// For a slice of block b, the pieces of chunks below the diagonal (c < b)
// need the moved positions of chunk c, so they become ready once every
// particle of block c has moved. Above it (c > b) they need only the
// positions of the start of the tick, so they are ready at once. On the
// diagonal, the pull of the particles after i in its own block is ready at
// once too and is stored like a piece; the pull of the ones before i is
// known only after they have moved, so the thread that moves the particles
// computes it just before moving i. Every piece is computed by the same
// kernel call from the same inputs whoever computes it, so the result does
// not depend on the number of threads.

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "simulation/fast/pair_kernel.h"
#include "simulation/particle_field.h"

namespace zintrel {

inline constexpr int kChunk = 256;
inline constexpr int kMaxChunks = (MaxParticles + kChunk - 1) / kChunk;
inline constexpr int kPaddedParticles = kMaxChunks * kChunk + kPairPadding;
inline constexpr int kSliceRows = 32;
inline constexpr int kSlicesPerBlock = kChunk / kSliceRows;
inline constexpr int kMaxSlices = kMaxChunks * kSlicesPerBlock;

// Where libstdc++ has no futex (Windows among them), its std::atomic::wait
// before GCC 13 can lose a wake-up: the notifier may signal after the
// waiter's last look at the value but before it sleeps, and the waiter then
// sleeps until the next notification (GCC bug 106183). After the last tick
// none comes, and the pool's destructor would wait for that helper forever.
// There the helpers sleep on a condition variable instead.
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAVE_LINUX_FUTEX)
inline constexpr bool kAtomicWaitMayLoseWakeups = true;
#else
inline constexpr bool kAtomicWaitMayLoseWakeups = false;
#endif

// Who holds a piece in the current tick.
enum class PieceState : std::uint8_t {
  kFree,
  kWorking,  // A helper is computing it.
  kDone,     // A helper has stored it.
  kMain,     // The moving thread took it.
};

struct TileBoard {
  using Positions = std::array<double, kPaddedParticles>;
  using Pieces = std::array<std::array<double, MaxParticles>, kMaxChunks>;

  // Set before the tick starts, constant during it.
  PairLaw law;
  SumTileFunction sumTile = nullptr;
  int count = 0;   // Active particles.
  int blocks = 0;  // Chunks (and blocks) covering them.
  int slices = 0;  // Slices covering them.

  alignas(64) Positions oldX{};   // Positions at the start of the tick (never written during it).
  alignas(64) Positions oldY{};
  alignas(64) Positions liveX{};  // Moved positions of finished blocks; start positions elsewhere.
  alignas(64) Positions liveY{};
  Pieces pieceX{};  // pieceX[c][i]: chunk c's pull on particle i (on the diagonal: of those after i).
  Pieces pieceY{};

  // Piece (s, c) at s * kMaxChunks + c: in the order the moving thread needs them.
  std::array<std::atomic<PieceState>, kMaxSlices * kMaxChunks> pieces{};
  // Blocks whose particles have all moved; kClosed once the tick is over.
  std::atomic<int> finishedBlocks{0};
  // Counts changes of finishedBlocks over every tick, never going back, so a
  // helper sleeping on it cannot miss one even across ticks.
  std::atomic<std::uint32_t> progress{0};
  std::atomic<int> movingSlice{0};  // The slice the moving thread works on.
  static constexpr int kClosed = kMaxChunks + 1;

  // Used only where kAtomicWaitMayLoseWakeups: held while a helper decides to
  // sleep, so a change of progress lands either before its look or after
  // it is asleep.
  std::mutex progressMutex;
  std::condition_variable progressChanged;

  // Publishes a new value of finishedBlocks and wakes the helpers waiting for one.
  void PublishFinished(int finished) {
    finishedBlocks.store(finished, std::memory_order_release);
    progress.fetch_add(1, std::memory_order_release);
    if constexpr (kAtomicWaitMayLoseWakeups) {
      { const std::lock_guard lock(progressMutex); }
      progressChanged.notify_all();
    } else {
      progress.notify_all();
    }
  }

  // Returns once progress is no longer `seen`.
  void WaitForProgress(std::uint32_t seen) {
    if constexpr (kAtomicWaitMayLoseWakeups) {
      std::unique_lock lock(progressMutex);
      progressChanged.wait(lock, [&] { return progress.load(std::memory_order_acquire) != seen; });
    } else {
      progress.wait(seen, std::memory_order_acquire);
    }
  }

  // Resets every piece to free for a tick of count particles.
  void Open(int activeCount) {
    count = activeCount;
    blocks = (count + kChunk - 1) / kChunk;
    slices = (count + kSliceRows - 1) / kSliceRows;
    for (int k = 0; k < slices * kMaxChunks; ++k) pieces[k].store(PieceState::kFree, std::memory_order_relaxed);
    finishedBlocks.store(0, std::memory_order_relaxed);
    movingSlice.store(0, std::memory_order_relaxed);
  }

  static int BlockOf(int slice) { return slice / kSlicesPerBlock; }
  int BlockBegin(int block) const { return block * kChunk; }
  int BlockEnd(int block) const { return std::min((block + 1) * kChunk, count); }
  int SliceBegin(int slice) const { return slice * kSliceRows; }
  int SliceEnd(int slice) const { return std::min((slice + 1) * kSliceRows, count); }
  std::atomic<PieceState>& Piece(int slice, int c) { return pieces[slice * kMaxChunks + c]; }

  // Claims piece (slice, c) for `holder` if nobody holds it; otherwise
  // returns false and leaves its state in `state`.
  bool Claim(int slice, int c, PieceState holder, PieceState& state) {
    state = PieceState::kFree;
    return Piece(slice, c).compare_exchange_strong(state, holder, std::memory_order_acq_rel);
  }

  // Returns whether piece (slice, c) has its inputs once `finished` blocks have moved.
  static bool Ready(int slice, int c, int finished) { return c >= BlockOf(slice) || c < finished; }

  // Computes piece (slice, c) into outX[k] and outY[k], k counting from the
  // slice's first row.
  void ComputePiece(int slice, int c, double* outX, double* outY) const {
    const int b = BlockOf(slice);
    const int rowBegin = SliceBegin(slice);
    const int rowEnd = SliceEnd(slice);
    if (c == b) {
      for (int i = rowBegin; i < rowEnd; ++i) {
        sumTile(law, oldX.data(), oldY.data(), i + 1, BlockEnd(b), oldX.data(), oldY.data(), i, i + 1,
                &outX[i - rowBegin], &outY[i - rowBegin]);
      }
      return;
    }
    const bool moved = c < b;
    sumTile(law, moved ? liveX.data() : oldX.data(), moved ? liveY.data() : oldY.data(),
            BlockBegin(c), BlockEnd(c), oldX.data(), oldY.data(), rowBegin, rowEnd, outX, outY);
  }
};

}  // namespace zintrel
