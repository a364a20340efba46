#include "tools/headless_run.h"

#include <QString>
#include <cctype>
#include <memory>
#include <new>
#include <ostream>

#include "recording/gif_recording.h"
#include "render/render_frame.h"
#include "render/tick.h"
#include "simulation/scatter.h"
#include "tools/frame_sequence.h"
#include "tools/output.h"
#include "tools/output_names.h"
#include "state/printable_text.h"
#include "state/state_file.h"
#include "state/state_json.h"
#include "tools/stop_signal.h"

namespace zintrel {
namespace {

// How the fast step runs, from --threads and --simd. StepFunction is a plain
// function pointer, so the choices travel beside it; one run per process.
StepOptions gFastStep;

StepFault FastStepAsAsked(ParticleField& field) { return StepParticlesWithOptions(field, gFastStep); }

// Finds the step target named by --simd among those this processor runs.
// Returns "" or the problem.
std::string ChooseTarget(const std::string& simd, std::int64_t& target) {
  target = 0;
  if (simd == "auto") return {};
  std::string runs;
  for (const std::int64_t candidate : StepTargets()) {
    std::string name = StepTargetName(candidate);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == simd) target = candidate;
    runs += (runs.empty() ? "" : ", ") + name;
  }
  return target != 0 ? std::string() : "--simd: this processor cannot run " + simd + " (it runs " + runs + ")";
}

// Every check that can be made before the run, so that bad input is refused
// before any time is spent and before anything is written.
std::string CheckOutputs(const HeadlessOptions& options, int width, int height) {
  const std::vector<NamedOutput> files{
      {"--state-out", options.stateOut}, {"--frame-out", options.frameOut}, {"--gif", options.gifOut}};
  for (const NamedOutput& file : files) {
    if (file.path.empty()) continue;
    if (std::string problem = CheckOutputFile(file.path); !problem.empty()) return problem;
  }
  if (!options.framesDir.empty()) {
    if (std::string problem = CheckOutputFolder(options.framesDir, options.ticks); !problem.empty()) return problem;
  }
  if (std::string problem = CheckDistinctOutputs(files, options.framesDir, options.ticks); !problem.empty()) {
    return problem;
  }
  if (!options.gifOut.empty() && options.ticks == 0) return "--gif records the ticks, and --ticks is 0";
  if (!options.gifOut.empty() && (width == 0 || height == 0)) {
    return "a frame of " + std::to_string(width) + " x " + std::to_string(height) + " pixels cannot be recorded";
  }
  const bool wantsFrames = !options.frameOut.empty() || !options.framesDir.empty();
  if (wantsFrames && (width == 0 || height == 0)) {
    return "a frame of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels cannot be stored as PNG";
  }
  return {};
}

std::string StatsLine(const TickRunResult& run) {
  const double milliseconds = std::chrono::duration<double, std::milli>(run.tickTime).count();
  const double perTick = run.ticksRun > 0 ? milliseconds / static_cast<double>(run.ticksRun) : 0.0;
  const double perSecond = milliseconds > 0.0 ? 1000.0 * static_cast<double>(run.ticksRun) / milliseconds : 0.0;
  // QString::number ignores the locale, so the decimal point stays a point.
  return "ticks=" + std::to_string(run.ticksRun) + " ms_per_tick=" +
         QString::number(perTick, 'f', 6).toStdString() + " ticks_per_s=" +
         QString::number(perSecond, 'f', 3).toStdString();
}

int Interrupted(std::ostream& err, int signal) {
  err << "zintrel-headless: interrupted\n";
  return kExitSignalBase + signal;
}

// Paths and arguments are quoted as given, so they are made printable too.
int Report(std::ostream& err, const std::string& problem, int status) {
  err << "zintrel-headless: " << PrintableLine(problem) << '\n';
  return status;
}

// A stop signal outranks the failure: a write cut short by it is no fault of
// the output, and "cannot write" would send the user looking for one.
int Fail(std::ostream& err, const std::string& problem, int status) {
  if (const int signal = StopSignal(); signal != 0) return Interrupted(err, signal);
  return Report(err, problem, status);
}

}  // namespace

