#include "tools/explore_runs.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "recording/gif_recording.h"
#include "render/frame_bitmap.h"
#include "simulation/random_source.h"
#include "tools/headless_run.h"
#include "tools/stop_signal.h"

namespace zintrel {
namespace {

// SplitMix64: one well-mixed 64-bit value per call, from any seed.
std::uint64_t NextMixed(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Returns a whole number in low .. high, from the top 32 bits, exactly.
int Between(std::uint64_t& state, int low, int high) {
  const std::uint64_t span = static_cast<std::uint64_t>(high - low + 1);
  return low + static_cast<int>(((NextMixed(state) >> 32) * span) >> 32);
}

// Each run steps on its own thread alone: the runs themselves fill the cores.
StepFault StepOnOneThread(ParticleField& field) {
  StepOptions options;
  options.threads = 1;
  return StepParticlesWithOptions(field, options);
}

std::int64_t Nanoseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
}

}  // namespace

std::int64_t ThumbnailFrom(const ExploreSettings& settings) {
  return settings.ticks > settings.thumbnailFrames ? settings.ticks - settings.thumbnailFrames + 1 : 1;
}

Candidate DrawCandidate(const ExploreSettings& settings, std::int64_t index) {
  std::uint64_t state = (std::uint64_t{settings.seed} << 32) ^ static_cast<std::uint64_t>(index);
  NextMixed(state);  // Neighbouring seeds start far apart.
  Candidate candidate;
  candidate.index = index;
  SliderPositions& p = candidate.sliders;
  // Each slider's own range (settings/panel_layout.cpp); TrackBar9 sets only
  // how fast the frames are shown, which a link does not carry: it stays at
  // its start, as the thumbnails play.
  p.TrackBar1 = Between(state, 0, 99);
  p.TrackBar2 = Between(state, 0, 6);
  p.TrackBar3 = Between(state, 1, 24);
  p.TrackBar4 = Between(state, 0, 99);
  p.TrackBar5 = Between(state, 0, 99);
  p.TrackBar6 = Between(state, 0, 99);
  p.TrackBar7 = Between(state, 0, 99);
  p.TrackBar8 = Between(state, 0, 99);
  p.TrackBar9 = 33;
  candidate.darts = Between(state, 0, 1) == 1;
  SharedRun& run = candidate.run;
  run.seed = static_cast<std::uint32_t>(NextMixed(state) >> 32);
  run.count = ParticleCountAt(p.TrackBar1);
  run.size = ParticleSizeAt(p.TrackBar2, candidate.darts);
  run.maxSpeed = p.TrackBar3;
  run.acceleration = ExponentAt(p.TrackBar4);
  run.repulsiveAcceleration = ExponentAt(p.TrackBar5);
  run.activity = p.TrackBar6;
  run.repulsion = p.TrackBar7;
  run.initialRadius = InitialRadiusAt(p.TrackBar8, settings.width, settings.height);
  run.running = true;
  run.width = settings.width;
  run.height = settings.height;
  run.darts = candidate.darts;
  return candidate;
}

std::string CandidateLink(const ExploreSettings& settings, const Candidate& candidate) {
  return settings.page + "#" + LinkFragment(candidate.run);
}

std::vector<std::string> ReproduceArguments(const ExploreSettings& settings, const Candidate& candidate) {
  return {"--link", CandidateLink(settings, candidate), "--ticks", std::to_string(settings.ticks),
          "--gif-from", std::to_string(ThumbnailFrom(settings))};
}

TriedRun TryCandidate(const ExploreSettings& settings, const Candidate& candidate) {
  using Clock = std::chrono::steady_clock;
  RandomSource random;
  auto field = std::make_unique<ParticleField>();
  StartRun(candidate.run, *field, random);
  FrameBitmap bitmap;
  const std::int64_t from = ThumbnailFrom(settings);
  // The ticks before the window run unmeasured, through the tool's own loop.
  TickRunResult settle = RunTicks(*field, bitmap, settings.width, settings.height, from - 1, candidate.darts,
                                  StepOnOneThread, nullptr);
  TriedRun tried;
  // A fault is a verdict on the run; a stop signal leaves it untried.
  const auto faulted = [&] {
    tried.index = candidate.index;
    tried.dropped = Dropped::kFault;
    return tried;
  };
  if (settle.fault != StepFault::kNone) return faulted();
  if (settle.ticksRun != from - 1) return tried;
  // The window: each frame joins the thumbnail, as the tool's --gif-from
  // records it, and is measured.
  GifRecording recording(kStartTimerInterval);
  MeasureRecorder recorder(settings.width, settings.height);
  std::string gif;
  std::int64_t measureTime = 0;
  const FrameStore measure = [&](const FrameBitmap& frame) {
    const Clock::time_point start = Clock::now();
    gif += recording.Add(frame);
    recorder.Add(*field, frame);
    measureTime += Nanoseconds(Clock::now() - start);
    return std::string();
  };
  const TickRunResult window = RunTicks(*field, bitmap, settings.width, settings.height,
                                        settings.ticks - from + 1, candidate.darts, StepOnOneThread, nullptr,
                                        measure);
  if (window.fault != StepFault::kNone) return faulted();
  if (window.ticksRun != settings.ticks - from + 1 || StopSignal() != 0) return tried;
  const Clock::time_point start = Clock::now();
  // The header is not a frame's: the bytes per frame leave it out.
  const std::int64_t header = static_cast<std::int64_t>(
      GifHeader(settings.width, settings.height, 0, 0).size());
  gif += recording.End();
  tried.index = candidate.index;
  tried.measures = recorder.End(static_cast<std::int64_t>(gif.size()) - header - 1);
  tried.dropped = DropReason(tried.measures);
  if (tried.dropped == Dropped::kNo) tried.thumbnail = std::move(gif);
  tried.tickNanoseconds = Nanoseconds(settle.tickTime + window.tickTime);
  tried.measureNanoseconds = measureTime + Nanoseconds(Clock::now() - start);
  return tried;
}

void TryCandidates(const ExploreSettings& settings, const std::vector<std::int64_t>& indices, int threads,
                   const std::function<void(TriedRun&&)>& done) {
  std::mutex mutex;
  std::condition_variable finished;
  std::deque<TriedRun> results;
  std::atomic<std::size_t> next{0};
  int running = threads;
  const auto work = [&] {
    for (std::size_t i = next++; i < indices.size() && StopSignal() == 0; i = next++) {
      TriedRun tried = TryCandidate(settings, DrawCandidate(settings, indices[i]));
      const std::lock_guard lock(mutex);
      results.push_back(std::move(tried));
      finished.notify_one();
    }
    const std::lock_guard lock(mutex);
    --running;
    finished.notify_one();
  };
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) workers.emplace_back(work);
  std::unique_lock lock(mutex);
  while (running > 0 || !results.empty()) {
    finished.wait(lock, [&] { return running == 0 || !results.empty(); });
    while (!results.empty()) {
      TriedRun tried = std::move(results.front());
      results.pop_front();
      lock.unlock();
      done(std::move(tried));
      lock.lock();
    }
  }
  lock.unlock();
  for (std::thread& worker : workers) worker.join();
}

}  // namespace zintrel
