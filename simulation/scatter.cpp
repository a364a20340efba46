#include "simulation/scatter.h"

namespace zintrel {

void Scatter(ParticleField& field, RandomSource& random) {
  const double radius = field.InitialRadius;
  // Integer division truncating toward zero, taken before the addition, so a
  // 661-pixel field is centred on column 330.
  const double centreX = field.FieldWidth / 2;
  const double centreY = field.FieldHeight / 2;
  for (int k = 0; k < MaxParticles; ++k) {
    double u;
    double v;
    // Rejection sampling: the point must lie strictly inside the unit disc.
    do {
      u = 2.0 * random.Next() - 1.0;
      v = 2.0 * random.Next() - 1.0;
    } while (u * u + v * v >= 1.0);
    field.vx[k] = u;
    field.vy[k] = v;
    field.x[k] = u * radius + centreX;
    field.y[k] = v * radius + centreY;
  }
}

}  // namespace zintrel
