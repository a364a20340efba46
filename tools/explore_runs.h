#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/slider_mapping.h"
#include "state/share_link.h"
#include "tools/explore_measures.h"

namespace zintrel {

// What every candidate of one exploration shares.
struct ExploreSettings {
  std::uint32_t seed = 0;
  std::int64_t runs = 0;
  std::int64_t ticks = 600;
  int width = 240;
  int height = 160;
  std::int64_t thumbnailFrames = 150;  // The last ticks: the thumbnail and the measures' window.
  std::int64_t novelty = 250;          // The least distance to every run kept before.
  std::string page;                    // The web page's address the links start with.
  bool operator==(const ExploreSettings&) const = default;
};

// Returns the first tick the thumbnail shows (from 1).
std::int64_t ThumbnailFrom(const ExploreSettings& settings);

// One candidate run: where its sliders stand and the run they give.
struct Candidate {
  std::int64_t index = 0;
  SliderPositions sliders{};
  bool darts = true;
  SharedRun run;
};

// Returns candidate index of the exploration: its slider positions and the
// run's seed drawn from a generator of its own, seeded by the exploration's
// seed and the index, so that any candidate is drawn without the others
// (shards) and the same everywhere. Every slider that changes the motion or
// the picture is drawn over its whole range, and the check box.
Candidate DrawCandidate(const ExploreSettings& settings, std::int64_t index);

// Returns the candidate's link: the page's address, "#" and the fragment.
std::string CandidateLink(const ExploreSettings& settings, const Candidate& candidate);
// Returns the zintrel-headless arguments that write the candidate's
// thumbnail once "--gif FILE" is added.
std::vector<std::string> ReproduceArguments(const ExploreSettings& settings, const Candidate& candidate);

// A candidate tried: its measures and, unless it was dropped, its thumbnail.
struct TriedRun {
  std::int64_t index = -1;  // -1: not tried (stopped before, or a fault).
  RunMeasures measures;
  Dropped dropped = Dropped::kNo;
  std::string thumbnail;  // The GIF's bytes; empty when dropped.
  std::int64_t tickNanoseconds = 0;     // In the ticks themselves.
  std::int64_t measureNanoseconds = 0;  // Measuring and encoding the thumbnail.
};

// Runs the candidate's ticks on the calling thread alone, exactly as
// zintrel-headless runs its link, measures the window and encodes the
// thumbnail. Returns a run of index -1 when a stop signal came first.
TriedRun TryCandidate(const ExploreSettings& settings, const Candidate& candidate);

// Tries the candidates of indices, threads side by side, and hands each
// result to done on the calling thread, in the order they finish. Stops
// starting new ones once a stop signal has arrived.
void TryCandidates(const ExploreSettings& settings, const std::vector<std::int64_t>& indices, int threads,
                   const std::function<void(TriedRun&&)>& done);

}  // namespace zintrel
