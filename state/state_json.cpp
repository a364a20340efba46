#include "state/state_json.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "state/printable_text.h"

namespace zintrel {
namespace {

// nlohmann's writer prints the shortest text that reads back to the same
// double and keeps the sign of zero ("-0.0"); Qt's JSON classes turn -0.0
// into 0, and a rescale to width 0 stores -0.0 for particles left of the
// edge, so the state would not survive a round trip through them.
using Json = nlohmann::ordered_json;

struct DoubleField {
  const char* name;
  double ParticleField::*member;
  double min;
  double max;
};

struct WholeField {
  const char* name;
  std::int32_t ParticleField::*member;
  std::int32_t min;
  std::int32_t max;
};

struct ArrayField {
  const char* name;
  ParticleArray ParticleField::*member;
};

// Each range is the one its settings control (or the measured window size)
// can produce; InitialRadius goes up to the largest --initial-radius.
constexpr DoubleField kDoubleFields[] = {
    {"MaxSpeed", &ParticleField::MaxSpeed, kMaxSpeedRange.low, kMaxSpeedRange.high},
    {"ParticleSize", &ParticleField::ParticleSize, kParticleSizeRange.low, kParticleSizeRange.high},
    {"Activity", &ParticleField::Activity, kActivityRange.low, kActivityRange.high},
    {"Acceleration", &ParticleField::Acceleration, kAccelerationRange.low, kAccelerationRange.high},
    {"Repulsion", &ParticleField::Repulsion, kRepulsionRange.low, kRepulsionRange.high},
    {"RepulsiveAcceleration", &ParticleField::RepulsiveAcceleration,
     kRepulsiveAccelerationRange.low, kRepulsiveAccelerationRange.high},
    {"InitialRadius", &ParticleField::InitialRadius, 0.0, 10000.0},
};

constexpr WholeField kWholeFields[] = {
    {"ParticleCount", &ParticleField::ParticleCount, 1, MaxParticles},
    {"FieldWidth", &ParticleField::FieldWidth, 0, 16384},
    {"FieldHeight", &ParticleField::FieldHeight, 0, 16384},
    {"LastWidth", &ParticleField::LastWidth, 0, 16384},
    {"LastHeight", &ParticleField::LastHeight, 0, 16384},
    {"Running", &ParticleField::Running, 0, 1},
};

constexpr ArrayField kArrayFields[] = {
    {"x", &ParticleField::x},   {"y", &ParticleField::y},
    {"vx", &ParticleField::vx}, {"vy", &ParticleField::vy},
    {"Heading", &ParticleField::Heading},
};

std::string Quoted(const std::string& name) { return "'" + name + "'"; }

std::string Number(double value) { return Json(value).dump(); }

// Returns the numeric value stored under name, or an error in problem.
std::optional<double> ReadNumber(const Json& object, const char* name, std::string& problem) {
  const auto it = object.find(name);
  if (it == object.end()) {
    problem = "missing field " + Quoted(name);
    return std::nullopt;
  }
  if (!it->is_number()) {
    problem = "field " + Quoted(name) + " is of type " + it->type_name() + ", not a number";
    return std::nullopt;
  }
  return it->get<double>();
}

std::string OutOfRange(const char* name, double value, double min, double max) {
  return "field " + Quoted(name) + " is " + Number(value) + ", outside " + Number(min) + " .. " +
         Number(max);
}

std::string ReadScalars(const Json& object, ParticleField& field) {
  std::string problem;
  for (const DoubleField& rule : kDoubleFields) {
    const std::optional<double> value = ReadNumber(object, rule.name, problem);
    if (!value) return problem;
    if (!(*value >= rule.min && *value <= rule.max)) {
      return OutOfRange(rule.name, *value, rule.min, rule.max);
    }
    field.*rule.member = *value;
  }
  for (const WholeField& rule : kWholeFields) {
    const std::optional<double> value = ReadNumber(object, rule.name, problem);
    if (!value) return problem;
    if (*value != std::trunc(*value)) {
      return "field " + Quoted(rule.name) + " is " + Number(*value) + ", not a whole number";
    }
    if (!(*value >= rule.min && *value <= rule.max)) {
      return OutOfRange(rule.name, *value, rule.min, rule.max);
    }
    field.*rule.member = static_cast<std::int32_t>(*value);
  }
  return {};
}

std::string ReadArrays(const Json& object, ParticleField& field) {
  for (const ArrayField& rule : kArrayFields) {
    const auto it = object.find(rule.name);
    if (it == object.end()) return "missing field " + Quoted(rule.name);
    if (!it->is_array()) return "field " + Quoted(rule.name) + " is of type " + it->type_name() + ", not an array";
    if (it->size() != static_cast<std::size_t>(MaxParticles)) {
      return "field " + Quoted(rule.name) + " holds " + std::to_string(it->size()) + " numbers, not " +
             std::to_string(MaxParticles);
    }
    ParticleArray& values = field.*rule.member;
    for (int k = 0; k < MaxParticles; ++k) {
      const Json& element = (*it)[static_cast<std::size_t>(k)];
      // Named only on failure: building the name for each of the 12500
      // numbers took a quarter of the reading time.
      const auto where = [&rule, k] { return Quoted(rule.name) + "[" + std::to_string(k) + "]"; };
      if (!element.is_number()) return where() + " is of type " + element.type_name() + ", not a number";
      const double value = element.get<double>();
      if (!(std::fabs(value) <= kMaxStateMagnitude)) {
        return where() + " is " + Number(value) + ", beyond +-" + Number(kMaxStateMagnitude);
      }
      values[k] = value;
    }
  }
  return {};
}

constexpr char kVersionName[] = "Version";
constexpr char kShowOrientationName[] = "ShowOrientation";
constexpr char kTimerIntervalName[] = "TimerInterval";
// The interval TrackBar9 spans, in milliseconds.
constexpr std::int32_t kMinTimerInterval = 1;
constexpr std::int32_t kMaxTimerInterval = 4096;

// Returns the whole number under name when it is present, or an error in
// problem; std::nullopt without a problem when it is absent.
std::optional<std::int32_t> ReadOptionalWhole(const Json& object, const char* name, std::int32_t min,
                                              std::int32_t max, std::string& problem) {
  if (!object.contains(name)) return std::nullopt;
  const std::optional<double> value = ReadNumber(object, name, problem);
  if (!value) return std::nullopt;
  if (*value != std::trunc(*value)) {
    problem = "field " + Quoted(name) + " is " + Number(*value) + ", not a whole number";
    return std::nullopt;
  }
  if (!(*value >= min && *value <= max)) {
    problem = OutOfRange(name, *value, min, max);
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*value);
}

std::string ReadVersion(const Json& object) {
  std::string problem;
  const std::optional<std::int32_t> version =
      ReadOptionalWhole(object, kVersionName, 0, std::numeric_limits<std::int32_t>::max(), problem);
  if (!problem.empty()) return problem;
  if (version && *version != kStateFormatVersion) {
    return "format version " + std::to_string(*version) + " is not one this program reads (it reads " +
           std::to_string(kStateFormatVersion) + ")";
  }
  return {};
}

std::string ReadDisplay(const Json& object, DisplaySettings& display) {
  if (const auto it = object.find(kShowOrientationName); it != object.end()) {
    if (!it->is_boolean()) {
      return "field " + Quoted(kShowOrientationName) + " is of type " + it->type_name() + ", not a boolean";
    }
    display.ShowOrientation = it->get<bool>();
  }
  std::string problem;
  display.TimerInterval =
      ReadOptionalWhole(object, kTimerIntervalName, kMinTimerInterval, kMaxTimerInterval, problem);
  return problem;
}

bool IsKnownField(const std::string& name) {
  if (name == kVersionName || name == kShowOrientationName || name == kTimerIntervalName) return true;
  for (const DoubleField& rule : kDoubleFields) if (name == rule.name) return true;
  for (const WholeField& rule : kWholeFields) if (name == rule.name) return true;
  for (const ArrayField& rule : kArrayFields) if (name == rule.name) return true;
  return false;
}

// What a state holds at most: one object of scalars and arrays of numbers,
// so no container opens inside an array, and no more values than its
// fields. The parser is stopped at the first value past these bounds, so a
// rejected file never costs more than a state's worth of parsed values.
constexpr int kMaxContainerDepth = 1;  // The object at 0, its arrays at 1.
constexpr std::size_t kMaxValues =
    std::size(kArrayFields) * static_cast<std::size_t>(MaxParticles) + std::size(kDoubleFields) +
    std::size(kWholeFields) + 16;
constexpr std::size_t kMaxKeys = std::size(kArrayFields) + std::size(kDoubleFields) + std::size(kWholeFields) + 16;

struct BeyondAState {
  std::string problem;
};

// Parses text as JSON within a state's bounds; throws BeyondAState or the
// parser's own exception.
Json ParseBounded(const std::string& text) {
  std::size_t values = 0;
  std::size_t keys = 0;
  // The names of each open object, by depth: a name given twice would
  // otherwise be read as its last value, silently.
  std::vector<std::set<std::string>> names(kMaxContainerDepth + 2);
  return Json::parse(text, [&values, &keys, &names](int depth, Json::parse_event_t event, Json& parsed) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
        depth > kMaxContainerDepth) {
      throw BeyondAState{"nested deeper than a state, which is an object of numbers and arrays of numbers"};
    }
    if (event == Json::parse_event_t::object_start) names[static_cast<std::size_t>(depth) + 1].clear();
    if (event == Json::parse_event_t::key &&
        !names[static_cast<std::size_t>(depth)].insert(parsed.get<std::string>()).second) {
      throw BeyondAState{"the field " + Quoted(parsed.get<std::string>()) + " is given twice"};
    }
    if (event == Json::parse_event_t::value && ++values > kMaxValues) {
      throw BeyondAState{"more than the " + std::to_string(kMaxValues) + " values a state holds"};
    }
    if (event == Json::parse_event_t::key && ++keys > kMaxKeys) {
      throw BeyondAState{"more than the " + std::to_string(kMaxKeys) + " fields a state holds"};
    }
    return true;
  });
}

