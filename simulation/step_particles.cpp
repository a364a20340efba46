#include "simulation/step_particles.h"

namespace zintrel {

StepFault StepParticles(ParticleField& field) { return StepParticlesLiteral(field); }

}  // namespace zintrel
