// End-to-end tests: run the built zintrel-headless and compare what it
// writes with the same computation done here through the libraries.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "render/render_frame.h"
#include "render/tick.h"
#include "simulation/scatter.h"
#include "tests/simulation/field_hash.h"
#include "state/share_link.h"
#include "state/state_json.h"

// Lets failures show folder listings as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace zintrel {
namespace {

struct Outcome {
  int status = -1;
  QString out;
  QString err;
};

Outcome RunTool(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(ZINTREL_HEADLESS_PATH), arguments);
  Outcome outcome;
  if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) return outcome;
  outcome.status = process.exitCode();
  outcome.out = QString::fromUtf8(process.readAllStandardOutput());
  outcome.err = QString::fromUtf8(process.readAllStandardError());
  return outcome;
}

std::unique_ptr<ParticleField> StartState(std::uint32_t seed, RandomSource* keep = nullptr) {
  auto field = std::make_unique<ParticleField>();
  SetStartValues(*field);
  RandomSource random(seed);
  Scatter(*field, random);
  if (keep) *keep = random;
  return field;
}

std::unique_ptr<ParticleField> ReadState(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  auto field = std::make_unique<ParticleField>();
  EXPECT_EQ(StateFromJson(file.readAll().toStdString(), *field), "");
  return field;
}

void WriteState(const QString& path, const ParticleField& field) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray::fromStdString(StateToJson(field)));
}

// Counts the pixels of the PNG that differ from the bitmap (all, if the sizes differ).
int DifferingPixels(const QString& path, const FrameBitmap& bitmap) {
  const QImage image(path);
  if (image.width() != bitmap.Width() || image.height() != bitmap.Height()) return -1;
  int differing = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) differing += image.pixel(x, y) != bitmap.PixelAt(x, y);
  }
  return differing;
}

