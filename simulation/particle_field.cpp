#include "simulation/particle_field.h"

namespace zintrel {

void SetStartValues(ParticleField& field) {
  field.FieldWidth = kStartWidth;
  field.FieldHeight = kStartHeight;
  field.LastWidth = kStartWidth;
  field.LastHeight = kStartHeight;
  field.Running = 1;
  // 50, not the 52 that the count slider's start position would give.
  field.ParticleCount = 50;
  field.MaxSpeed = 8.0;
  field.ParticleSize = 6.0;
  field.Activity = 1.0;
  field.Repulsion = 8.0;
  field.Acceleration = 1.0;
  field.RepulsiveAcceleration = 1.0;
}

}  // namespace zintrel
