#include "simulation/step_particles.h"

#include "simulation/fast/pair_kernel.h"

namespace zintrel {

StepFault StepParticles(ParticleField& field) { return StepParticlesWithOptions(field, {}); }

std::vector<std::int64_t> StepTargets() {
  std::vector<std::int64_t> targets;
  for (const PairKernel& kernel : SupportedPairKernels()) targets.push_back(kernel.target);
  return targets;
}

const char* StepTargetName(std::int64_t target) {
  for (const PairKernel& kernel : SupportedPairKernels()) {
    if (kernel.target == target) return kernel.name;
  }
  return "";
}

}  // namespace zintrel
