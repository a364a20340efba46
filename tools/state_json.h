#pragma once

#include <string>

#include "simulation/particle_field.h"

namespace zintrel {

// The largest magnitude a saved position, velocity or heading may have. The
// program itself stays far below it (positions grow at most to the disc
// radius times the largest size ratio, about 2e8 pixels); it keeps a crafted
// file from feeding values whose squares or scalings overflow.
inline constexpr double kMaxStateMagnitude = 1e9;

// Returns the state as one JSON object: the scalars under their field names
// and the five per-particle arrays of MaxParticles numbers each. Every double
// is written so that it reads back bit for bit, the sign of zero included.
std::string StateToJson(const ParticleField& field);

// Reads a state written by StateToJson (or by hand) into field and returns
// "" on success. Otherwise returns one line naming the first problem and
// leaves field untouched: malformed JSON, a missing or unknown field, a wrong
// type, an array of the wrong length, a non-finite number, a fraction in a
// whole-number field, or a value outside what its control or the field allows.
std::string StateFromJson(const std::string& text, ParticleField& field);

}  // namespace zintrel