std::string BuildStartState(const HeadlessOptions& options, RandomSource& random, ParticleField& field,
                            DisplaySettings* display) {
  if (!options.stateIn.empty()) {
    if (std::string problem = ReadStateFile(options.stateIn, field, display); !problem.empty()) return problem;
  } else {
    field = ParticleField{};
    SetStartValues(field);
    Scatter(field, random);
  }
  if (options.count) field.ParticleCount = *options.count;
  if (options.maxSpeed) field.MaxSpeed = *options.maxSpeed;
  if (options.size) field.ParticleSize = *options.size;
  if (options.activity) field.Activity = *options.activity;
  if (options.repulsion) field.Repulsion = *options.repulsion;
  if (options.acceleration) field.Acceleration = *options.acceleration;
  if (options.repulsiveAcceleration) field.RepulsiveAcceleration = *options.repulsiveAcceleration;
  if (options.paused) field.Running = 0;
  if (options.initialRadius) {
    field.InitialRadius = *options.initialRadius;
    Scatter(field, random);
  }
  return {};
}

TickRunResult RunTicks(ParticleField& field, FrameBitmap& bitmap, int width, int height,
                       std::int64_t ticks, bool showOrientation, StepFunction step,
                       FrameSequence* frames, const FrameStore& record) {
  using Clock = std::chrono::steady_clock;
  TickRunResult result;
  for (std::int64_t tick = 0; tick < ticks && StopSignal() == 0; ++tick) {
    // Only the tick is timed; storing its frame is not part of the simulation.
    const Clock::time_point start = Clock::now();
    const StepFault fault = RunTick(field, bitmap, width, height, showOrientation, step);
    result.tickTime += Clock::now() - start;
    if (fault != StepFault::kNone) {
      result.fault = fault;
      return result;
    }
    ++result.ticksRun;
    // A frame that will be thrown away is not worth encoding. Its write is
    // never cut short instead: the PNG library reports an aborted write on
    // standard error by itself and leaks on that path.
    if (frames && StopSignal() == 0) {
      result.writeError = frames->Add(bitmap);
      if (!result.writeError.empty()) return result;
    }
    if (record && StopSignal() == 0) {
      result.writeError = record(bitmap);
      if (!result.writeError.empty()) return result;
    }
  }
  return result;
}

void RenderStartFrame(const ParticleField& field, FrameBitmap& bitmap, int width, int height,
                      bool showOrientation) {
  bitmap.Resize(width, height);
  // The renderer clears the field's own area; seen through a window of
  // another size the frame must still be cleared whole, so draw a copy that
  // carries the frame's size. Positions are left unscaled: no tick ran.
  auto view = std::make_unique<ParticleField>(field);
  view->FieldWidth = width;
  view->FieldHeight = height;
  RenderFrame(*view, bitmap, showOrientation);
}

