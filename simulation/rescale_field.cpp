#include "simulation/rescale_field.h"

#include <cmath>

namespace zintrel {
namespace {

double LargestMagnitude(const ParticleArray& values) {
  double largest = 0.0;
  for (const double value : values) largest = std::fmax(largest, std::fabs(value));
  return largest;
}

}  // namespace

StepFault RescaleField(ParticleField& field) {
  const int width = field.FieldWidth;
  const int height = field.FieldHeight;
  if (width != field.LastWidth || height != field.LastHeight) {
    const double sx = field.LastWidth > 0 ? static_cast<double>(width) / field.LastWidth : width;
    const double sy = field.LastHeight > 0 ? static_cast<double>(height) / field.LastHeight : height;
    if (!std::isfinite(LargestMagnitude(field.x) * sx) ||
        !std::isfinite(LargestMagnitude(field.y) * sy)) {
      return StepFault::kOverflow;
    }
    for (int k = 0; k < MaxParticles; ++k) {
      field.x[k] *= sx;
      field.y[k] *= sy;
    }
  }
  field.LastWidth = width;
  field.LastHeight = height;
  return StepFault::kNone;
}

}  // namespace zintrel
