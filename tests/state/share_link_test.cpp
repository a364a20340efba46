#include "state/share_link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "simulation/advance_field.h"
#include "simulation/scatter.h"

namespace zintrel {
namespace {

// A run whose doubles have no short decimal form, so that a link that
// rounded any of them would not read back equal.
SharedRun AwkwardRun() {
  SharedRun run;
  run.seed = 4294967295u;
  run.count = 2500;
  run.maxSpeed = 23.999999999999996;
  run.size = 1.0 / 3.0 + 2.0;
  run.activity = 98.99999999999999;
  run.repulsion = 0.1;
  run.acceleration = 34.0 / 33.0;
  run.repulsiveAcceleration = 0.0;
  run.running = false;
  run.initialRadius = 215.77777777777777;
  run.width = 16384;
  run.height = 0;
  run.darts = false;
  return run;
}

TEST(ShareLinkTest, EveryValueReadsBackExactly) {
  for (const SharedRun& written : {SharedRun{}, AwkwardRun()}) {
    const std::string fragment = LinkFragment(written);
    SharedRun read;
    read.seed = 12345;
    ASSERT_EQ(ReadLink(fragment, read), "") << fragment;
    EXPECT_EQ(read, written) << fragment;
    // As the page's address has it, and as a person may paste it.
    SharedRun fromAddress;
    ASSERT_EQ(ReadLink("https://example.org/zintrel/index.html#" + fragment, fromAddress), "");
    EXPECT_EQ(fromAddress, written);
    SharedRun fromHash;
    fromHash.seed = 12345;
    ASSERT_EQ(ReadLink("#" + fragment, fromHash), "");
    EXPECT_EQ(fromHash, written);
  }
  EXPECT_EQ(LinkFragment(SharedRun{}),
            "zintrel=1&seed=0&count=50&max-speed=8.0&size=6.0&activity=1.0&repulsion=8.0&acceleration=1.0"
            "&repulsive-acceleration=1.0&running=1&width=660&height=440&darts=1");
}

TEST(ShareLinkTest, RefusesBadAndHostileLinksAndKeepsTheRun) {
  const std::string good = LinkFragment(AwkwardRun());
  const auto replaced = [&good](const std::string& field, const std::string& value) {
    const std::size_t at = good.find(field + "=");
    const std::size_t end = good.find('&', at);
    return good.substr(0, at) + field + "=" + value + (end == std::string::npos ? "" : good.substr(end));
  };
  const struct {
    std::string link;
    const char* expected;
  } cases[] = {
      {"", "not a Zintrel link"},
      {"https://example.org/", "not a Zintrel link"},
      {good + "&zoom=2", "'zoom' is unknown"},
      {good + "&count=5", "names 'count' twice"},
      {good + "&&", "is not a field with a value"},
      {replaced("zintrel", "2"), "later version"},
      {replaced("zintrel", "0"), "is not a version"},
      {replaced("zintrel", "one"), "is not a version"},
      {replaced("count", "2.5"), "count '2.5' is not a whole number"},
      {replaced("count", "0"), "count '0' is outside 1.0 .. 2500.0"},
      {replaced("count", "2501"), "is outside"},
      // Initialise never gives less than 1; such a run could not be copied.
      {replaced("initial-radius", "0.5"), "initial-radius '0.5' is outside 1.0 .. 10000.0"},
      {replaced("initial-radius", "0"), "is outside"},
      {replaced("seed", "4294967296"), "is outside"},
      {replaced("seed", "-1"), "is outside"},
      {replaced("max-speed", "24.000000000000004"), "is outside"},
      {replaced("max-speed", "1e400"), "is not a number"},
      {replaced("max-speed", "inf"), "is not a number"},
      {replaced("max-speed", "nan"), "is not a number"},
      {replaced("max-speed", "0x10"), "is not a number"},
      {replaced("max-speed", "+8"), "is not a number"},
      {replaced("max-speed", "%208"), "is not a number"},
      {replaced("max-speed", "8,5"), "is not a number"},
      {replaced("max-speed", ""), "is not a number"},
      {replaced("max-speed", "8\n"), "is not a number"},
      {replaced("running", "2"), "is outside"},
      {replaced("darts", "0.5"), "is not a whole number"},
      {replaced("width", "16385"), "is outside"},
      {good.substr(0, good.find("&height")), "has no 'height'"},
  };
  for (const auto& test : cases) {
    SharedRun run = AwkwardRun();
    run.seed = 99;
    const std::string problem = ReadLink(test.link, run);
    EXPECT_NE(problem.find(test.expected), std::string::npos) << test.link << "\n" << problem;
    EXPECT_EQ(run.seed, 99u) << test.link;
  }
}

TEST(ShareLinkTest, AFieldsRunStartsAsTheProgramStartsAndKeepsItsParameters) {
  // The start of a default run is the start-up state of its seed.
  auto started = std::make_unique<ParticleField>();
  RandomSource random;
  StartRun(RunOf(*started, 1234, true), *started, random);
  auto expected = std::make_unique<ParticleField>();
  SetStartValues(*expected);
  RandomSource expectedRandom(1234);
  Scatter(*expected, expectedRandom);
  EXPECT_EQ(started->x, expected->x);
  EXPECT_EQ(started->vy, expected->vy);
  EXPECT_EQ(random.State(), expectedRandom.State());

  // Every parameter of a run comes back from the field it starts, once a
  // tick has measured the display area the run asks for.
  const SharedRun run = AwkwardRun();
  StartRun(run, *started, random);
  // Initialise scattered into its disc around the start field's centre.
  for (int i = 0; i < MaxParticles; ++i) {
    EXPECT_LE(std::hypot(started->x[i] - kStartWidth / 2, started->y[i] - kStartHeight / 2), *run.initialRadius);
  }
  EXPECT_EQ(AdvanceField(*started, run.width, run.height), StepFault::kNone);
  EXPECT_EQ(RunOf(*started, run.seed, run.darts), run);
}

// Writes a number of a link as a person or another program may: any
// decimal form that reads as a number.
std::string AnyForm(double value, bool whole, std::mt19937_64& random) {
  char text[64];
  static const char* const kForms[] = {"%.17g", "%g", "%.3f", "%e", "%.1f"};
  const char* form = whole ? (random() % 2 ? "%.0f" : "%.1f") : kForms[random() % std::size(kForms)];
  std::snprintf(text, sizeof text, form, value);
  return text;
}

// A value of setting: one of its ends, or anything between.
double AnyValue(const RunSetting& setting, std::mt19937_64& random) {
  std::uniform_real_distribution<double> between(setting.low, setting.high);
  switch (random() % 4) {
    case 0: return setting.low;
    case 1: return setting.high;
    default: return setting.whole ? std::floor(between(random)) : between(random);
  }
}

// Whatever link the reader accepts, the link copied from the run it starts
// (as the page's Copy link does, once a tick has measured the area) reads
// back to the same run: it replays what the first one did.
TEST(ShareLinkTest, ACopiedLinkReplaysTheRunOfAnyAcceptedLink) {
  std::mt19937_64 random(20261208);
  auto field = std::make_unique<ParticleField>();
  RandomSource source;
  int accepted = 0;
  for (int i = 0; i < 300; ++i) {
    std::string link = "zintrel=1";
    const auto add = [&](const RunSetting& setting) {
      link += std::string("&") + setting.name + "=" + AnyForm(AnyValue(setting, random), setting.whole, random);
    };
    for (const RunSetting* setting : {&kSeedSetting, &kCountSetting, &kMaxSpeedSetting, &kSizeSetting,
                                      &kActivitySetting, &kRepulsionSetting, &kAccelerationSetting,
                                      &kRepulsiveAccelerationSetting}) {
      add(*setting);
    }
    link += std::string("&running=") + (random() % 2 ? "1" : "0");
    if (random() % 2) add(kInitialRadiusSetting);
    // Small areas keep the run quick; the ends are among them.
    link += "&width=" + std::to_string(random() % 700) + "&height=" + std::to_string(random() % 500);
    link += std::string("&darts=") + (random() % 2 ? "1" : "0");
    SharedRun run;
    if (!ReadLink(link, run).empty()) continue;
    ++accepted;
    StartRun(run, *field, source);
    ASSERT_EQ(AdvanceField(*field, run.width, run.height), StepFault::kNone) << link;
    const std::string copied = LinkFragment(RunOf(*field, run.seed, run.darts));
    SharedRun replayed;
    ASSERT_EQ(ReadLink(copied, replayed), "") << copied;
    EXPECT_EQ(replayed, run) << link << "\n" << copied;
  }
  // Most links are whole numbers where they must be and within range.
  EXPECT_GT(accepted, 200);
}

}  // namespace
}  // namespace zintrel
