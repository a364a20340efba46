#pragma once

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

// A step implementation; the tick takes one so tools can choose.
using StepFunction = StepFault (*)(ParticleField&);

}  // namespace zintrel
