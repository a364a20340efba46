#include "state/state_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>

#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "tests/simulation/field_hash.h"
#include "state/printable_text.h"

namespace zintrel {
namespace {

std::unique_ptr<ParticleField> StartState(std::uint32_t seed) {
  auto field = std::make_unique<ParticleField>();
  SetStartValues(*field);
  RandomSource random(seed);
  Scatter(*field, random);
  return field;
}

// Doubles whose text forms are easy to get wrong: signed zero, subnormals,
// values with no short decimal form, the extremes a state may hold.
TEST(StateJsonTest, RoundTripKeepsEveryBit) {
  const double awkward[] = {-0.0, 0.0, 5e-324, -5e-324, 2.2250738585072014e-308, 0.1, 1.0 / 3.0,
                            -2.0 / 3.0, 1e9, -1e9, std::nextafter(1e9, 0.0), 123456789.12345678,
                            4.0 * std::atan(1.0), 1e-300};
  auto field = StartState(7);
  RandomSource random(99);
  for (int k = 0; k < MaxParticles; ++k) {
    // Every fifth slot an awkward value, the rest random doubles of any scale.
    const double value = k % 5 == 0 ? awkward[(k / 5) % std::size(awkward)]
                                    : (random.Next() - 0.5) * std::pow(10.0, 18.0 * random.Next() - 9.0);
    field->x[k] = value;
    field->y[k] = -value;
    field->vx[k] = value * 1e-3;
    field->vy[k] = std::nextafter(value, 1.0);
    field->Heading[k] = std::nextafter(value, -1.0);
  }
  field->MaxSpeed = std::nextafter(24.0, 0.0);
  field->Acceleration = 1.0 / 33.0;
  field->RepulsiveAcceleration = 98.0 / 33.0;
  field->InitialRadius = 436.0 * (10.0 / 99.0) / 2.0 + 1.0;
  field->FieldWidth = 16384;
  field->FieldHeight = 0;
  field->LastWidth = 16384;
  field->LastHeight = 0;
  field->Running = 0;

  auto read = std::make_unique<ParticleField>();
  DisplaySettings display;
  ASSERT_EQ(StateFromJson(StateToJson(*field, {false, 4096}), *read, &display), "");
  EXPECT_EQ(HashField(*read), HashField(*field));
  EXPECT_TRUE(std::signbit(read->x[0]));  // awkward[0] is -0.0.
  EXPECT_EQ(display.ShowOrientation, false);
  EXPECT_EQ(display.TimerInterval, 4096);
}

// The field size is what the next tick compares with, whatever the file
// says the previous tick saw; a state saved between ticks holds equal pairs.
TEST(StateJsonTest, TheFieldSizeIsWhatTheNextTickComparesWith) {
  auto json = nlohmann::json::parse(StateToJson(*StartState(1)));
  json["FieldWidth"] = 800;
  json["FieldHeight"] = 0;
  json["LastWidth"] = 330;
  json["LastHeight"] = 440;
  auto field = std::make_unique<ParticleField>();
  ASSERT_EQ(StateFromJson(json.dump(), *field), "");
  EXPECT_EQ(field->LastWidth, 800);
  EXPECT_EQ(field->LastHeight, 0);
}

// Files written before the format carried its version and display settings
// still open; a file says nothing it does not hold, and a later version is
// refused rather than misread.
TEST(StateJsonTest, ReadsEarlierFilesAndRefusesLaterVersions) {
  auto json = nlohmann::json::parse(StateToJson(*StartState(1), {true, 16}));
  EXPECT_EQ(nlohmann::ordered_json::parse(StateToJson(*StartState(1))).begin().key(), "Version");
  EXPECT_EQ(json["Version"], kStateFormatVersion);

  auto earlier = json;
  for (const char* name : {"Version", "ShowOrientation", "TimerInterval"}) earlier.erase(name);
  auto field = std::make_unique<ParticleField>();
  DisplaySettings display{true, 16};
  ASSERT_EQ(StateFromJson(earlier.dump(), *field, &display), "");
  EXPECT_EQ(HashField(*field), HashField(*StartState(1)));
  EXPECT_FALSE(display.ShowOrientation.has_value());
  EXPECT_FALSE(display.TimerInterval.has_value());

  const struct {
    std::function<void(nlohmann::json&)> spoil;
    const char* expected;
  } cases[] = {
      {[](auto& j) { j["Version"] = 2; }, "format version 2 is not one this program reads (it reads 1)"},
      {[](auto& j) { j["Version"] = 0; }, "format version 0"},
      {[](auto& j) { j["Version"] = "1"; }, "'Version' is of type string"},
      {[](auto& j) { j["Version"] = 1.5; }, "'Version' is 1.5, not a whole number"},
      {[](auto& j) { j["ShowOrientation"] = 1; }, "'ShowOrientation' is of type number, not a boolean"},
      {[](auto& j) { j["TimerInterval"] = 0; }, "'TimerInterval' is 0.0, outside 1.0 .. 4096.0"},
      {[](auto& j) { j["TimerInterval"] = 4097; }, "'TimerInterval' is 4097.0"},
      {[](auto& j) { j["TimerInterval"] = nullptr; }, "'TimerInterval' is of type null"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.expected);
    auto spoilt = json;
    test.spoil(spoilt);
    auto before = StartState(11);
    DisplaySettings kept{false, 77};
    const std::string error = StateFromJson(spoilt.dump(), *before, &kept);
    EXPECT_NE(error.find(test.expected), std::string::npos) << error;
    EXPECT_EQ(HashField(*before), HashField(*StartState(11)));
    EXPECT_EQ(kept.ShowOrientation, false);
    EXPECT_EQ(kept.TimerInterval, 77);
  }
}

// Whole-number fields may be written as 50.0; the ranges' ends are allowed.
TEST(StateJsonTest, AcceptsBoundaryValuesAndWholeFractions) {
  auto json = nlohmann::json::parse(StateToJson(*StartState(1)));
  json["ParticleCount"] = 2500.0;
  json["MaxSpeed"] = 1;
  json["ParticleSize"] = 9;
  json["InitialRadius"] = 10000;
  json["FieldWidth"] = 0;
  json["FieldHeight"] = 16384;
  json["x"][3] = -kMaxStateMagnitude;
  auto field = std::make_unique<ParticleField>();
  ASSERT_EQ(StateFromJson(json.dump(), *field), "");
  EXPECT_EQ(field->ParticleCount, 2500);
  EXPECT_EQ(field->MaxSpeed, 1.0);
  EXPECT_EQ(field->FieldHeight, 16384);
  EXPECT_EQ(field->x[3], -kMaxStateMagnitude);
}

struct RejectCase {
  const char* name;
  std::function<void(nlohmann::json&)> spoil;
  const char* expected;  // A fragment of the error line.
};

TEST(StateJsonTest, RejectsEveryKindOfBadState) {
  const RejectCase cases[] = {
      {"missing scalar", [](auto& j) { j.erase("Repulsion"); }, "missing field 'Repulsion'"},
      {"missing array", [](auto& j) { j.erase("vy"); }, "missing field 'vy'"},
      {"unknown field", [](auto& j) { j["Speed"] = 1; }, "unknown field 'Speed'"},
      {"string scalar", [](auto& j) { j["MaxSpeed"] = "8"; }, "'MaxSpeed' is of type string"},
      {"boolean scalar", [](auto& j) { j["Running"] = true; }, "'Running' is of type boolean"},
      {"scalar array", [](auto& j) { j["x"] = 3.0; }, "'x' is of type number, not an array"},
      {"short array", [](auto& j) { j["Heading"].erase(0); }, "holds 2499 numbers"},
      {"null element", [](auto& j) { j["vx"][17] = nullptr; }, "'vx'[17] is of type null"},
      {"huge element", [](auto& j) { j["y"][2499] = 1.5e9; }, "'y'[2499] is 1500000000.0"},
      {"no particles", [](auto& j) { j["ParticleCount"] = 0; }, "'ParticleCount' is 0"},
      {"too many", [](auto& j) { j["ParticleCount"] = 2501; }, "'ParticleCount' is 2501"},
      {"fractional count", [](auto& j) { j["ParticleCount"] = 2.5; }, "not a whole number"},
      {"running 2", [](auto& j) { j["Running"] = 2; }, "'Running' is 2"},
      {"negative width", [](auto& j) { j["FieldWidth"] = -1; }, "'FieldWidth' is -1"},
      {"slow", [](auto& j) { j["MaxSpeed"] = 0.5; }, "'MaxSpeed' is 0.5"},
      {"hyperactive", [](auto& j) { j["Activity"] = 99.5; }, "'Activity' is 99.5"},
      {"steep", [](auto& j) { j["Acceleration"] = 3.01; }, "'Acceleration' is 3.01"},
      {"wide disc", [](auto& j) { j["InitialRadius"] = 10000.5; }, "'InitialRadius' is 10000.5"},
      {"not an object", [](auto& j) { j = nlohmann::json::array({1, 2}); }, "not an object"},
  };
  const std::string good = StateToJson(*StartState(3));
  for (const RejectCase& test : cases) {
    SCOPED_TRACE(test.name);
    auto json = nlohmann::json::parse(good);
    test.spoil(json);
    auto field = StartState(11);
    const std::uint64_t before = HashField(*field);
    const std::string error = StateFromJson(json.dump(), *field);
    EXPECT_NE(error.find(test.expected), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(HashField(*field), before);  // A rejected state changes nothing.
  }
}

TEST(StateJsonTest, RejectsMalformedText) {
  const std::string good = StateToJson(*StartState(3));
  const std::string texts[] = {
      "", "{", good.substr(0, good.size() / 2), "{\"x\": [NaN]}", "{\"MaxSpeed\": Infinity}",
      "{\"MaxSpeed\": 1e999}", good + "}", "{\"MaxSpeed\": 8,}",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    auto field = StartState(11);
    const std::string error = StateFromJson(text, *field);
    EXPECT_NE(error.find("malformed JSON"), std::string::npos) << error;
  }
}

// A file within the size bound may still ask the parser for far more than a
// state: 16 MB of nested brackets took 635 MB to parse before being refused,
// and a flat array of millions of numbers a few hundred. Both are refused at
// the first value past a state's shape, before the rest is parsed.
TEST(StateJsonTest, RefusesTextBeyondAStatesShapeBeforeParsingIt) {
  const std::size_t big = 16 * 1024 * 1024 / 2;
  std::string flat = "{\"x\": [0";
  flat.reserve(big + 16);
  while (flat.size() < big) flat += ",0";
  flat += "]}";
  const struct {
    std::string text;
    const char* expected;
  } cases[] = {
      {std::string(big, '[') + std::string(big, ']'), "nested deeper than a state"},
      {"{\"x\": [[1]]}", "nested deeper than a state"},
      {"{\"x\": [{}]}", "nested deeper than a state"},
      {"{\"Version\": {\"a\": 1}}", "'Version' is of type object"},  // Still a state's depth.
      {flat, "more than the 12529 values a state holds"},
      {"{" + std::string(40, ' ') + [] {
         std::string keys;
         for (int k = 0; k < 40; ++k) keys += "\"k" + std::to_string(k) + "\": 0,";
         return keys;
       }() + "\"z\": 0}", "more than the 34 fields a state holds"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.text.substr(0, 20));
    auto field = StartState(11);
    const std::uint64_t before = HashField(*field);
    const std::string error = StateFromJson(test.text, *field);
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find(test.expected), std::string::npos) << error;
    EXPECT_EQ(HashField(*field), before);
  }
  // A state itself, at its largest, is well inside both bounds.
  auto field = StartState(11);
  EXPECT_EQ(StateFromJson(StateToJson(*StartState(4), {true, 16}), *field), "");
}

// A field given twice would be read as one of its values, silently: the
// file is refused instead, as a link naming a field twice is.
TEST(StateJsonTest, RefusesAFieldGivenTwice) {
  const std::string good = StateToJson(*StartState(3));
  for (const std::string& text : {"{\"MaxSpeed\": 1e300, " + good.substr(1),
                                  good.substr(0, good.rfind('}')) + ", \"vx\": [1]}"}) {
    auto field = StartState(11);
    const std::uint64_t before = HashField(*field);
    const std::string error = StateFromJson(text, *field);
    EXPECT_NE(error.find("is given twice"), std::string::npos) << error;
    EXPECT_EQ(HashField(*field), before);
  }
}

// Whatever bytes the file holds, the message that quotes it stays one
// printable line: the parser's last-read token may hold invalid UTF-8 and
// terminal controls, and a field name may hold any escaped character.
TEST(StateJsonTest, ErrorsQuotingTheFileArePrintable) {
  struct Nasty {
    std::string text;
    const char* expected;  // How the offending bytes appear in the message.
  };
  const Nasty cases[] = {
      {"{\"x\": \"\x9B\xED\xA0\x80\"}", "\\x9B"},
      {"{\"x\": \"\xC2\x9B" "31m\xF0\x9F\"}", "\\xC2\\x9B31m\\xF0\\x9F"},
      {"{\"MaxSpeed\": \x1B[2J}", "malformed JSON"},
      {std::string("{\"MaxSpeed\": \0}", 15), "malformed JSON"},
      {"{\"MaxSpeed\": tr\xFF}", "\\xFF"},
      {"{\"x\": \"a\nb\"}", "malformed JSON"},
      {"{\"\\u001b]0;title\\u0007\": 1}", "unknown field '\\x1B]0;title\\x07'"},
      {"{\"\\u009b6n\": 1}", "unknown field '\\xC2\\x9B6n'"},
      {"{\"\xE7\xB2\x92\": 1}", "unknown field '\xE7\xB2\x92'"},  // Good UTF-8 stays as it is.
  };
  for (const Nasty& test : cases) {
    SCOPED_TRACE(testing::PrintToString(test.text));
    auto field = StartState(11);
    const std::string error = StateFromJson(test.text, *field);
    EXPECT_TRUE(IsPrintableText(error)) << testing::PrintToString(error);
    EXPECT_NE(error.find(test.expected), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zintrel
