#pragma once

#include <array>
#include <cstdint>

namespace zintrel {

// The number of particle slots. Only the first ParticleCount take part in the
// step and in drawing; the rest keep their state until the count grows again.
inline constexpr int MaxParticles = 2500;

using ParticleArray = std::array<double, MaxParticles>;

// All simulation state in one plain record. The settings window's handlers
// write the parameters directly, every tick writes the four size fields, and
// Scatter, StepParticles and RescaleField write the per-particle arrays.
struct ParticleField {
  // Per-particle state, in index order (which is also the processing order).
  ParticleArray x{};        // Horizontal position, pixels from the left edge, 0..FieldWidth after a step.
  ParticleArray y{};        // Vertical position, pixels from the top edge (y grows downwards), 0..FieldHeight.
  ParticleArray vx{};       // Horizontal velocity, pixels per tick.
  ParticleArray vy{};       // Vertical velocity, pixels per tick.
  ParticleArray Heading{};  // Direction of the capped velocity after the last step, radians; read only by drawing.

  std::int32_t ParticleCount = 0;   // N, active slots; 1..2500 from the settings window.
  double MaxSpeed = 0.0;            // Speed cap, pixels per tick; 1..24 from the settings window.
  double ParticleSize = 0.0;        // Drawing radius, pixels; 1..7 for discs, 3..9 for darts.
  double Activity = 0.0;            // A, force amplitude; 0..99.
  double Acceleration = 0.0;        // a, fall-off exponent of the whole force; 0..3 in steps of 1/33.
  double Repulsion = 0.0;           // B, weight of the repulsive term; 0..99.
  double RepulsiveAcceleration = 0.0;  // b, extra fall-off exponent of the repulsive term; 0..3.
  double InitialRadius = 0.0;       // R, radius of the disc Scatter fills, pixels; >= 1 once Initialise ran.
  std::int32_t FieldWidth = 0;      // W, client width seen by the latest tick, pixels.
  std::int32_t FieldHeight = 0;     // H, client height seen by the latest tick, pixels.
  std::int32_t LastWidth = 0;       // W as it stood at the end of the previous tick; written by RescaleField.
  std::int32_t LastHeight = 0;      // H as it stood at the end of the previous tick; written by RescaleField.
  std::int32_t Running = 0;         // 1 = the step runs each tick, 0 = paused.
};

// The range a settings control gives a parameter. The tool's options and
// state files accept exactly these, and the step relies on them to tell an
// overflow it can carry at a wider range from a crafted state's fault.
struct ControlRange {
  double low;
  double high;
  bool Contains(double value) const { return value >= low && value <= high; }
};
inline constexpr ControlRange kMaxSpeedRange{1.0, 24.0};
inline constexpr ControlRange kParticleSizeRange{1.0, 9.0};  // Discs 1..7, darts 3..9.
inline constexpr ControlRange kActivityRange{0.0, 99.0};
inline constexpr ControlRange kRepulsionRange{0.0, 99.0};
inline constexpr ControlRange kAccelerationRange{0.0, 3.0};
inline constexpr ControlRange kRepulsiveAccelerationRange{0.0, 3.0};

// Returns the number of slots that take part in a step or a frame. A count
// outside 0..MaxParticles (only a crafted state can hold one) is clamped, so
// no loop ever leaves the arrays.
inline int ActiveCount(const ParticleField& field) {
  if (field.ParticleCount < 0) return 0;
  return field.ParticleCount > MaxParticles ? MaxParticles : field.ParticleCount;
}

// The display area the program starts with, before any window was measured.
inline constexpr int kStartWidth = 660;
inline constexpr int kStartHeight = 440;

// Sets every scalar to its start-up value, as the settings window's creation
// does: a 660 x 440 field, running, 50 particles and the "type1" force law.
// InitialRadius and the per-particle arrays are left as they are.
void SetStartValues(ParticleField& field);

}  // namespace zintrel
