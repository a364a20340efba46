#pragma once

#include "simulation/particle_field.h"

namespace zintrel {

// Returns whether the force law and the cap of field lie within what the
// settings window's controls can produce (the ControlRanges of A, B, a, b
// and the cap) with 1 to MaxParticles particles.
bool LawWithinControls(const ParticleField& field);

// Recomputes particle i's velocity for this tick (its stored velocity plus
// the pull of every other active particle at its current position) with
// every intermediate carried in extended precision, whose range no pair
// force of a law within the controls can leave, and applies the speed cap
// before the result returns to doubles. Particles that wrap exactly onto an
// edge can end up a hair apart, so near the sliders' right ends a single
// pull can exceed the double range although the capped velocity is a few
// pixels per tick. Returns false, leaving vx and vy alone, if the law lies
// beyond the controls or the sum is not finite even so.
bool WideCappedVelocity(const ParticleField& field, int i, double& vx, double& vy);

}  // namespace zintrel
