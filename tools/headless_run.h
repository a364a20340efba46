#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "render/frame_bitmap.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "simulation/step_particles.h"
#include "tools/options.h"
#include "state/state_json.h"

namespace zintrel {

class FrameSequence;

// The exit statuses of zintrel-headless.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFault = 1;     // An arithmetic fault abandoned a tick.
inline constexpr int kExitBadInput = 2;  // Options, state file or an output were unusable.
// A stop signal ended the run: the status is this plus the signal number,
// as a shell reports a program the signal killed.
inline constexpr int kExitSignalBase = 128;

// Fills field with the state the run starts from: the saved state of
// --state-in as it is, or the application's start-up state (start values,
// then Scatter with radius 0); then the overrides in their fixed order, and
// last --initial-radius, which scatters again as Initialise does. random must
// already be seeded. The state file's display settings go to display when
// given. Returns "" or the problem with the state file.
std::string BuildStartState(const HeadlessOptions& options, RandomSource& random, ParticleField& field,
                            DisplaySettings* display = nullptr);

// What a run of ticks did.
struct TickRunResult {
  StepFault fault = StepFault::kNone;
  std::int64_t ticksRun = 0;         // Completed ticks; the faulty one is not counted.
  std::chrono::nanoseconds tickTime{0};  // Time spent inside the ticks alone.
  std::string writeError;            // A frame that could not be stored.
};

// Stores a tick's frame somewhere; returns "" or the problem.
using FrameStore = std::function<std::string(const FrameBitmap&)>;

// Runs ticks application ticks of a width x height display area, each
// exactly RunTick, and hands every frame to frames when it is not null, and
// to record when it is set.
// Stops at the first fault or failed frame, and before the next tick once a
// stop signal has arrived (the tick in hand is finished).
TickRunResult RunTicks(ParticleField& field, FrameBitmap& bitmap, int width, int height,
                       std::int64_t ticks, bool showOrientation, StepFunction step,
                       FrameSequence* frames, const FrameStore& record = {});

// Draws the state as it stands into a width x height frame, without rescaling
// or stepping: the picture of --ticks 0. The field itself is not changed.
void RenderStartFrame(const ParticleField& field, FrameBitmap& bitmap, int width, int height,
                      bool showOrientation);

// The whole program: parses arguments (program name first), runs, writes
// the outputs, prints help, version, the stats line or one error line, and
// returns the exit status. Once a stop signal has arrived, it writes nothing,
// removes what it staged, prints "interrupted" and returns 128 + the signal,
// unless the outputs were already being moved into place.
int RunHeadless(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace zintrel
