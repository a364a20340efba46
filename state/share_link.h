#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "simulation/particle_field.h"
#include "simulation/random_source.h"

namespace zintrel {

// What a shared link holds: a run from its start, not a moment of it. The
// seed, then every parameter at its exact value, applied to the start-up
// state as zintrel-headless applies its options of the same names; the
// drawing mode, whether the step runs, and the display area every tick
// measures. The same run gives the same states, bit for bit, wherever it
// is replayed.
struct SharedRun {
  std::uint32_t seed = 0;
  std::int32_t count = 50;
  double maxSpeed = 8.0;
  double size = 6.0;
  double activity = 1.0;
  double repulsion = 8.0;
  double acceleration = 1.0;
  double repulsiveAcceleration = 1.0;
  bool running = true;
  // Set when Initialise scattered the start state again with this radius.
  std::optional<double> initialRadius;
  std::int32_t width = kStartWidth;
  std::int32_t height = kStartHeight;
  bool darts = true;
  bool operator==(const SharedRun&) const = default;
};

// A number that describes a run, as a link's field and as the option of
// zintrel-headless of the same name: the closed range its control allows,
// and whether it counts something (a whole number).
struct RunSetting {
  const char* name;
  double low;
  double high;
  bool whole;
};

inline constexpr RunSetting kSeedSetting{"seed", 0.0, 4294967295.0, true};
inline constexpr RunSetting kCountSetting{"count", 1.0, MaxParticles, true};
inline constexpr RunSetting kMaxSpeedSetting{"max-speed", kMaxSpeedRange.low, kMaxSpeedRange.high, false};
inline constexpr RunSetting kSizeSetting{"size", kParticleSizeRange.low, kParticleSizeRange.high, false};
inline constexpr RunSetting kActivitySetting{"activity", kActivityRange.low, kActivityRange.high, false};
inline constexpr RunSetting kRepulsionSetting{"repulsion", kRepulsionRange.low, kRepulsionRange.high, false};
inline constexpr RunSetting kAccelerationSetting{"acceleration", kAccelerationRange.low, kAccelerationRange.high,
                                                 false};
inline constexpr RunSetting kRepulsiveAccelerationSetting{"repulsive-acceleration", kRepulsiveAccelerationRange.low,
                                                          kRepulsiveAccelerationRange.high, false};
// Initialise never scatters into a disc narrower than one pixel; a smaller
// radius would start a run no link copied from the program could replay.
inline constexpr RunSetting kInitialRadiusSetting{"initial-radius", 1.0, 10000.0, false};
inline constexpr RunSetting kWidthSetting{"width", 0.0, 16384.0, true};
inline constexpr RunSetting kHeightSetting{"height", 0.0, 16384.0, true};

// The link format this program writes under "zintrel=". A link of a later
// format is refused rather than misread.
inline constexpr int kLinkFormatVersion = 1;

// Returns the fragment of a link (without the "#"), its fields in the order
// of zintrel-headless's options, each double written so that it reads back
// bit for bit.
std::string LinkFragment(const SharedRun& run);

// Reads the run of a link: a whole address or its fragment alone, with or
// without the "#". Returns "" on success; otherwise one line naming the
// first problem, with run untouched: not a link of this program, a missing,
// unknown or repeated field, a value that is not a number or outside its
// control's range, a fraction in a whole-number field, or a later format.
// The line quotes the link as it is: make it printable before showing it.
std::string ReadLink(std::string_view address, SharedRun& run);

// Returns the run that shows field's parameters from the start, with the
// given seed and drawing mode.
SharedRun RunOf(const ParticleField& field, std::uint32_t seed, bool darts);

// Builds the start of a run: the random source seeded, the start-up state
// scattered onto its centre, the parameters set, and the state scattered
// again where the run says Initialise did.
void StartRun(const SharedRun& run, ParticleField& field, RandomSource& random);

}  // namespace zintrel