QStringList Listing(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class HeadlessCliTest : public testing::Test {
 protected:
  QString Path(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }
  QTemporaryDir folder_;
};

TEST_F(HeadlessCliTest, TicksZeroWritesTheStartStateAndItsFrame) {
  for (const bool discs : {false, true}) {
    SCOPED_TRACE(discs ? "discs" : "darts");
    QStringList arguments = {"--seed", "42", "--count", "2500", "--ticks", "0",
                             "--state-out", Path("s.json"), "--frame-out", Path("f.png")};
    if (discs) arguments << "--discs";
    const Outcome run = RunTool(arguments);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    auto expected = StartState(42);
    expected->ParticleCount = 2500;
    EXPECT_EQ(HashField(*ReadState(Path("s.json"))), HashField(*expected));
    FrameBitmap bitmap;
    bitmap.Resize(kStartWidth, kStartHeight);
    RenderFrame(*expected, bitmap, !discs);
    EXPECT_EQ(DifferingPixels(Path("f.png"), bitmap), 0);
  }
}

// The tool's ticks are the application's: the same RunTick calls here give
// the same state bit for bit and the same frame, for both steps and for a
// display size other than the start state's (which rescales on tick 1).
TEST_F(HeadlessCliTest, TicksAreExactlyTheApplicationTick) {
  for (const char* step : {"literal", "fast"}) {
    SCOPED_TRACE(step);
    const Outcome run = RunTool({"--seed", "9", "--count", "120", "--ticks", "15", "--width", "700",
                                 "--height", "300", "--step", step, "--discs", "--state-out",
                                 Path("s.json"), "--frame-out", Path("f.png")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    auto field = StartState(9);
    field->ParticleCount = 120;
    FrameBitmap bitmap;
    const StepFunction function = std::string(step) == "literal" ? StepParticlesLiteral : StepParticles;
    for (int tick = 0; tick < 15; ++tick) {
      ASSERT_EQ(RunTick(*field, bitmap, 700, 300, false, function), StepFault::kNone);
    }
    EXPECT_EQ(HashField(*ReadState(Path("s.json"))), HashField(*field));
    EXPECT_EQ(DifferingPixels(Path("f.png"), bitmap), 0);
  }
}

// A run shared between processors replays identically: every target this
// one runs writes the same state, byte for byte (the start law, the second
// preset's and a law with non-whole exponents).
TEST_F(HeadlessCliTest, EverySimdTargetWritesTheSameState) {
  const std::vector<std::int64_t> targets = StepTargets();
  const QStringList type2{"--activity", "38", "--repulsion", "6", "--acceleration", "2"};
  const QStringList sliders50And16{"--acceleration", "1.5151515151515151", "--repulsive-acceleration",
                                   "0.48484848484848486"};
  for (const QStringList& law : {QStringList{}, type2, sliders50And16}) {
    QByteArray first;
    for (const std::int64_t target : targets) {
      QString simd = QString::fromLatin1(StepTargetName(target)).toLower();
      SCOPED_TRACE(simd.toStdString() + " " + law.join(' ').toStdString());
      // Each target writes its own file: one that exits without writing
      // must not pass on the last one's.
      QFile::remove(Path("s.json"));
      const Outcome run = RunTool(QStringList{"--seed", "4", "--count", "700", "--ticks", "20", "--simd",
                                              simd, "--state-out", Path("s.json")} + law);
      ASSERT_EQ(run.status, 0) << run.err.toStdString();
      QFile file(Path("s.json"));
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QByteArray state = file.readAll();
      if (first.isEmpty()) first = state;
      EXPECT_TRUE(state == first);
    }
  }
}

// --threads changes how fast a tick is, never what it computes.
TEST_F(HeadlessCliTest, ThreadCountLeavesTheStateUnchanged) {
  QByteArray first;
  for (const char* threads : {"1", "3", "8"}) {
    SCOPED_TRACE(threads);
    const QString path = Path((std::string("s") + threads + ".json").c_str());
    const Outcome run = RunTool({"--seed", "4", "--count", "900", "--initial-radius", "200", "--ticks",
                                 "3", "--threads", threads, "--state-out", path});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray state = file.readAll();
    if (first.isEmpty()) first = state;
    EXPECT_EQ(state, first);
  }
  RandomSource random(0);
  auto field = StartState(4, &random);
  field->ParticleCount = 900;
  field->InitialRadius = 200.0;
  Scatter(*field, random);
  FrameBitmap bitmap;
  for (int tick = 0; tick < 3; ++tick) {
    ASSERT_EQ(RunTick(*field, bitmap, field->FieldWidth, field->FieldHeight, true), StepFault::kNone);
  }
  EXPECT_EQ(HashField(*ReadState(Path("s1.json"))), HashField(*field));
}

TEST_F(HeadlessCliTest, SeedMakesTheRunReproducible) {
  const auto stateOf = [this](const char* seed, const char* name) {
    EXPECT_EQ(RunTool({"--seed", seed, "--ticks", "5", "--state-out", Path(name)}).status, 0);
    QFile file(Path(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
  };
  const QByteArray first = stateOf("123", "a.json");
  EXPECT_EQ(stateOf("123", "b.json"), first);
  EXPECT_NE(stateOf("124", "c.json"), first);
}

// Ten ticks saved and continued for ten more equal twenty ticks in one run;
// the saved state is used as it is (not scattered, whatever the seed).
TEST_F(HeadlessCliTest, SavedStateContinuesTheRun) {
  ASSERT_EQ(RunTool({"--seed", "1", "--ticks", "10", "--state-out", Path("a.json")}).status, 0);
  ASSERT_EQ(RunTool({"--seed", "1", "--ticks", "20", "--state-out", Path("b.json")}).status, 0);
  ASSERT_EQ(RunTool({"--seed", "77", "--state-in", Path("a.json"), "--ticks", "10", "--state-out",
                     Path("c.json")}).status, 0);
  EXPECT_EQ(HashField(*ReadState(Path("c.json"))), HashField(*ReadState(Path("b.json"))));
}

TEST_F(HeadlessCliTest, OverridesAndInitialRadiusReachTheState) {
  const Outcome run = RunTool({"--seed", "5", "--count", "7", "--max-speed", "3.5", "--size", "2",
                               "--activity", "38", "--repulsion", "6", "--acceleration", "2",
                               "--repulsive-acceleration", "0.5", "--paused", "--initial-radius",
                               "100", "--ticks", "3", "--state-out", Path("s.json")});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const auto state = ReadState(Path("s.json"));

  // The start-up scatter, then the overrides, then a second scatter drawn
  // from the same random stream; paused ticks leave every particle there.
  RandomSource random;
  auto expected = StartState(5, &random);
  expected->ParticleCount = 7;
  expected->MaxSpeed = 3.5;
  expected->ParticleSize = 2.0;
  expected->Activity = 38.0;
  expected->Repulsion = 6.0;
  expected->Acceleration = 2.0;
  expected->RepulsiveAcceleration = 0.5;
  expected->Running = 0;
  expected->InitialRadius = 100.0;
  Scatter(*expected, random);
  EXPECT_EQ(HashField(*state), HashField(*expected));
  for (int k = 0; k < MaxParticles; ++k) {
    EXPECT_LT(std::hypot(state->x[k] - 330.0, state->y[k] - 220.0), 100.0) << k;
  }
}

TEST_F(HeadlessCliTest, LinkRunsWhatItHoldsAsTheSameOptionsDo) {
  SharedRun run;
  run.seed = 77;
  run.count = 400;
  run.acceleration = 34.0 / 33.0;
  run.repulsion = 0.1;
  run.initialRadius = 150.5;
  run.width = 500;
  run.height = 300;
  run.darts = false;
  const QString link = QString::fromStdString("https://example.org/zintrel/#" + LinkFragment(run));
  const Outcome linked = RunTool({"--link", link, "--ticks", "15", "--state-out", Path("link.json"), "--frame-out",
                                  Path("link.png")});
  ASSERT_EQ(linked.status, 0) << linked.err.toStdString();
  const Outcome spelled = RunTool({"--seed", "77", "--count", "400", "--acceleration", QString::number(34.0 / 33.0, 'g', 17),
                                   "--repulsion", "0.1", "--initial-radius", "150.5", "--width", "500", "--height",
                                   "300", "--discs", "--ticks", "15", "--state-out", Path("spelled.json")});
  ASSERT_EQ(spelled.status, 0) << spelled.err.toStdString();
  EXPECT_EQ(HashField(*ReadState(Path("link.json"))), HashField(*ReadState(Path("spelled.json"))));

  // The same run through the libraries, as the page starts it.
  auto field = std::make_unique<ParticleField>();
  RandomSource random;
  StartRun(run, *field, random);
  FrameBitmap bitmap;
  bitmap.Resize(kStartWidth, kStartHeight);
  for (int tick = 0; tick < 15; ++tick) ASSERT_EQ(RunTick(*field, bitmap, 500, 300, false), StepFault::kNone);
  EXPECT_EQ(HashField(*ReadState(Path("link.json"))), HashField(*field));
  EXPECT_EQ(DifferingPixels(Path("link.png"), bitmap), 0);

  const Outcome later = RunTool({"--link", "#zintrel=2&seed=1", "--state-out", Path("later.json")});
  EXPECT_EQ(later.status, 2);
  EXPECT_TRUE(later.err.contains(QStringLiteral("later version"))) << later.err.toStdString();
  const Outcome mixed = RunTool({"--link", link, "--count", "5"});
  EXPECT_EQ(mixed.status, 2);
  EXPECT_TRUE(mixed.err.contains(QStringLiteral("--count cannot go with it"))) << mixed.err.toStdString();
  EXPECT_FALSE(QFile::exists(Path("later.json")));
}

TEST_F(HeadlessCliTest, FramesDirHoldsOneNumberedFramePerTick) {
  const QString frames = Path("frames");
  ASSERT_TRUE(QDir().mkpath(frames));
  const Outcome run = RunTool({"--seed", "2", "--ticks", "3", "--frames-dir", frames, "--frame-out",
                               Path("last.png")});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(Listing(frames), QStringList({"000001.png", "000002.png", "000003.png"}));
  EXPECT_EQ(QImage(frames + "/000003.png"), QImage(Path("last.png")));
  EXPECT_NE(QImage(frames + "/000001.png"), QImage(Path("last.png")));

  const QString empty = Path("empty");
  ASSERT_TRUE(QDir().mkpath(empty));
  ASSERT_EQ(RunTool({"--ticks", "0", "--frames-dir", empty}).status, 0);
  EXPECT_TRUE(Listing(empty).isEmpty());
}

// A frames folder that does not exist yet is created by the run, holding
// its frames and nothing else, and nothing of the staging is left beside it.
// --gif records the ticks --frames-dir stores, frame for frame and pixel for
// pixel, each shown for the state's drawing speed.
TEST_F(HeadlessCliTest, GifHoldsEveryTickAsTheFramesDirDoes) {
  auto state = StartState(8);
  state->ParticleCount = 400;
  WriteState(Path("in.zintrel"), *state);
  const Outcome run = RunTool({"--state-in", Path("in.zintrel"), "--ticks", "6", "--width", "300", "--height",
                               "200", "--frames-dir", Path("frames"), "--gif", Path("run.gif")});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  QImageReader reader(Path("run.gif"), "gif");
  ASSERT_TRUE(reader.supportsAnimation());
  EXPECT_EQ(reader.imageCount(), 6);
  int frames = 0;
  for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read()) {
    ++frames;
    SCOPED_TRACE(frames);
    // Without a drawing speed in the state, the programs' start: 16 ms,
    // shown as the fastest a player shows, 20 ms.
    EXPECT_EQ(reader.nextImageDelay(), 20);
    const QImage stored(Path("frames") + QStringLiteral("/%1.png").arg(frames, 6, 10, QLatin1Char('0')));
    ASSERT_EQ(frame.size(), stored.size());
    EXPECT_TRUE(frame.convertToFormat(QImage::Format_RGB32) == stored.convertToFormat(QImage::Format_RGB32));
  }
  EXPECT_EQ(frames, 6);
  // From tick 4 on: the last three frames of the same run, and nothing before.
  const Outcome late = RunTool({"--state-in", Path("in.zintrel"), "--ticks", "6", "--width", "300", "--height",
                                "200", "--gif", Path("late.gif"), "--gif-from", "4"});
  ASSERT_EQ(late.status, 0) << late.err.toStdString();
  QImageReader lateReader(Path("late.gif"), "gif");
  EXPECT_EQ(lateReader.imageCount(), 3);
  for (int tick = 4; tick <= 6; ++tick) {
    SCOPED_TRACE(tick);
    const QImage stored(Path("frames") + QStringLiteral("/%1.png").arg(tick, 6, 10, QLatin1Char('0')));
    EXPECT_TRUE(lateReader.read().convertToFormat(QImage::Format_RGB32) == stored.convertToFormat(QImage::Format_RGB32));
  }
  const Outcome none = RunTool({"--ticks", "0", "--gif", Path("none.gif")});
  EXPECT_EQ(none.status, 2);
  EXPECT_TRUE(none.err.contains(QStringLiteral("--gif records the ticks"))) << none.err.toStdString();
  EXPECT_FALSE(QFile::exists(Path("none.gif")));
}

TEST_F(HeadlessCliTest, FramesDirIsCreatedWhenItDoesNotExist) {
  const QString frames = Path("new");
  const Outcome run = RunTool({"--seed", "2", "--ticks", "3", "--frames-dir", frames + "/", "--frame-out",
                               Path("last.png")});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(Listing(folder_.path()), QStringList({"last.png", "new"}));
  EXPECT_EQ(Listing(frames), QStringList({"000001.png", "000002.png", "000003.png"}));
  EXPECT_EQ(QImage(frames + "/000003.png"), QImage(Path("last.png")));
}

TEST_F(HeadlessCliTest, StatsAndVersionLines) {
  const Outcome stats = RunTool({"--seed", "3", "--ticks", "4", "--stats"});
  ASSERT_EQ(stats.status, 0);
  const QRegularExpression line(QStringLiteral(
      R"(^ticks=4 ms_per_tick=(\d+\.\d{6}) ticks_per_s=(\d+\.\d{3})\n$)"));
  const QRegularExpressionMatch match = line.match(stats.out);
  ASSERT_TRUE(match.hasMatch()) << stats.out.toStdString();
  // Both figures come from one measurement, so they are reciprocal (up to
  // the printed digits).
  EXPECT_NEAR(match.captured(1).toDouble() * match.captured(2).toDouble(), 1000.0, 5.0);

  const Outcome version = RunTool({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, QStringLiteral("zintrel-headless 1.0.0\n"));
}

// Each class of bad input: status 2, one line on standard error, and the
// folder exactly as it was (no output, no temporary left over), although
// every run also asks for a state, a frame and a frame sequence.
TEST_F(HeadlessCliTest, BadInputWritesNothing) {
  ASSERT_TRUE(QDir().mkpath(Path("frames")));
  {
    QFile bad(Path("bad.json"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("{\"ParticleCount\": 50");
  }
  { QFile empty(Path("empty.json")); ASSERT_TRUE(empty.open(QIODevice::WriteOnly)); }
  {
    // Larger than any state could be: refused before it is parsed.
    QFile huge(Path("huge.json"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_EQ(huge.write(QByteArray(17 << 20, ' ')), 17 << 20);
  }
  auto wide = StartState(1);
  wide->MaxSpeed = 25.0;
  WriteState(Path("fast.json"), *wide);
  ASSERT_TRUE(QDir().mkpath(Path("folder.png")));
  {
    // A whole state, then a NUL byte and more: the parser would stop at it.
    QFile nul(Path("nul.json"));
    ASSERT_TRUE(nul.open(QIODevice::WriteOnly));
    QFile whole(Path("fast.json"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    nul.write(whole.readAll() + QByteArray(1, '\0') + QByteArray(1000, 'x'));
    // A field name of two million characters, quoted in the message.
    QFile longKey(Path("long-key.json"));
    ASSERT_TRUE(longKey.open(QIODevice::WriteOnly));
    longKey.write("{\"" + QByteArray(2'000'000, 'k') + "\": 1}");
  }
  // A frame's name in the frames folder taken by a folder of the user's.
  ASSERT_TRUE(QDir().mkpath(Path("taken/000002.png")));
  ASSERT_TRUE(QFile::link(folder_.path(), Path("alias")));
  {
    QFile state(Path("s.json"));
    ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    state.write("an earlier state");
  }
  ASSERT_TRUE(QFile::link(Path("s.json"), Path("s-link")));
  const QStringList before = Listing(folder_.path());

  const std::vector<std::pair<QStringList, const char*>> cases = {
      {{"--speed", "3"}, "Unknown option 'speed'"},
      {{"--ticks"}, "Missing value after '--ticks'"},
      {{"--count", "12abc"}, "'12abc' is not a number"},
      {{"--count", ""}, "'' is not a number"},
      {{"--count", "12.5"}, "whole"},
      {{"--activity", "nan"}, "'nan' is not a number"},
      {{"--repulsion", "inf"}, "'inf' is not a number"},
      {{"--acceleration", "1e400"}, "'1e400' is not a number"},
      {{"--seed", "-1"}, "outside 0 .. 4294967295"},
      {{"--seed", "4294967296"}, "outside 0 .. 4294967295"},
      {{"--height", "16385"}, "outside 0 .. 16384"},
      {{"--max-speed", "25"}, "outside 1 .. 24"},
      {{"--step", "slow"}, "neither 'literal' nor 'fast'"},
      {{"--state-in", Path("missing.json")}, "cannot read"},
      {{"--state-in", Path("bad.json")}, "malformed JSON"},
      {{"--state-in", Path("empty.json")}, "malformed JSON"},
      {{"--state-in", Path("huge.json")}, "too large"},
      {{"--state-in", Path("fast.json")}, "'MaxSpeed' is 25"},
      {{"--state-out", Path("nowhere/s.json")}, "its folder does not exist"},
      {{"--frame-out", Path("folder.png")}, "is a folder"},
      {{"--frame-out", "/proc/zintrel-frame.png"}, "cannot"},
      {{"--frames-dir", Path("nowhere/frames")}, "its folder does not exist"},
      // A frames folder to be created: refused for other reasons, it is not.
      {{"--frames-dir", Path("new"), "--width", "0"}, "cannot be stored as PNG"},
      {{"--frames-dir", Path("new/"), "--state-out", Path("new")}, "name the same path"},
      {{"--frames-dir", Path("new"), "--frame-out", Path("new")}, "name the same path"},
      {{"--frames-dir", Path("bad.json")}, "is not a folder"},
      {{"--frames-dir", Path("taken")}, "000002.png': it is not a regular file"},
      // Two names of one file, through links or as a frame.
      {{"--gif", Path("alias/s.json")}, "and --gif '"},
      {{"--gif", Path("s-link")}, "name the same file"},
      {{"--gif", Path("frames/000002.png")}, "name the same file, the frame of tick 2"},
      {{"--state-in", Path("nul.json")}, "a NUL byte at line"},
      {{"--state-in", Path("long-key.json")}, "unknown field 'kkk"},
      {{"--width", "0"}, "cannot be stored as PNG"},
      {{"--gif-from", "1"}, "--gif-from goes with --gif"},
      {{"--gif", Path("g.gif"), "--gif-from", "3"}, "--gif-from: 3 is after the last tick, 2"},
  };
  for (const auto& [extra, expected] : cases) {
    SCOPED_TRACE(extra.join(' ').toStdString());
    const QStringList arguments = QStringList({"--seed", "1", "--ticks", "2", "--state-out", Path("s.json"),
                                               "--frame-out", Path("f.png"), "--frames-dir",
                                               Path("frames")}) + extra;
    const Outcome run = RunTool(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.startsWith("zintrel-headless: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(expected))) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    // A quoted text is cut to a thousand characters, as the boxes cut it.
    EXPECT_LE(run.err.size(), 1100);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(Listing(folder_.path()), before);
    EXPECT_TRUE(Listing(Path("frames")).isEmpty());
  }
}

// Two particles 1e-154 pixels apart (a square distance still above 0) make the pair force overflow on the
// first tick. The run stops with status 1 and, as for bad input, leaves
// nothing behind.
// Two particles a hair apart push each other with a force beyond the double
// range. The tool's inputs stop at the controls' ranges, where such a push
// is carried at a wider range and capped, so the run completes: no input the
// tool accepts ends in an arithmetic fault.
TEST_F(HeadlessCliTest, PushBeyondTheDoubleRangeRunsToTheEnd) {
  auto field = StartState(4);
  field->Acceleration = 3.0;
  field->RepulsiveAcceleration = 3.0;
  field->x[0] = 0.0;
  field->y[0] = 0.0;
  field->x[1] = 1e-154;
  field->y[1] = 0.0;
  WriteState(Path("close.json"), *field);

  const Outcome run = RunTool({"--state-in", Path("close.json"), "--ticks", "5", "--state-out",
                               Path("s.json"), "--frame-out", Path("f.png")});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
  const auto state = ReadState(Path("s.json"));
  ASSERT_NE(state, nullptr);
  EXPECT_LE(std::hypot(state->vx[0], state->vy[0]), state->MaxSpeed * (1 + 1e-15));
  EXPECT_TRUE(QFile::exists(Path("f.png")));
}

}  // namespace
}  // namespace zintrel