// Returns the first problem with text, or "" with field filled. Messages
// may quote the file (the parser's last-read token, a field name), so the
// caller makes them printable.
std::string ReadState(const std::string& text, ParticleField& field, DisplaySettings* display) {
  // The parser takes a NUL byte for the end of its input, so a state
  // followed by one and anything at all would read as whole.
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
    const std::size_t lineStart = text.rfind('\n', nul);
    const std::size_t line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + nul, '\n'));
    const std::size_t column = lineStart == std::string::npos ? nul + 1 : nul - lineStart;
    return "malformed JSON: a NUL byte at line " + std::to_string(line) + ", column " + std::to_string(column);
  }
  Json object;
  try {
    object = ParseBounded(text);
  } catch (const BeyondAState& beyond) {
    return beyond.problem;
  } catch (const Json::exception& error) {
    // Drop the "[json.exception.parse_error.101] " prefix; the rest says where.
    std::string message = error.what();
    const std::size_t prefixEnd = message.find("] ");
    if (prefixEnd != std::string::npos) message.erase(0, prefixEnd + 2);
    return "malformed JSON: " + message;
  }
  if (!object.is_object()) return "the state is of type " + std::string(object.type_name()) + ", not an object";
  for (const auto& [name, value] : object.items()) {
    if (!IsKnownField(name)) return "unknown field " + Quoted(name);
  }
  if (std::string problem = ReadVersion(object); !problem.empty()) return problem;
  // Filled aside so that a rejected state leaves the caller's as it was.
  auto read = std::make_unique<ParticleField>(field);
  DisplaySettings readDisplay;
  std::string problem = ReadScalars(object, *read);
  if (problem.empty()) problem = ReadDisplay(object, readDisplay);
  if (problem.empty()) problem = ReadArrays(object, *read);
  if (!problem.empty()) return problem;
  read->LastWidth = read->FieldWidth;
  read->LastHeight = read->FieldHeight;
  field = *read;
  if (display != nullptr) *display = readDisplay;
  return {};
}

}  // namespace

std::string StateToJson(const ParticleField& field, const DisplaySettings& display) {
  Json object = Json::object();
  object[kVersionName] = kStateFormatVersion;
  for (const DoubleField& rule : kDoubleFields) object[rule.name] = field.*rule.member;
  for (const WholeField& rule : kWholeFields) object[rule.name] = field.*rule.member;
  if (display.ShowOrientation) object[kShowOrientationName] = *display.ShowOrientation;
  if (display.TimerInterval) object[kTimerIntervalName] = *display.TimerInterval;
  for (const ArrayField& rule : kArrayFields) {
    const ParticleArray& values = field.*rule.member;
    object[rule.name] = values;
  }
  return object.dump(1) + "\n";
}

std::string ReadStateJson(const std::string& text, ParticleField& field, DisplaySettings* display) {
  return ReadState(text, field, display);
}

std::string StateFromJson(const std::string& text, ParticleField& field, DisplaySettings* display) {
  return PrintableText(ReadState(text, field, display));
}

}  // namespace zintrel
