#include "state/share_link.h"

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

#include "simulation/scatter.h"

namespace zintrel {
namespace {

// The fields of a link: the run's settings (share_link.h), and two of its own.
using LinkField = RunSetting;
constexpr LinkField kRunning{"running", 0.0, 1.0, true};
constexpr LinkField kDarts{"darts", 0.0, 1.0, true};

// The shortest text that reads back to the same double, as the state files
// write them; never in the C locale's way, whatever the locale.
std::string Number(double value) { return nlohmann::json(value).dump(); }

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Reads one value by the JSON number grammar: no sign "+", no spaces, no
// hexadecimal, no "inf" or "nan".
std::optional<double> ParseNumber(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789.eE+-") != std::string_view::npos) return std::nullopt;
  const nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
  if (!value.is_number()) return std::nullopt;
  const double number = value.get<double>();
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

}  // namespace

std::string LinkFragment(const SharedRun& run) {
  std::string text = "zintrel=" + std::to_string(kLinkFormatVersion);
  const auto add = [&text](const LinkField& field, const std::string& value) {
    text += std::string("&") + field.name + "=" + value;
  };
  add(kSeedSetting, std::to_string(run.seed));
  add(kCountSetting, std::to_string(run.count));
  add(kMaxSpeedSetting, Number(run.maxSpeed));
  add(kSizeSetting, Number(run.size));
  add(kActivitySetting, Number(run.activity));
  add(kRepulsionSetting, Number(run.repulsion));
  add(kAccelerationSetting, Number(run.acceleration));
  add(kRepulsiveAccelerationSetting, Number(run.repulsiveAcceleration));
  add(kRunning, run.running ? "1" : "0");
  if (run.initialRadius) add(kInitialRadiusSetting, Number(*run.initialRadius));
  add(kWidthSetting, std::to_string(run.width));
  add(kHeightSetting, std::to_string(run.height));
  add(kDarts, run.darts ? "1" : "0");
  return text;
}

std::string ReadLink(std::string_view address, SharedRun& run) {
  const std::size_t hash = address.find('#');
  std::string_view fragment = hash == std::string_view::npos ? address : address.substr(hash + 1);
  // A fragment alone starts with the format; anything else is some other address.
  if (!fragment.starts_with("zintrel=") && fragment.find("&zintrel=") == std::string_view::npos) {
    return "this is not a Zintrel link";
  }
  std::map<std::string, std::string_view, std::less<>> values;
  while (!fragment.empty()) {
    const std::size_t end = std::min(fragment.find('&'), fragment.size());
    const std::string_view pair = fragment.substr(0, end);
    fragment.remove_prefix(std::min(end + 1, fragment.size()));
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) return "the link's " + Quoted(pair) + " is not a field with a value";
    const std::string name(pair.substr(0, equals));
    if (!values.emplace(name, pair.substr(equals + 1)).second) return "the link names " + Quoted(name) + " twice";
  }
  const auto version = values.find("zintrel");
  if (version == values.end()) return "this is not a Zintrel link";
  const std::optional<double> format = ParseNumber(version->second);
  if (!format || *format != std::trunc(*format) || *format < 1) {
    return "the link's format " + Quoted(version->second) + " is not a version";
  }
  if (*format > kLinkFormatVersion) {
    return "the link is of a later version of Zintrel (format " + std::string(version->second) +
           "), which this one cannot replay";
  }
  values.erase(version);

  SharedRun read;
  std::string problem;
  // Takes a field's value out of values; false with problem set when it is
  // missing or bad.
  const auto take = [&](const LinkField& field, bool optional = false) -> std::optional<double> {
    const auto found = values.find(field.name);
    if (found == values.end()) {
      if (!optional) problem = std::string("the link has no ") + Quoted(field.name);
      return std::nullopt;
    }
    const std::string_view text = found->second;
    values.erase(found);
    const std::optional<double> value = ParseNumber(text);
    if (!value) {
      problem = std::string("the link's ") + field.name + " " + Quoted(text) + " is not a number";
    } else if (field.whole && *value != std::trunc(*value)) {
      problem = std::string("the link's ") + field.name + " " + Quoted(text) + " is not a whole number";
    } else if (*value < field.low || *value > field.high) {
      problem = std::string("the link's ") + field.name + " " + Quoted(text) + " is outside " +
                Number(field.low) + " .. " + Number(field.high);
    } else {
      return value;
    }
    return std::nullopt;
  };
  const auto need = [&](const LinkField& field, auto& target) {
    if (!problem.empty()) return;
    if (const std::optional<double> value = take(field)) target = static_cast<std::remove_reference_t<decltype(target)>>(*value);
  };
  need(kSeedSetting, read.seed);
  need(kCountSetting, read.count);
  need(kMaxSpeedSetting, read.maxSpeed);
  need(kSizeSetting, read.size);
  need(kActivitySetting, read.activity);
  need(kRepulsionSetting, read.repulsion);
  need(kAccelerationSetting, read.acceleration);
  need(kRepulsiveAccelerationSetting, read.repulsiveAcceleration);
  need(kRunning, read.running);
  if (problem.empty()) {
    read.initialRadius = take(kInitialRadiusSetting, true);
  }
  need(kWidthSetting, read.width);
  need(kHeightSetting, read.height);
  need(kDarts, read.darts);
  if (!problem.empty()) return problem;
  if (!values.empty()) return "the link's field " + Quoted(values.begin()->first) + " is unknown";
  run = read;
  return {};
}

SharedRun RunOf(const ParticleField& field, std::uint32_t seed, bool darts) {
  SharedRun run;
  run.seed = seed;
  run.count = field.ParticleCount;
  run.maxSpeed = field.MaxSpeed;
  run.size = field.ParticleSize;
  run.activity = field.Activity;
  run.repulsion = field.Repulsion;
  run.acceleration = field.Acceleration;
  run.repulsiveAcceleration = field.RepulsiveAcceleration;
  run.running = field.Running != 0;
  if (field.InitialRadius >= 1.0) run.initialRadius = field.InitialRadius;
  run.width = field.FieldWidth;
  run.height = field.FieldHeight;
  run.darts = darts;
  return run;
}

void StartRun(const SharedRun& run, ParticleField& field, RandomSource& random) {
  random.Seed(run.seed);
  field = ParticleField{};
  SetStartValues(field);
  Scatter(field, random);
  field.ParticleCount = run.count;
  field.MaxSpeed = run.maxSpeed;
  field.ParticleSize = run.size;
  field.Activity = run.activity;
  field.Repulsion = run.repulsion;
  field.Acceleration = run.acceleration;
  field.RepulsiveAcceleration = run.repulsiveAcceleration;
  if (!run.running) field.Running = 0;
  if (run.initialRadius) {
    field.InitialRadius = *run.initialRadius;
    Scatter(field, random);
  }
}

}  // namespace zintrel
