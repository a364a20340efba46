#pragma once

#include "simulation/particle_field.h"
#include "simulation/step_particles.h"

namespace zintrel {

// Performs the simulation half of one tick for a display area measured at
// width x height: stores the size, rescales the cloud, and steps when running
// with at least one particle. Drawing is added on top of this by RunTick; the
// application and the headless tool both go through it. Returns the fault
// that abandoned the tick, if any.
StepFault AdvanceField(ParticleField& field, int width, int height,
                       StepFunction step = StepParticles);

}  // namespace zintrel
