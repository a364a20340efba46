#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/explore_runs.h"

namespace zintrel {

// A run the explorer keeps.
struct KeptRun {
  std::int64_t index = 0;
  RunMeasures measures;
  std::int64_t novelty = -1;  // Distance to the nearest run kept before; -1 for the first.
  std::string thumbnail;      // The GIF's bytes.
};

// Decides, candidate by candidate in index order, what is kept: a run that
// was not dropped and lies at least the novelty distance from every run
// kept before it. The order is the candidates', never the order the threads
// finish in, so the same candidates give the same choice however they were
// tried: Offer holds a run back until every earlier one has been offered.
class Keeper {
 public:
  explicit Keeper(std::int64_t novelty) : novelty_(novelty) {}

  void Offer(TriedRun&& tried);

  // Candidates decided so far: 0 .. Decided() - 1.
  std::int64_t Decided() const { return next_; }
  const std::vector<KeptRun>& Kept() const { return kept_; }
  // How many were dropped for each reason, and as too near a kept one.
  std::map<std::string, std::int64_t> Tally() const { return tally_; }

 private:
  void Decide(TriedRun&& tried);

  std::int64_t novelty_;
  std::int64_t next_ = 0;
  std::map<std::int64_t, TriedRun> waiting_;
  std::vector<KeptRun> kept_;
  std::vector<NormalisedMeasures> keptPoints_;
  std::map<std::string, std::int64_t> tally_{{"still", 0}, {"empty", 0}, {"gas", 0}, {"fault", 0}, {"similar", 0}};
};

// Returns index.json: the exploration's settings and, per kept run, its
// link, measures, novelty, thumbnail and the zintrel-headless arguments
// that write the thumbnail. Whole numbers only, in a fixed order: the same
// runs give the same bytes.
std::string IndexJson(const ExploreSettings& settings, const Keeper& keeper);

// Returns index.html: a contact sheet of the kept runs' thumbnails, each a
// link to its run in the page, and a map of the runs by two measures.
std::string IndexHtml(const ExploreSettings& settings, const Keeper& keeper);

// Returns the thumbnail's file name of candidate index.
std::string ThumbnailName(std::int64_t index);

}  // namespace zintrel
