#include "simulation/advance_field.h"

#include "simulation/rescale_field.h"

namespace zintrel {

StepFault AdvanceField(ParticleField& field, int width, int height, StepFunction step) {
  field.FieldWidth = width;
  field.FieldHeight = height;
  const StepFault fault = RescaleField(field);
  if (fault != StepFault::kNone) return fault;
  if (field.Running == 1 && field.ParticleCount > 0) return step(field);
  return StepFault::kNone;
}

}  // namespace zintrel
