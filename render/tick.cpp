#include "render/tick.h"

#include "render/render_frame.h"
#include "simulation/advance_field.h"

namespace zintrel {

StepFault RunTick(ParticleField& field, FrameBitmap& bitmap, int width, int height,
                  bool showOrientation, StepFunction step) {
  bitmap.Resize(width, height);
  const StepFault fault = AdvanceField(field, width, height, step);
  if (fault == StepFault::kNone) RenderFrame(field, bitmap, showOrientation);
  return fault;
}

}  // namespace zintrel
