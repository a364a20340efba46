#pragma once

#include <cstdint>
#include <vector>

#include "simulation/particle_field.h"
#include "simulation/step_fault.h"

namespace zintrel {

// Advances the active particles by one tick, in place and in index order:
// every other active particle pulls or pushes particle i through the pair
// force, then i's speed is capped, its heading recorded, and it moves and
// wraps before particle i + 1 computes its forces. On a fault the offending
// particle keeps its previous state, the step stops there (earlier particles
// keep their moves) and the fault is returned.
StepFault StepParticles(ParticleField& field);

// The same step computed literally, pair by pair with the power rule and the
// trigonometric direction. It is the reference that the production step must
// agree with up to rounding, and the baseline of the benchmarks.
StepFault StepParticlesLiteral(ParticleField& field);

// How the production step may run. The defaults are what StepParticles does;
// tests and benchmarks force the rest. Every choice, the SIMD target
// included, gives the same result for the same state, bit for bit.
struct StepOptions {
  int threads = 0;          // 0: by particle count; 1: the calling thread alone; 2: with the worker.
  std::int64_t target = 0;  // 0: the best this CPU supports; else a target of StepTargets().
};

// StepParticles with its choices made by the caller. A target the CPU cannot
// run falls back to the best one it can.
StepFault StepParticlesWithOptions(ParticleField& field, const StepOptions& options);

// Returns the SIMD targets of the step this CPU can run, best first.
std::vector<std::int64_t> StepTargets();

// Returns the name of a target of StepTargets(), e.g. "AVX2".
const char* StepTargetName(std::int64_t target);

// A step implementation; the tick takes one so tools can choose.
using StepFunction = StepFault (*)(ParticleField&);

}  // namespace zintrel
