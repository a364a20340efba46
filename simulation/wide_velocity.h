#pragma once

#include "simulation/particle_field.h"

namespace zintrel {

// Returns whether the force law and the cap of field lie within what the
// settings window's controls can produce (the ControlRanges of A, B, a, b
// and the cap) with 1 to MaxParticles particles.
bool LawWithinControls(const ParticleField& field);

// Recomputes particle i's velocity for this tick (its stored velocity plus
// the pull of every other active particle at its current position) with
// every pull scaled by a power of two into the double range, and applies the
// speed cap before the sum returns to its own scale. Particles that wrap
// exactly onto an edge can end up a hair apart, so near the sliders' right
// ends a single pull can exceed the double range although the capped
// velocity is a few pixels per tick. Only IEEE operations and exact
// scalings, so the result is the same on every processor. Returns false,
// leaving vx and vy alone, if the law lies beyond the controls or a
// separation is not finite.
bool WideCappedVelocity(const ParticleField& field, int i, double& vx, double& vy);

// Sets (vx, vy) to the velocity of speed maxSpeed along (sx, sy), which must
// not be (0, 0): a velocity too large to square, scaled down by a power of
// two, keeps its direction.
void CapDirection(double sx, double sy, double maxSpeed, double& vx, double& vy);

}  // namespace zintrel
