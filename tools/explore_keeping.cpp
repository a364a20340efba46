#include "tools/explore_keeping.h"

#include <algorithm>
#include <cstdio>

namespace zintrel {
namespace {

std::string Number(std::int64_t value) { return std::to_string(value); }

// Returns text as a JSON string, quotes included.
std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// Returns text fit for an HTML attribute or element.
std::string Html(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string MeasuresJson(const RunMeasures& measures) {
  const auto values = MeasureValues(measures);
  std::string json = "{";
  for (std::size_t i = 0; i < values.size(); ++i) {
    json += (i ? ", " : "") + JsonString(kMeasureNames[i]) + ": " + Number(values[i]);
  }
  return json + "}";
}

}  // namespace

std::string ThumbnailName(std::int64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "run-%06lld.gif", static_cast<long long>(index));
  return name;
}

void Keeper::Offer(TriedRun&& tried) {
  waiting_.emplace(tried.index, std::move(tried));
  for (auto first = waiting_.begin(); first != waiting_.end() && first->first == next_; first = waiting_.begin()) {
    TriedRun run = std::move(first->second);
    waiting_.erase(first);
    Decide(std::move(run));
    ++next_;
  }
}

void Keeper::Decide(TriedRun&& tried) {
  if (tried.dropped != Dropped::kNo) {
    ++tally_[DroppedName(tried.dropped)];
    return;
  }
  const NormalisedMeasures point = Normalise(tried.measures);
  std::int64_t nearest = -1;
  for (const NormalisedMeasures& kept : keptPoints_) {
    const std::int64_t distance = MeasureDistance(point, kept);
    if (nearest < 0 || distance < nearest) nearest = distance;
  }
  if (nearest >= 0 && nearest < novelty_) {
    ++tally_["similar"];
    return;
  }
  keptPoints_.push_back(point);
  kept_.push_back({tried.index, tried.measures, nearest, std::move(tried.thumbnail)});
}

std::string IndexJson(const ExploreSettings& settings, const Keeper& keeper) {
  std::string json = "{\n";
  json += "  \"seed\": " + Number(settings.seed) + ",\n";
  json += "  \"runs\": " + Number(settings.runs) + ",\n";
  json += "  \"tried\": " + Number(keeper.Decided()) + ",\n";
  json += "  \"ticks\": " + Number(settings.ticks) + ",\n";
  json += "  \"width\": " + Number(settings.width) + ",\n";
  json += "  \"height\": " + Number(settings.height) + ",\n";
  json += "  \"thumbnailFrom\": " + Number(ThumbnailFrom(settings)) + ",\n";
  json += "  \"novelty\": " + Number(settings.novelty) + ",\n";
  json += "  \"dropped\": {";
  bool first = true;
  for (const auto& [reason, count] : keeper.Tally()) {
    json += (first ? "" : ", ") + JsonString(reason) + ": " + Number(count);
    first = false;
  }
  json += "},\n  \"kept\": [";
  first = true;
  for (const KeptRun& kept : keeper.Kept()) {
    const Candidate candidate = DrawCandidate(settings, kept.index);
    std::string reproduce;
    for (const std::string& argument : ReproduceArguments(settings, candidate)) {
      reproduce += (reproduce.empty() ? "" : ", ") + JsonString(argument);
    }
    json += first ? "\n" : ",\n";
    first = false;
    json += "    {\"candidate\": " + Number(kept.index) + ",\n";
    json += "     \"link\": " + JsonString(CandidateLink(settings, candidate)) + ",\n";
    json += "     \"thumbnail\": " + JsonString(ThumbnailName(kept.index)) + ",\n";
    json += "     \"reproduce\": [" + reproduce + "],\n";
    json += "     \"novelty\": " + (kept.novelty < 0 ? std::string("null") : Number(kept.novelty)) + ",\n";
    json += "     \"measures\": " + MeasuresJson(kept.measures) + "}";
  }
  json += first ? "]\n}\n" : "\n  ]\n}\n";
  return json;
}

std::string IndexHtml(const ExploreSettings& settings, const Keeper& keeper) {
  // The map's axes: how clumped against how fast, the two measures that
  // part the behaviours most plainly. Both normalised to 0 .. 1000.
  constexpr int kMap = 480;
  constexpr int kMargin = 40;
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Zintrel runs found</title>\n<style>\n"
      "body { background: #111; color: #ddd; font: 13px sans-serif; margin: 16px; }\n"
      ".sheet { display: flex; flex-wrap: wrap; gap: 10px; }\n"
      "figure { margin: 0; width: " + Number(settings.width) + "px; }\n"
      "figure img { display: block; border: 1px solid #444; image-rendering: pixelated; }\n"
      "figcaption { font-size: 11px; color: #aaa; }\n"
      "a { color: #8cf; }\nsvg text { fill: #aaa; font-size: 11px; }\n"
      "</style>\n</head>\n<body>\n";
  html += "<h1>" + Number(static_cast<std::int64_t>(keeper.Kept().size())) + " runs kept of " +
          Number(keeper.Decided()) + " tried</h1>\n";
  html += "<p>Seed " + Number(settings.seed) + ", " + Number(settings.ticks) + " ticks at " +
          Number(settings.width) + " &times; " + Number(settings.height) +
          " pixels; each thumbnail shows the last " + Number(settings.ticks - ThumbnailFrom(settings) + 1) +
          " ticks. Choose one to run it in the page.</p>\n";
  html += "<svg width=\"" + Number(kMap + 2 * kMargin) + "\" height=\"" + Number(kMap + 2 * kMargin) +
          "\" role=\"img\" aria-label=\"The kept runs by clumping and speed\">\n";
  html += "<rect x=\"" + Number(kMargin) + "\" y=\"" + Number(kMargin) + "\" width=\"" + Number(kMap) +
          "\" height=\"" + Number(kMap) + "\" fill=\"none\" stroke=\"#555\"/>\n";
  html += "<text x=\"" + Number(kMargin) + "\" y=\"" + Number(kMap + 2 * kMargin - 12) +
          "\">clumping (gas at the left, clumps at the right) &#8594;</text>\n";
  html += "<text transform=\"translate(14 " + Number(kMargin + kMap) +
          ") rotate(-90)\">mean speed &#8594;</text>\n";
  for (const KeptRun& kept : keeper.Kept()) {
    const NormalisedMeasures point = Normalise(kept.measures);
    const std::int64_t x = kMargin + point[1] * kMap / 1000;
    const std::int64_t y = kMargin + kMap - point[4] * kMap / 1000;
    const Candidate candidate = DrawCandidate(settings, kept.index);
    html += "<a href=\"" + Html(CandidateLink(settings, candidate)) + "\"><circle cx=\"" + Number(x) +
            "\" cy=\"" + Number(y) + "\" r=\"5\" fill=\"#8cf\"><title>run " + Number(kept.index) +
            "</title></circle><text x=\"" + Number(x + 7) + "\" y=\"" + Number(y + 4) + "\">" +
            Number(kept.index) + "</text></a>\n";
  }
  html += "</svg>\n<div class=\"sheet\">\n";
  for (const KeptRun& kept : keeper.Kept()) {
    const Candidate candidate = DrawCandidate(settings, kept.index);
    const RunMeasures& m = kept.measures;
    html += "<figure><a href=\"" + Html(CandidateLink(settings, candidate)) + "\"><img src=\"" +
            ThumbnailName(kept.index) + "\" width=\"" + Number(settings.width) + "\" height=\"" +
            Number(settings.height) + "\" alt=\"run " + Number(kept.index) + "\"></a>\n<figcaption>run " +
            Number(kept.index) + ": " + Number(candidate.run.count) + " particles, fill " + Number(m.fill / 10) +
            "%, " + Number(m.clusters) + " clumps, speed " + Number(m.speed * 100 / 256 / 100) + "." +
            Number(m.speed * 100 / 256 % 100 / 10) + ", turning " + Number(m.rotation / 10) +
            "%</figcaption></figure>\n";
  }
  html += "</div>\n</body>\n</html>\n";
  return html;
}

}  // namespace zintrel
