#pragma once

// The work of one tick of the production step, cut into tiles that either
// of two threads can compute.
//
// Particle i's pull is the sum, over chunks c of kChunk particles, of the
// pull of chunk c, added to its velocity in ascending c. Rows are grouped
// into blocks the same way, and tile (b, c) holds chunk c's pull on the rows
// of block b, in slices of kSliceRows rows that are claimed one by one (so
// when both threads reach for the same work, little is done twice).
//
// Below the diagonal (c < b) a tile needs the moved positions of chunk c, so
// it becomes ready once every particle of block c has moved. Above it
// (c > b) it needs only the positions of the start of the tick, so it is
// ready at once. On the diagonal, the pull of the particles after i in its
// own block is ready at once too and is stored like a tile; the pull of the
// ones before i is known only after they have moved, so the thread that
// moves the particles computes it just before moving i. Every piece is
// computed by the same kernel from the same inputs whoever computes it, so
// the result does not depend on the number of threads.

#include <array>
#include <atomic>
#include <cstdint>

#include "simulation/fast/pair_kernel.h"
#include "simulation/particle_field.h"

namespace zintrel {

inline constexpr int kChunk = 256;
inline constexpr int kMaxChunks = (MaxParticles + kChunk - 1) / kChunk;
inline constexpr int kPaddedParticles = kMaxChunks * kChunk + kPairPadding;
inline constexpr int kSliceRows = 32;
inline constexpr int kSlices = kChunk / kSliceRows;  // Per tile.

// Who holds a slice of a tile in the current tick.
enum class TileState : std::uint8_t {
  kFree,
  kWorking,  // The worker is computing it.
  kDone,     // The worker has stored it.
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

  alignas(64) Positions oldX{};   // Positions at the start of the tick (never written during it).
  alignas(64) Positions oldY{};
  alignas(64) Positions liveX{};  // Moved positions of finished blocks; start positions elsewhere.
  alignas(64) Positions liveY{};
  Pieces pieceX{};  // pieceX[c][i]: chunk c's pull on particle i (on the diagonal: of those after i).
  Pieces pieceY{};

  std::array<std::atomic<TileState>, kMaxChunks * kMaxChunks * kSlices> slices{};
  std::atomic<int> finishedBlocks{0};  // Blocks whose particles have all moved.
  std::atomic<int> currentBlock{0};    // The block the moving thread works on.

  int RowBegin(int block) const { return block * kChunk; }
  int RowEnd(int block) const { return block + 1 < blocks ? (block + 1) * kChunk : count; }
  int Slices(int block) const { return (RowEnd(block) - RowBegin(block) + kSliceRows - 1) / kSliceRows; }
  std::atomic<TileState>& Slice(int b, int c, int slice) {
    return slices[(b * kMaxChunks + c) * kSlices + slice];
  }

  // Claims slice `slice` of tile (b, c) for `holder` if nobody holds it;
  // otherwise returns false and leaves its state in `state`.
  bool Claim(int b, int c, int slice, TileState holder, TileState& state) {
    state = TileState::kFree;
    return Slice(b, c, slice).compare_exchange_strong(state, holder);
  }

  // Returns whether tile (b, c) has its inputs once `finished` blocks have moved.
  bool Ready(int b, int c, int finished) const { return c >= b || c < finished; }

  // Computes slice `slice` of tile (b, c) into outX[k] and outY[k], k
  // counting from the slice's first row.
  void ComputeSlice(int b, int c, int slice, double* outX, double* outY) const {
    const int rowBegin = RowBegin(b) + slice * kSliceRows;
    const int rowEnd = rowBegin + kSliceRows < RowEnd(b) ? rowBegin + kSliceRows : RowEnd(b);
    if (c == b) {
      for (int i = rowBegin; i < rowEnd; ++i) {
        sumTile(law, oldX.data(), oldY.data(), i + 1, RowEnd(b), oldX.data(), oldY.data(), i, i + 1,
                &outX[i - rowBegin], &outY[i - rowBegin]);
      }
      return;
    }
    const bool moved = c < b;
    sumTile(law, moved ? liveX.data() : oldX.data(), moved ? liveY.data() : oldY.data(),
            RowBegin(c), RowEnd(c), oldX.data(), oldY.data(), rowBegin, rowEnd, outX, outY);
  }
};

}  // namespace zintrel
