#include "tools/explore_measures.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace zintrel {
namespace {

// Cells of this many pixels square: about a particle and its neighbourhood,
// so that a clump is a run of touching cells and a gas fills them evenly.
constexpr int kCellPixels = 8;

// Returns 256 * log2(value) for value >= 1, its fraction read linearly from
// the bits below the highest: monotonic, exact in integers, enough to put
// heavy-tailed measures on a scale.
std::int64_t Log2Fixed(std::uint64_t value) {
  if (value <= 1) return 0;
  const int high = 63 - std::countl_zero(value);
  const std::uint64_t fraction = high >= 8 ? (value >> (high - 8)) & 255 : (value << (8 - high)) & 255;
  return 256 * static_cast<std::int64_t>(high) + static_cast<std::int64_t>(fraction);
}

// Returns value * 1000 / scale, at most 1000.
std::int64_t Scaled(std::int64_t value, std::int64_t scale) { return std::min<std::int64_t>(1000, value * 1000 / scale); }

// Returns the root of union-find's set of cell, halving the path on the way.
std::int32_t Root(std::vector<std::int32_t>& parent, std::int32_t cell) {
  while (parent[cell] != cell) {
    parent[cell] = parent[parent[cell]];
    cell = parent[cell];
  }
  return cell;
}

}  // namespace

std::int64_t IntegerSqrt(std::int64_t value) {
  if (value <= 0) return 0;
  // Newton's method from above, in integers: stops at the floor.
  std::int64_t root = std::int64_t{1} << ((64 - std::countl_zero(static_cast<std::uint64_t>(value))) / 2 + 1);
  while (true) {
    const std::int64_t next = (root + value / root) / 2;
    if (next >= root) return root;
    root = next;
  }
}

MeasureArray MeasureValues(const RunMeasures& m) {
  return {m.fill, m.clumping, m.clusters, m.clusterChange, m.speed, m.speedSpread,
          m.drift, m.rotation, m.gifBytesPerFrame, m.movingFrames, m.edge};
}

RunMeasures MeasuresFromValues(const MeasureArray& v) {
  return {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10]};
}

MeasureRecorder::MeasureRecorder(int width, int height)
    : columns_(std::max(1, (width + kCellPixels - 1) / kCellPixels)),
      rows_(std::max(1, (height + kCellPixels - 1) / kCellPixels)),
      cells_(static_cast<std::size_t>(columns_) * rows_),
      labels_(cells_.size()) {}

void MeasureRecorder::Add(const ParticleField& field, const FrameBitmap& frame) {
  const int count = ActiveCount(field);
  std::fill(cells_.begin(), cells_.end(), 0);
  // Positions in whole pixels and velocities in 1/256 pixel: truncating an
  // exact double is exact, so every sum below is the same everywhere.
  std::int64_t sumX = 0, sumY = 0, sumVx = 0, sumVy = 0, onEdge = 0;
  for (int i = 0; i < count; ++i) {
    const int column = std::clamp(static_cast<int>(field.x[i]) / kCellPixels, 0, columns_ - 1);
    const int row = std::clamp(static_cast<int>(field.y[i]) / kCellPixels, 0, rows_ - 1);
    ++cells_[static_cast<std::size_t>(row) * columns_ + column];
    onEdge += column == 0 || row == 0 || column == columns_ - 1 || row == rows_ - 1;
    sumX += static_cast<std::int64_t>(field.x[i]);
    sumY += static_cast<std::int64_t>(field.y[i]);
    const auto vx = static_cast<std::int64_t>(field.vx[i] * 256.0);
    const auto vy = static_cast<std::int64_t>(field.vy[i] * 256.0);
    sumVx += vx;
    sumVy += vy;
    const std::int64_t speed = IntegerSqrt(vx * vx + vy * vy);
    speedSum_ += speed;
    speedSquareSum_ += speed * speed;
  }
  particleSamples_ += count;
  if (count > 0) edgeSum_ += onEdge * 1000 / count;
  const auto cellCount = static_cast<std::int64_t>(cells_.size());
  std::int64_t occupied = 0, squares = 0;
  for (const std::int32_t inCell : cells_) {
    occupied += inCell > 0;
    squares += static_cast<std::int64_t>(inCell) * inCell;
  }
  fillSum_ += occupied * 1000 / cellCount;
  // Variance over mean of the counts per cell: (C * sum c^2 - N^2) / (N * C).
  if (count > 0) clumpingSum_ += 1000 * (cellCount * squares - std::int64_t{count} * count) / (std::int64_t{count} * cellCount);
  lastClusters_ = CountClusters();
  if (samples_ == 0) firstClusters_ = lastClusters_;

  if (count > 0) {
    driftSum_ += IntegerSqrt(sumVx * sumVx + sumVy * sumVy) / count;
    // The turning share: the angular momentum about the centroid over its
    // largest possible value, sum |r| |v|.
    const std::int64_t centreX = sumX / count, centreY = sumY / count;
    std::int64_t turning = 0, most = 0;
    for (int i = 0; i < count; ++i) {
      const std::int64_t rx = static_cast<std::int64_t>(field.x[i]) - centreX;
      const std::int64_t ry = static_cast<std::int64_t>(field.y[i]) - centreY;
      const auto vx = static_cast<std::int64_t>(field.vx[i] * 256.0);
      const auto vy = static_cast<std::int64_t>(field.vy[i] * 256.0);
      turning += rx * vy - ry * vx;
      most += IntegerSqrt(rx * rx + ry * ry) * IntegerSqrt(vx * vx + vy * vy);
    }
    // The roots below are rounded down, so the share may pass 1000 by a
    // little where the motion is all turning.
    if (most > 0) rotationSum_ += std::min<std::int64_t>(1000, std::llabs(turning) * 1000 / most);
  }

  // A frame that differs from the one before moves on screen.
  const std::size_t pixels = static_cast<std::size_t>(frame.Stride()) * frame.Height();
  if (previous_.size() == pixels) {
    moving_ += std::memcmp(previous_.data(), frame.Pixels(), pixels * sizeof(std::uint32_t)) != 0;
  }
  previous_.assign(frame.Pixels(), frame.Pixels() + pixels);
  ++samples_;
}

