// The production step: the same sequential, in-place update as the literal
// step, with the pair loop vectorised (pair_kernel.cpp) and the pieces of
// the pull that do not wait for the particle being moved computed by a pool
// of helper threads (step_fast.h explains the pieces).

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "simulation/step_common.h"
#include "simulation/fast/step_fast.h"
#include "simulation/fast/step_pool.h"
#include "simulation/step_particles.h"
#include "simulation/vector_state.h"

namespace zintrel {
namespace {

// Below this many particles a tick is too short to share: waking helpers
// costs more than they save. Only the default choice honours it.
constexpr int kMinParallelCount = 500;

// Beyond this many threads a tick of 2500 particles gains little: the span
// (the moves and the pull within each block, in order) dominates.
constexpr int kMaxDefaultThreads = 16;

// How often the moving thread yields to a helper still computing a piece it
// needs before computing that piece again itself. Each yield hands the core
// to the helper when they share one; on separate cores it costs about a
// microsecond, against several for computing the piece.
constexpr int kPatience = 4;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Everything the step keeps between calls. One per process; the tick runs on
// one thread at a time, and the lock keeps concurrent callers apart.
struct FastStep {
  std::mutex lock;
  TileBoard board;
  // The moving thread's own copies of pieces a helper still held when they
  // were needed, by chunk and row within the slice.
  std::array<std::array<double, kSliceRows>, kMaxChunks> scratchX{};
  std::array<std::array<double, kSliceRows>, kMaxChunks> scratchY{};
  std::array<bool, kMaxChunks> copied{};  // Which chunks of the current slice are in scratch.
  StepPool pool;  // Declared last: joined before the board goes.
};

FastStep& Engine() {
  static FastStep engine;
  return engine;
}

PairKernel ChooseKernel(std::int64_t target) {
  static const PairKernel best = BestPairKernel();
  static const std::vector<PairKernel> supported = SupportedPairKernels();
  for (const PairKernel& kernel : supported) {
    if (target != 0 && kernel.target == target) return kernel;
  }
  return best;
}

// Gathers the pieces of slice s: computes the ones nobody holds, uses the
// helpers' finished ones, and computes again any a helper is still on once
// everything else is done and it has had a few chances to finish.
void GatherSlice(FastStep& engine, int s, StepProfile* profile) {
  TileBoard& board = engine.board;
  const int row = board.SliceBegin(s);
  const int b = TileBoard::BlockOf(s);
  int deferred[kMaxChunks];
  int deferredCount = 0;
  for (int c = 0; c < board.blocks; ++c) {
    engine.copied[c] = false;
    PieceState state;
    if (board.Claim(s, c, PieceState::kMain, state)) {
      // The first slice of a block waits for this piece: nobody could start
      // it before the previous block moved.
      const bool critical = profile && c == b - 1 && row == board.BlockBegin(b);
      const Clock::time_point start = critical ? Clock::now() : Clock::time_point{};
      board.ComputePiece(s, c, &board.pieceX[c][row], &board.pieceY[c][row]);
      if (critical) {
        const double seconds = Seconds(start);
        profile->criticalSeconds += seconds;
        profile->spanSeconds[s] += seconds;
      }
    } else if (state != PieceState::kDone) {
      deferred[deferredCount++] = c;
    }
  }
  for (int n = 0; n < deferredCount; ++n) {
    const int c = deferred[n];
    std::atomic<PieceState>& piece = board.Piece(s, c);
    for (int k = 0; k < kPatience && piece.load(std::memory_order_acquire) != PieceState::kDone; ++k) {
      std::this_thread::yield();
    }
    if (piece.load(std::memory_order_acquire) == PieceState::kDone) continue;
    board.ComputePiece(s, c, engine.scratchX[c].data(), engine.scratchY[c].data());
    engine.copied[c] = true;
    if (profile) ++profile->recomputedPieces;
  }
}

// Moves the particles of slice s in index order. Returns the first fault.
StepFault MoveSlice(ParticleField& field, FastStep& engine, int s) {
  TileBoard& board = engine.board;
  const int b = TileBoard::BlockOf(s);
  const int blockBegin = board.BlockBegin(b);
  const int rowBegin = board.SliceBegin(s);
  const int rowEnd = board.SliceEnd(s);
  for (int i = rowBegin; i < rowEnd; ++i) {
    // The particles of the block before i, where they have just moved to.
    double beforeX, beforeY;
    board.sumTile(board.law, board.liveX.data(), board.liveY.data(), blockBegin, i,
                  board.oldX.data(), board.oldY.data(), i, i + 1, &beforeX, &beforeY);
    double vx = field.vx[i];
    double vy = field.vy[i];
    // Always in ascending chunk order, whoever computed each piece.
    for (int c = 0; c < board.blocks; ++c) {
      if (c == b) {
        vx += beforeX;
        vy += beforeY;
      }
      if (engine.copied[c]) {
        vx += engine.scratchX[c][i - rowBegin];
        vy += engine.scratchY[c][i - rowBegin];
      } else {
        vx += board.pieceX[c][i];
        vy += board.pieceY[c][i];
      }
    }
    const StepFault fault = FinishParticle(field, i, vx, vy);
    if (fault != StepFault::kNone) return fault;
    board.liveX[i] = field.x[i];
    board.liveY[i] = field.y[i];
  }
  return StepFault::kNone;
}

int ThreadsFor(const StepOptions& options, int count) {
  if (options.threads > 0) return std::min(options.threads, kMaxStepThreads);
  return count < kMinParallelCount ? 1 : DefaultStepThreads();
}

}  // namespace

int DefaultStepThreads() {
  static const int threads =
      std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, kMaxDefaultThreads);
  return threads;
}

