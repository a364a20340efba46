#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "simulation/particle_field.h"

namespace zintrel {

// The largest magnitude a saved position, velocity or heading may have. The
// program itself stays far below it (positions grow at most to the disc
// radius times the largest size ratio, about 2e8 pixels); it keeps a crafted
// file from feeding values whose squares or scalings overflow.
inline constexpr double kMaxStateMagnitude = 1e9;

// The format version this program writes under "Version". A file without
// the field is of this version too: the field came after the format itself.
// A reader refuses any other version, so that a later format, which this
// program might misread, is told apart.
inline constexpr int kStateFormatVersion = 1;

// How a state is shown, saved beside it so that a file reopens to the same
// picture and the same motion. Each is absent in files that do not say.
struct DisplaySettings {
  std::optional<bool> ShowOrientation;      // Darts (true) or discs (false).
  std::optional<std::int32_t> TimerInterval;  // Milliseconds between ticks, 1 .. 4096.
};

// Returns the state as one JSON object: the format version, the scalars
// under their field names, the display settings that are present, and the
// five per-particle arrays of MaxParticles numbers each. Every double is
// written so that it reads back bit for bit, the sign of zero included.
std::string StateToJson(const ParticleField& field, const DisplaySettings& display = {});

// Reads a state written by StateToJson (or by hand) into field, and its
// display settings into display when given, and returns "" on success.
// Otherwise returns one line naming the first problem and leaves both
// untouched: malformed JSON, a missing or unknown field, a wrong type, an
// array of the wrong length, a non-finite number, a fraction in a
// whole-number field, a value outside what its control or the field allows,
// or another format version.
//
// The field size is what the next tick compares its measurement with, so
// LastWidth and LastHeight are set to FieldWidth and FieldHeight (the file's
// own are checked but not kept): a state saved between ticks holds equal
// pairs anyway, and a window opened at the state's size then rescales
// nothing.
std::string StateFromJson(const std::string& text, ParticleField& field,
                          DisplaySettings* display = nullptr);

// StateFromJson with the problem as it is, not yet made printable: for a
// caller that puts it into a longer line and makes that printable once
// (escaping twice would escape the escapes).
std::string ReadStateJson(const std::string& text, ParticleField& field, DisplaySettings* display);

}  // namespace zintrel