std::int64_t MeasureRecorder::CountClusters() {
  // Union-find over the occupied cells, each joined with its occupied
  // neighbours to the right and below (diagonals included); the field wraps,
  // so a clump across an edge is one.
  for (std::size_t cell = 0; cell < labels_.size(); ++cell) labels_[cell] = static_cast<std::int32_t>(cell);
  const auto at = [this](int row, int column) {
    return static_cast<std::int32_t>(((row + rows_) % rows_) * columns_ + (column + columns_) % columns_);
  };
  for (int row = 0; row < rows_; ++row) {
    for (int column = 0; column < columns_; ++column) {
      const std::int32_t cell = at(row, column);
      if (cells_[cell] == 0) continue;
      for (const auto& [down, right] : {std::pair{0, 1}, {1, -1}, {1, 0}, {1, 1}}) {
        const std::int32_t other = at(row + down, column + right);
        if (cells_[other] == 0) continue;
        const std::int32_t a = Root(labels_, cell), b = Root(labels_, other);
        if (a != b) labels_[std::max(a, b)] = std::min(a, b);
      }
    }
  }
  std::int64_t clusters = 0;
  for (std::size_t cell = 0; cell < cells_.size(); ++cell) {
    clusters += cells_[cell] > 0 && labels_[cell] == static_cast<std::int32_t>(cell);
  }
  return clusters;
}

RunMeasures MeasureRecorder::End(std::int64_t gifFrameBytes) const {
  RunMeasures m;
  if (samples_ == 0) return m;
  m.fill = fillSum_ / samples_;
  m.clumping = clumpingSum_ / samples_;
  m.clusters = lastClusters_;
  m.clusterChange = lastClusters_ - firstClusters_;
  if (particleSamples_ > 0) {
    m.speed = speedSum_ / particleSamples_;
    const std::int64_t meanSquare = speedSquareSum_ / particleSamples_;
    m.speedSpread = IntegerSqrt(std::max<std::int64_t>(0, meanSquare - m.speed * m.speed));
  }
  m.drift = driftSum_ / samples_;
  m.rotation = rotationSum_ / samples_;
  m.gifBytesPerFrame = gifFrameBytes / samples_;
  m.movingFrames = samples_ > 1 ? moving_ * 1000 / (samples_ - 1) : 0;
  m.edge = edgeSum_ / samples_;
  return m;
}

const char* DroppedName(Dropped reason) {
  switch (reason) {
    case Dropped::kNo: return "";
    case Dropped::kStill: return "still";
    case Dropped::kEmpty: return "empty";
    case Dropped::kGas: return "gas";
    case Dropped::kFault: return "fault";
  }
  return "";
}

Dropped DropReason(const RunMeasures& m) {
  // Nothing to see: a handful of cells, or nearly every particle pinned
  // against the edges, where the wrap puts one pushed out of the field: the
  // window is empty but for a fringe.
  if (m.fill < kEmptyFill || m.edge > kEmptyEdge) return Dropped::kEmpty;
  // A picture rather than an animation: most frames repeat the one before.
  if (m.movingFrames < kStillMovingFrames) return Dropped::kStill;
  // Particles spread as if at random, each on its own (counts per cell as
  // scattered as a random scatter's), moving without turning together.
  if (m.clumping >= kGasClumping.first && m.clumping <= kGasClumping.second && m.rotation < kGasRotation) {
    return Dropped::kGas;
  }
  return Dropped::kNo;
}

NormalisedMeasures Normalise(const RunMeasures& m) {
  const auto logScaled = [](std::int64_t value, std::int64_t top) {
    return Scaled(Log2Fixed(static_cast<std::uint64_t>(std::max<std::int64_t>(0, value)) + 1), Log2Fixed(top));
  };
  const std::int64_t change = logScaled(std::llabs(m.clusterChange), 64) / 2;
  return {m.fill,
          logScaled(m.clumping, 4'000'000),
          logScaled(m.clusters, 1024),
          m.clusterChange < 0 ? -change : change,
          Scaled(m.speed, 24 * 256),
          Scaled(m.speedSpread, 12 * 256),
          Scaled(m.drift, 24 * 256),
          m.rotation,
          logScaled(m.gifBytesPerFrame, 1 << 17)};
}

std::int64_t MeasureDistance(const NormalisedMeasures& a, const NormalisedMeasures& b) {
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return IntegerSqrt(sum);
}

}  // namespace zintrel
