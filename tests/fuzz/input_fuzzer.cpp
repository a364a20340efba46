// Coverage-guided fuzzing of what zintrel-headless reads from outside: state
// files and command lines. The first byte picks the surface:
//   '0' (and every byte = 0 mod 3): the rest is a state file, as it is;
//   '1' (= 1 mod 3): a splice into a good state file. Two bytes give the
//       offset (big-endian, modulo the text's size), one byte how many bytes
//       to drop there, and the rest is inserted, so the reader's checks on a
//       nearly good state are reached without a 50 KB input;
//   '2' (= 2 mod 3): a command line, its arguments separated by NUL bytes.
// Beyond crashes and sanitizer reports, a run stops on a broken promise: an
// error line that is not printable, a rejected state that changed the field,
// an accepted state or command line with a value outside its range, or an
// accepted state that does not read back bit for bit.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "simulation/particle_field.h"
#include "tools/options.h"
#include "state/printable_text.h"
#include "state/state_json.h"

namespace zintrel {
namespace {

void Require(bool holds, const char* promise) {
  if (!holds) {
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
  }
}

// The start values with every particle at rest at the origin: the shortest
// good state, since parsing its text is most of the cost of a splice.
const ParticleField& GoodState() {
  static const std::unique_ptr<ParticleField> field = [] {
    auto made = std::make_unique<ParticleField>();
    SetStartValues(*made);
    return made;
  }();
  return *field;
}

// The good state's text without the layout's spaces and line breaks.
const std::string& GoodText() {
  static const std::string text = [] {
    std::string compact;
    for (const char c : StateToJson(GoodState())) {
      if (c != ' ' && c != '\n') compact += c;
    }
    return compact;
  }();
  return text;
}

// Compares bit patterns, so that -0.0 differs from 0.0 and a NaN from itself
// is no excuse; a dump to text would do the same at a hundred times the cost.
bool SameBits(const ParticleField& a, const ParticleField& b) {
  const auto same = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  return same(a.x, b.x) && same(a.y, b.y) && same(a.vx, b.vx) && same(a.vy, b.vy) &&
         same(a.Heading, b.Heading) && same(a.MaxSpeed, b.MaxSpeed) && same(a.ParticleSize, b.ParticleSize) &&
         same(a.Activity, b.Activity) && same(a.Acceleration, b.Acceleration) && same(a.Repulsion, b.Repulsion) &&
         same(a.RepulsiveAcceleration, b.RepulsiveAcceleration) && same(a.InitialRadius, b.InitialRadius) &&
         a.ParticleCount == b.ParticleCount && a.FieldWidth == b.FieldWidth && a.FieldHeight == b.FieldHeight &&
         a.LastWidth == b.LastWidth && a.LastHeight == b.LastHeight && a.Running == b.Running;
}

bool Within(double value, double min, double max) { return value >= min && value <= max; }

bool ArraysWithinLimits(const ParticleField& field) {
  for (const ParticleArray* values : {&field.x, &field.y, &field.vx, &field.vy, &field.Heading}) {
    for (const double value : *values) {
      if (!(std::fabs(value) <= kMaxStateMagnitude)) return false;
    }
  }
  return true;
}

void ReadState(const std::string& text) {
  auto field = std::make_unique<ParticleField>(GoodState());
  DisplaySettings display;
  const std::string problem = StateFromJson(text, *field, &display);
  Require(IsPrintableText(problem), "the state reader's message is printable");
  if (!problem.empty()) {
    Require(SameBits(*field, GoodState()), "a rejected state leaves the field as it was");
    Require(!display.ShowOrientation && !display.TimerInterval,
            "a rejected state leaves the display settings as they were");
    return;
  }
  Require(!display.TimerInterval || Within(*display.TimerInterval, 1, 4096),
          "an accepted state's timer interval lies in its range");
  Require(Within(field->ParticleCount, 1, MaxParticles) && Within(field->MaxSpeed, 1.0, 24.0) &&
              Within(field->ParticleSize, 1.0, 9.0) && Within(field->Activity, 0.0, 99.0) &&
              Within(field->Acceleration, 0.0, 3.0) && Within(field->RepulsiveAcceleration, 0.0, 3.0) &&
              Within(field->Repulsion, 0.0, 99.0) && Within(field->FieldWidth, 0, 16384) &&
              Within(field->LastHeight, 0, 16384) && Within(field->Running, 0, 1),
          "an accepted state's scalars lie in their ranges");
  Require(ArraysWithinLimits(*field), "an accepted state's particles lie within the limit");
  auto again = std::make_unique<ParticleField>();
  DisplaySettings displayAgain;
  Require(StateFromJson(StateToJson(*field, display), *again, &displayAgain).empty() && SameBits(*again, *field) &&
              displayAgain.ShowOrientation == display.ShowOrientation &&
              displayAgain.TimerInterval == display.TimerInterval,
          "an accepted state reads back bit for bit");
}

void SpliceState(const std::uint8_t* bytes, std::size_t size) {
  if (size < 3) return;
  std::string text = GoodText();
  const std::size_t at = ((std::size_t{bytes[0]} << 8) | bytes[1]) % text.size();
  text.replace(at, bytes[2], reinterpret_cast<const char*>(bytes + 3), size - 3);
  ReadState(text);
}

void ParseCommandLine(const std::uint8_t* bytes, std::size_t size) {
  std::vector<std::string> arguments = {"zintrel-headless"};
  const char* text = reinterpret_cast<const char*>(bytes);
  for (std::size_t start = 0; start <= size;) {
    const void* nul = std::memchr(text + start, 0, size - start);
    const std::size_t end = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size;
    arguments.emplace_back(text + start, end - start);
    start = end + 1;
  }
  const ParsedOptions parsed = ParseOptions(arguments);
  if (!parsed.error.empty()) return;
  const HeadlessOptions& o = parsed.options;
  const auto within = [](const auto& value, double min, double max) {
    return !value || (std::isfinite(static_cast<double>(*value)) && Within(*value, min, max));
  };
  Require(within(o.count, 1, 2500) && within(o.maxSpeed, 1, 24) && within(o.size, 1, 9) &&
              within(o.activity, 0, 99) && within(o.repulsion, 0, 99) && within(o.acceleration, 0, 3) &&
              within(o.repulsiveAcceleration, 0, 3) && within(o.initialRadius, 0, 10000) &&
              within(o.width, 0, 16384) && within(o.height, 0, 16384) && Within(o.ticks, 0, 1e7),
          "an accepted command line's numbers lie in their ranges");
}

}  // namespace
}  // namespace zintrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  switch (bytes[0] % 3) {
    case 0: zintrel::ReadState(std::string(reinterpret_cast<const char*>(bytes + 1), size - 1)); break;
    case 1: zintrel::SpliceState(bytes + 1, size - 1); break;
    default: zintrel::ParseCommandLine(bytes + 1, size - 1); break;
  }
  return 0;
}