StepFault StepParticlesWithOptions(ParticleField& field, const StepOptions& options) {
  const int count = ActiveCount(field);
  if (count == 0) return StepFault::kNone;
  // The moves run scalar code; the pool's threads start from their own state.
  ClearUpperVectorState();
  FastStep& engine = Engine();
  std::lock_guard lock(engine.lock);
  TileBoard& board = engine.board;
  board.law = MakePairLaw(field, count);
  board.sumTile = ChooseKernel(options.target).sumTile;
  std::copy_n(field.x.begin(), count, board.oldX.begin());
  std::copy_n(field.y.begin(), count, board.oldY.begin());
  std::copy_n(field.x.begin(), count, board.liveX.begin());
  std::copy_n(field.y.begin(), count, board.liveY.begin());
  board.Open(count);

  // With one block there is nothing to hand out: every piece is on the diagonal.
  const int helpers = board.blocks > 1 ? ThreadsFor(options, count) - 1 : 0;
  const bool shared = helpers > 0 && engine.pool.Begin(board, helpers) > 0;

  StepProfile* profile = options.profile;
  if (profile) {
    *profile = StepProfile{};
    profile->spanSeconds.assign(board.slices, 0.0);
    profile->sliceSeconds.assign(board.slices, 0.0);
  }
  StepFault fault = StepFault::kNone;
  for (int s = 0; s < board.slices && fault == StepFault::kNone; ++s) {
    board.movingSlice.store(s, std::memory_order_relaxed);
    const Clock::time_point sliceStart = profile ? Clock::now() : Clock::time_point{};
    GatherSlice(engine, s, profile);
    const Clock::time_point moveStart = profile ? Clock::now() : Clock::time_point{};
    fault = MoveSlice(field, engine, s);
    if (profile) {
      profile->spanSeconds[s] += Seconds(moveStart);
      profile->sliceSeconds[s] = Seconds(sliceStart);
    }
    const int b = TileBoard::BlockOf(s);
    if (fault == StepFault::kNone && board.SliceEnd(s) == board.BlockEnd(b)) {
      board.PublishFinished(b + 1);
    }
  }
  if (shared) engine.pool.End(board);
  return fault;
}

}  // namespace zintrel
