#pragma once

#include "simulation/particle_field.h"
#include "simulation/random_source.h"

namespace zintrel {

// Places all MaxParticles slots afresh inside a disc of radius InitialRadius
// around (FieldWidth div 2, FieldHeight div 2), each moving straight away from
// the centre with velocity = offset / InitialRadius (a speed below 1). With a
// radius of 0 every particle sits on the centre point. Heading is untouched.
void Scatter(ParticleField& field, RandomSource& random);

}  // namespace zintrel
