// The production step: the same sequential, in-place update as the literal
// step, with the pair loop vectorised (pair_kernel.cpp) and the pieces of
// the pull that do not wait for moved positions computed by a second thread
// (step_fast.h explains the tiles).

#include <algorithm>
#include <mutex>
#include <vector>

#include "simulation/step_common.h"
#include "simulation/fast/step_fast.h"
#include "simulation/fast/step_fast_worker.h"
#include "simulation/step_particles.h"

namespace zintrel {
namespace {

// Below this many particles a tick is too short to share: handing tiles to
// the worker costs more than it saves.
constexpr int kMinParallelCount = 500;

// Everything the step keeps between calls. One per process; the tick runs on
// one thread at a time, and the lock keeps concurrent callers apart.
struct FastStep {
  std::mutex lock;
  TileBoard board;
  // Where the moving thread's copies of slices the worker held go, by chunk
  // and row within the block.
  std::array<std::array<double, kChunk>, kMaxChunks> scratchX{};
  std::array<std::array<double, kChunk>, kMaxChunks> scratchY{};
  StepWorker worker;  // Declared last: joined before the board goes.
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

// Where the pieces of one block come from: the shared pieces, or for slices
// the worker still held when they were needed, the moving thread's copy.
struct BlockSources {
  bool copied[kMaxChunks][kSlices];
};

// Gathers the stored pieces of block b: takes the slices nobody holds,
// uses the worker's finished ones, and computes again any the worker is
// still on once everything else is done.
void GatherBlock(FastStep& engine, int b, BlockSources& sources) {
  TileBoard& board = engine.board;
  const int rowBegin = board.RowBegin(b);
  const int slices = board.Slices(b);
  int deferredC[kMaxChunks * kSlices], deferredSlice[kMaxChunks * kSlices];
  int deferred = 0;
  for (int c = 0; c < board.blocks; ++c) {
    for (int k = 0; k < slices; ++k) {
      sources.copied[c][k] = false;
      const int row = rowBegin + k * kSliceRows;
      TileState state;
      if (board.Claim(b, c, k, TileState::kMain, state)) {
        board.ComputeSlice(b, c, k, &board.pieceX[c][row], &board.pieceY[c][row]);
      } else if (state != TileState::kDone) {
        deferredC[deferred] = c, deferredSlice[deferred] = k, ++deferred;
      }
    }
  }
  for (int n = 0; n < deferred; ++n) {
    const int c = deferredC[n], k = deferredSlice[n];
    if (board.Slice(b, c, k).load(std::memory_order_acquire) == TileState::kDone) continue;
    board.ComputeSlice(b, c, k, &engine.scratchX[c][k * kSliceRows], &engine.scratchY[c][k * kSliceRows]);
    sources.copied[c][k] = true;
  }
}

// Moves the particles of block b in index order. Returns the first fault.
StepFault MoveBlock(ParticleField& field, FastStep& engine, int b, const BlockSources& sources) {
  TileBoard& board = engine.board;
  const int rowBegin = board.RowBegin(b);
  const int rowEnd = board.RowEnd(b);
  for (int i = rowBegin; i < rowEnd; ++i) {
    // The particles of the block before i, where they have just moved to.
    double beforeX, beforeY;
    board.sumTile(board.law, board.liveX.data(), board.liveY.data(), rowBegin, i,
                  board.oldX.data(), board.oldY.data(), i, i + 1, &beforeX, &beforeY);
    const int k = (i - rowBegin) / kSliceRows;
    double vx = field.vx[i];
    double vy = field.vy[i];
    // Always in ascending chunk order, whoever computed each piece.
    for (int c = 0; c < board.blocks; ++c) {
      if (c == b) {
        vx += beforeX;
        vy += beforeY;
      }
      if (sources.copied[c][k]) {
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

}  // namespace

StepFault StepParticlesWithOptions(ParticleField& field, const StepOptions& options) {
  const int count = ActiveCount(field);
  if (count == 0) return StepFault::kNone;
  FastStep& engine = Engine();
  std::lock_guard lock(engine.lock);
  TileBoard& board = engine.board;
  board.law = MakePairLaw(field, count);
  board.sumTile = ChooseKernel(options.target).sumTile;
  board.count = count;
  board.blocks = (count + kChunk - 1) / kChunk;
  std::copy_n(field.x.begin(), count, board.oldX.begin());
  std::copy_n(field.y.begin(), count, board.oldY.begin());
  std::copy_n(field.x.begin(), count, board.liveX.begin());
  std::copy_n(field.y.begin(), count, board.liveY.begin());
  for (std::atomic<TileState>& slice : board.slices) slice.store(TileState::kFree, std::memory_order_relaxed);
  board.finishedBlocks.store(0, std::memory_order_relaxed);
  board.currentBlock.store(0, std::memory_order_relaxed);

  const int threads = options.threads > 0 ? options.threads : (count >= kMinParallelCount ? 2 : 1);
  // Without a second thread (none could be started) the tick runs alone.
  const bool shared = threads > 1 && board.blocks > 1 && engine.worker.Begin(board);

  StepFault fault = StepFault::kNone;
  BlockSources sources;
  for (int b = 0; b < board.blocks && fault == StepFault::kNone; ++b) {
    board.currentBlock.store(b, std::memory_order_relaxed);
    GatherBlock(engine, b, sources);
    fault = MoveBlock(field, engine, b, sources);
    board.finishedBlocks.store(b + 1, std::memory_order_release);
  }
  if (shared) engine.worker.End();
  return fault;
}

}  // namespace zintrel
