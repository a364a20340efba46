#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "render/frame_bitmap.h"
#include "simulation/particle_field.h"

namespace zintrel {

// What the explorer measures of a run over its last ticks, the ones its
// thumbnail shows. Every figure is a whole number computed in integers from
// the state's positions and velocities (truncated to 1/256 pixel), so the
// same run gives the same figures on every processor and thread count: no
// floating-point sum whose order or fused rounding could differ.
struct RunMeasures {
  std::int64_t fill = 0;           // Share of the field's 8 x 8 cells holding a particle, per mille.
  std::int64_t clumping = 0;       // Variance over mean of the particles per cell, per mille: 1000 is a gas.
  std::int64_t clusters = 0;       // Clumps (touching occupied cells, across the wrapped edges) at the end.
  std::int64_t clusterChange = 0;  // Clumps at the end less those at the window's start.
  std::int64_t speed = 0;          // Mean speed, 1/256 pixel per tick.
  std::int64_t speedSpread = 0;    // Standard deviation of the speeds, 1/256 pixel per tick.
  std::int64_t drift = 0;          // Speed of the cloud as a whole (of its mean velocity), 1/256 pixel per tick.
  std::int64_t rotation = 0;       // How much of the motion turns about the centroid, per mille.
  std::int64_t gifBytesPerFrame = 0;  // Of the thumbnail's frames.
  std::int64_t movingFrames = 0;   // Frames that differ from the one before, per mille.
  std::int64_t edge = 0;           // Share of the particles in the cells along the edges, per mille.
  bool operator==(const RunMeasures&) const = default;
};

// The measures' names, as index.json and the shard files write them, in
// the order of NormalisedMeasures.
inline constexpr std::array<const char*, 11> kMeasureNames = {
    "fill", "clumping", "clusters", "clusterChange", "speed", "speedSpread",
    "drift", "rotation", "gifBytesPerFrame", "movingFrames", "edge"};
using MeasureArray = std::array<std::int64_t, kMeasureNames.size()>;
MeasureArray MeasureValues(const RunMeasures& measures);
RunMeasures MeasuresFromValues(const MeasureArray& values);

// Collects the measures tick by tick: Add is called after each tick of the
// window with its state and frame, End once after the last.
class MeasureRecorder {
 public:
  MeasureRecorder(int width, int height);
  void Add(const ParticleField& field, const FrameBitmap& frame);
  // gifFrameBytes: the bytes the window's frames took in the thumbnail.
  RunMeasures End(std::int64_t gifFrameBytes) const;

 private:
  // Returns the clumps among the occupied cells of cells_.
  std::int64_t CountClusters();

  int columns_;
  int rows_;
  std::vector<std::int32_t> cells_;  // Particles per cell at the latest tick.
  std::vector<std::int32_t> labels_;  // Scratch of CountClusters.
  std::vector<std::uint32_t> previous_;  // The frame before, to tell a moving one.
  std::int64_t samples_ = 0;
  std::int64_t fillSum_ = 0;
  std::int64_t clumpingSum_ = 0;
  std::int64_t firstClusters_ = 0;
  std::int64_t lastClusters_ = 0;
  std::int64_t speedSum_ = 0;        // Over every particle of every sample.
  std::int64_t speedSquareSum_ = 0;
  std::int64_t particleSamples_ = 0;
  std::int64_t driftSum_ = 0;
  std::int64_t rotationSum_ = 0;
  std::int64_t moving_ = 0;
  std::int64_t edgeSum_ = 0;
};

// The limits of DropReason (docs/explore.md says how they were chosen).
inline constexpr std::int64_t kEmptyFill = 8;             // Per mille of the cells.
inline constexpr std::int64_t kEmptyEdge = 900;           // Per mille of the particles.
inline constexpr std::int64_t kStillMovingFrames = 100;   // Per mille of the frames.
inline constexpr std::pair<std::int64_t, std::int64_t> kGasClumping{600, 1600};
inline constexpr std::int64_t kGasRotation = 150;

// Why a run is not worth keeping, whatever else was kept. kFault: a tick
// ended in an arithmetic fault, which no run of the sliders' ranges meets.
enum class Dropped { kNo, kStill, kEmpty, kGas, kFault };
const char* DroppedName(Dropped reason);
Dropped DropReason(const RunMeasures& measures);

// The measures mapped onto comparable scales of about 0 .. 1000 each, so
// that no one measure outweighs the others by its unit; the heavy-tailed
// ones (clumping, clusters, bytes) on a logarithmic scale.
using NormalisedMeasures = std::array<std::int64_t, 9>;
NormalisedMeasures Normalise(const RunMeasures& measures);

// Returns the Euclidean distance of two normalised runs, rounded down.
std::int64_t MeasureDistance(const NormalisedMeasures& a, const NormalisedMeasures& b);

// Returns floor(sqrt(value)) for value >= 0, exactly.
std::int64_t IntegerSqrt(std::int64_t value);

}  // namespace zintrel
