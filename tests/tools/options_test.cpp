#include "tools/options.h"

#include <gtest/gtest.h>

namespace zintrel {
namespace {

ParsedOptions Parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "zintrel-headless");
  return ParseOptions(arguments);
}

TEST(OptionsTest, DefaultsLeaveTheStartStateAlone) {
  const ParsedOptions parsed = Parse({});
  ASSERT_EQ(parsed.error, "");
  const HeadlessOptions& options = parsed.options;
  EXPECT_FALSE(options.seed || options.count || options.maxSpeed || options.size ||
               options.activity || options.repulsion || options.acceleration ||
               options.repulsiveAcceleration || options.initialRadius || options.width ||
               options.height || options.threads);
  EXPECT_FALSE(options.paused || options.stats || options.help);
  EXPECT_FALSE(options.showOrientation.has_value());
  EXPECT_EQ(options.ticks, 0);
  EXPECT_EQ(options.step, StepKind::kFast);
}

TEST(OptionsTest, ReadsEveryOption) {
  const ParsedOptions parsed = Parse(
      {"--seed", "4294967295", "--state-in", "in.json", "--count", "2500", "--max-speed", "23.5",
       "--size=1", "--activity", "0", "--repulsion", "99", "--acceleration", "0.030303030303030304",
       "--repulsive-acceleration", "3", "--paused", "--initial-radius", "10000", "--width", "0",
       "--height", "16384", "--ticks", "1e7", "--discs", "--step", "literal", "--threads", "64",
       "--state-out", "s.json", "--frame-out", "f.png", "--frames-dir", "frames", "--stats"});
  ASSERT_EQ(parsed.error, "");
  const HeadlessOptions& o = parsed.options;
  EXPECT_EQ(*o.seed, 4294967295u);
  EXPECT_EQ(o.stateIn, "in.json");
  EXPECT_EQ(*o.count, 2500);
  EXPECT_EQ(*o.maxSpeed, 23.5);
  EXPECT_EQ(*o.size, 1.0);
  EXPECT_EQ(*o.activity, 0.0);
  EXPECT_EQ(*o.repulsion, 99.0);
  EXPECT_EQ(*o.acceleration, 1.0 / 33.0);  // The shortest text of a double reads back exactly.
  EXPECT_EQ(*o.repulsiveAcceleration, 3.0);
  EXPECT_TRUE(o.paused && o.stats);
  EXPECT_EQ(o.showOrientation, false);
  EXPECT_EQ(*o.initialRadius, 10000.0);
  EXPECT_EQ(*o.width, 0);
  EXPECT_EQ(*o.height, 16384);
  EXPECT_EQ(o.ticks, 10000000);
  EXPECT_EQ(o.step, StepKind::kLiteral);
  EXPECT_EQ(*o.threads, 64);
  EXPECT_EQ(o.stateOut, "s.json");
  EXPECT_EQ(o.frameOut, "f.png");
  EXPECT_EQ(o.framesDir, "frames");
}

struct BadCase {
  std::vector<std::string> arguments;
  const char* expected;  // A fragment of the error line.
};

TEST(OptionsTest, RejectsBadCommandLines) {
  const BadCase cases[] = {
      {{"--colour", "red"}, "Unknown option 'colour'"},
      {{"--count"}, "Missing value after '--count'"},
      {{"--paused=1"}, "Unexpected value after '--paused'"},
      {{"frames"}, "unexpected argument 'frames'"},
      {{"--count", "0"}, "outside 1 .. 2500"},
      {{"--count", "2501"}, "outside 1 .. 2500"},
      {{"--count", "1.5"}, "not a whole number"},
      {{"--seed", "-1"}, "outside 0 .. 4294967295"},
      {{"--seed", "4294967296"}, "outside 0 .. 4294967295"},
      {{"--max-speed", "0.999"}, "outside 1 .. 24"},
      {{"--max-speed", "24.001"}, "outside 1 .. 24"},
      {{"--size", "9.5"}, "outside 1 .. 9"},
      {{"--activity", "-0.5"}, "outside 0 .. 99"},
      {{"--repulsion", "100"}, "outside 0 .. 99"},
      {{"--acceleration", "3.5"}, "outside 0 .. 3"},
      {{"--repulsive-acceleration", "-1"}, "outside 0 .. 3"},
      {{"--initial-radius", "10001"}, "outside 1 .. 10000"},
      {{"--initial-radius", "0.5"}, "outside 1 .. 10000"},
      {{"--width", "16385"}, "outside 0 .. 16384"},
      {{"--height", "-1"}, "outside 0 .. 16384"},
      {{"--ticks", "10000001"}, "outside 0 .. 10000000"},
      {{"--ticks", "2.5"}, "not a whole number"},
      {{"--size", ""}, "'' is not a number"},
      {{"--size", "3x"}, "'3x' is not a number"},
      {{"--size", " 3"}, "' 3' is not a number"},
      {{"--size", "3 "}, "'3 ' is not a number"},
      {{"--size", "+3"}, "'+3' is not a number"},
      {{"--size", "3,5"}, "'3,5' is not a number"},
      {{"--size", "0x3"}, "'0x3' is not a number"},
      {{"--activity", "nan"}, "'nan' is not a number"},
      {{"--activity", "inf"}, "'inf' is not a number"},
      {{"--activity", "1e999"}, "'1e999' is not a number"},
      {{"--step", "quick"}, "neither 'literal' nor 'fast'"},
      {{"--simd", "AVX2"}, "'AVX2' is not auto, avx3, avx2, sse4, ssse3 or scalar"},
      {{"--simd", "neon"}, "'neon' is not auto"},
      {{"--threads", "0"}, "outside 1 .. 64"},
      {{"--threads", "65"}, "outside 1 .. 64"},
      {{"--threads", "2.5"}, "not a whole number"},
      {{"--state-out", ""}, "--state-out: the path is empty"},
      {{"--frames-dir="}, "--frames-dir: the path is empty"},
  };
  for (const BadCase& test : cases) {
    SCOPED_TRACE(test.arguments.front());
    const std::string error = Parse(test.arguments).error;
    EXPECT_NE(error.find(test.expected), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace zintrel