int RunHeadless(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  const ParsedOptions parsed = ParseOptions(arguments);
  if (!parsed.error.empty()) return Fail(err, parsed.error, kExitBadInput);
  const HeadlessOptions& options = parsed.options;
  if (options.help) {
    out << HelpText();
    return kExitSuccess;
  }
  if (options.version) {
    out << "zintrel-headless " << ZINTREL_VERSION << '\n';
    return kExitSuccess;
  }

  gFastStep.threads = options.threads.value_or(0);
  if (std::string problem = ChooseTarget(options.simd, gFastStep.target); !problem.empty()) {
    return Fail(err, problem, kExitBadInput);
  }

  // The seed comes first, as in the application; with --state-in only
  // --initial-radius draws from it.
  RandomSource random(options.seed.value_or(MillisecondsSinceMidnightUtc()));
  auto field = std::make_unique<ParticleField>();
  DisplaySettings display;
  if (std::string problem = BuildStartState(options, random, *field, &display); !problem.empty()) {
    return Fail(err, problem, kExitBadInput);
  }
  const int width = options.width.value_or(field->FieldWidth);
  const int height = options.height.value_or(field->FieldHeight);
  if (std::string problem = CheckOutputs(options, width, height); !problem.empty()) {
    return Fail(err, problem, kExitBadInput);
  }

  FrameSequence frames;
  if (!options.framesDir.empty() && options.ticks > 0) {
    if (std::string problem = frames.Start(options.framesDir); !problem.empty()) {
      return Fail(err, problem, kExitBadInput);
    }
  }
  // The state's drawing mode unless the command line names one; the state
  // written keeps the mode used, so that it replays to the same frames.
  const bool showOrientation = options.showOrientation.value_or(display.ShowOrientation.value_or(true));
  display.ShowOrientation = showOrientation;
  // The animation goes to its file frame by frame, as the programs record.
  PendingFile gifFile(options.gifOut);
  GifRecording recording(display.TimerInterval.value_or(kStartTimerInterval));
  FrameStore recordGif;
  if (!options.gifOut.empty()) {
    // Called once per tick, in order: the ticks before --gif-from only count.
    recordGif = [&gifFile, &recording, skip = options.gifFrom.value_or(1) - 1](const FrameBitmap& frame) mutable {
      if (skip > 0) {
        --skip;
        return std::string();
      }
      return gifFile.Write(recording.Add(frame));
    };
  }
  FrameBitmap bitmap;
  TickRunResult run;
  try {
    if (options.ticks == 0) {
      if (!options.frameOut.empty()) RenderStartFrame(*field, bitmap, width, height, showOrientation);
    } else {
      const StepFunction step = options.step == StepKind::kLiteral ? StepParticlesLiteral : FastStepAsAsked;
      run = RunTicks(*field, bitmap, width, height, options.ticks, showOrientation, step,
                     options.framesDir.empty() ? nullptr : &frames, recordGif);
    }
  } catch (const std::bad_alloc&) {
    return Fail(err, "not enough memory for a frame of " + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels", kExitBadInput);
  }
  if (const int signal = StopSignal(); signal != 0) return Interrupted(err, signal);
  if (run.fault != StepFault::kNone) {
    return Fail(err, "tick " + std::to_string(run.ticksRun + 1) + ": " + FaultText(run.fault), kExitFault);
  }
  if (!run.writeError.empty()) return Fail(err, run.writeError, kExitBadInput);

  // Everything is written and synced under temporary names first and only
  // then moved into place, so a failing write leaves no output at all behind.
  PendingFile stateFile(options.stateOut);
  PendingFile frameFile(options.frameOut);
  if (!options.stateOut.empty()) {
    std::string problem = stateFile.Write(StateToJson(*field, display));
    if (problem.empty()) problem = stateFile.Seal();
    if (!problem.empty()) return Fail(err, problem, kExitBadInput);
  }
  if (!options.frameOut.empty()) {
    std::string problem = frameFile.WritePng(bitmap);
    if (problem.empty()) problem = frameFile.Seal();
    if (!problem.empty()) return Fail(err, problem, kExitBadInput);
  }
  if (!options.gifOut.empty()) {
    std::string problem = gifFile.Write(recording.End());
    if (problem.empty()) problem = gifFile.Seal();
    if (!problem.empty()) return Fail(err, problem, kExitBadInput);
  }
  // The last point at which a stop leaves everything as it was: from here on
  // the outputs are moved into place, a matter of a few renames, and the run
  // completes whatever arrives.
  if (const int signal = StopSignal(); signal != 0) return Interrupted(err, signal);
  // All together or none: an output that cannot be put in place returns
  // here, and those already in place are put back as they go out of scope.
  if (!options.framesDir.empty() && options.ticks > 0) {
    if (std::string problem = frames.Place(); !problem.empty()) return Report(err, problem, kExitBadInput);
  }
  if (!options.stateOut.empty()) {
    if (std::string problem = stateFile.Replace(); !problem.empty()) return Report(err, problem, kExitBadInput);
  }
  if (!options.frameOut.empty()) {
    if (std::string problem = frameFile.Replace(); !problem.empty()) return Report(err, problem, kExitBadInput);
  }
  if (!options.gifOut.empty()) {
    if (std::string problem = gifFile.Replace(); !problem.empty()) return Report(err, problem, kExitBadInput);
  }
  frames.Keep();
  stateFile.Keep();
  frameFile.Keep();
  gifFile.Keep();
  if (options.stats) out << StatsLine(run) << '\n';
  return kExitSuccess;
}

}  // namespace zintrel
