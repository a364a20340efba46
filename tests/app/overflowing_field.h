#pragma once

#include "simulation/particle_field.h"

namespace zintrel {

// Leaves one particle whose next move would carry it past the largest
// double, beyond every control's range: the tick that steps it faults.
inline void PlantOverflowingParticle(ParticleField& field) {
  field.ParticleCount = 1;
  field.MaxSpeed = 1e308;
  field.x[0] = 1.7e308;
  field.vx[0] = 1e308;
}

}  // namespace zintrel
