#pragma once

#include "render/frame_bitmap.h"
#include "simulation/particle_field.h"
#include "simulation/step_particles.h"

namespace zintrel {

// Performs one whole animation tick for a display area measured at
// width x height: resizes the frame (width first), stores the size, rescales,
// steps when running, and renders the frame. The application adds only the
// copy onto its window; the headless tool runs exactly this. On a fault the
// tick is abandoned before drawing and the fault is returned.
StepFault RunTick(ParticleField& field, FrameBitmap& bitmap, int width, int height,
                  bool showOrientation, StepFunction step = StepParticles);

}  // namespace zintrel
