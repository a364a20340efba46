#pragma once

#include "simulation/particle_field.h"
#include "simulation/step_fault.h"

namespace zintrel {

// Stretches the positions of all MaxParticles slots (parked ones included) by
// the ratio of the new field size to the previous one, so the cloud keeps its
// relative places when the display area is resized; then remembers the new
// size. A previous size of 0 gives a ratio equal to the new size, which keeps
// coordinates flattened to 0 at 0. Velocities are not scaled. Reports an
// overflow, and changes nothing, if a crafted state would scale beyond the
// largest double.
StepFault RescaleField(ParticleField& field);

}  // namespace zintrel
