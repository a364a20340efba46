// zintrel-explore end to end: the folder it writes is the same bytes on any
// thread count and through shards and --merge, its thumbnails are what
// zintrel-headless writes for their reproduce arguments, bad options are
// refused, and a stop leaves the folder whole or absent.

#include <cmath>
#include <random>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

#include <map>

#include "tools/explore_measures.h"

// Lets failures show names as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace zintrel {
namespace {

struct Outcome {
  int status = -1;
  bool killed = false;  // Ended by a signal rather than an exit.
  QString out;
  QString err;
};

Outcome RunProgram(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  Outcome outcome;
  if (!process.waitForFinished(120000)) return outcome;
  outcome.killed = process.exitStatus() != QProcess::NormalExit;
  outcome.status = process.exitCode();
  outcome.out = QString::fromUtf8(process.readAllStandardOutput());
  outcome.err = QString::fromUtf8(process.readAllStandardError());
  return outcome;
}

Outcome Explore(const QStringList& arguments) { return RunProgram(QStringLiteral(ZINTREL_EXPLORE_PATH), arguments); }

// Every file of a folder, by name, with its bytes.
std::map<QString, QByteArray> Contents(const QString& folder) {
  std::map<QString, QByteArray> files;
  for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
    QFile file(folder + "/" + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    files[name] = file.readAll();
  }
  return files;
}

// Returns the names of the files that are in one folder only or differ.
QStringList Differing(const std::map<QString, QByteArray>& a, const std::map<QString, QByteArray>& b) {
  QStringList names;
  for (const auto& [name, bytes] : a) {
    if (!b.count(name) || b.at(name) != bytes) names << name;
  }
  for (const auto& [name, bytes] : b) {
    if (!a.count(name)) names << name;
  }
  return names;
}

QJsonObject Index(const QString& folder) {
  QFile file(folder + "/index.json");
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return QJsonDocument::fromJson(file.readAll()).object();
}

// Small enough for seconds, large enough that runs are dropped for each
// reason that can meet them here (empty, gas and too near one kept before,
// which makes the order of the decisions count) and several kept.
const QStringList kSmall = {"--runs", "12", "--seed", "21", "--ticks", "24", "--thumbnail-frames", "8",
                            "--width", "96", "--height", "64", "--novelty", "500"};

class ExploreTest : public testing::Test {
 protected:
  QString Path(const QString& name) const { return folder_.filePath(name); }
  QTemporaryDir folder_;
};

// One process on one thread, on two, and three shards joined by --merge:
// the same folder, byte for byte.
TEST_F(ExploreTest, SameFolderOnAnyThreadsAndThroughShards) {
  const Outcome one = Explore(kSmall + QStringList{"--threads", "1", "--out", Path("one")});
  ASSERT_EQ(one.status, 0) << one.err.toStdString();
  const auto expected = Contents(Path("one"));
  const QJsonObject index = Index(Path("one"));
  const qsizetype kept = index["kept"].toArray().size();
  EXPECT_GE(kept, 2);
  for (const char* reason : {"empty", "gas", "similar"}) {
    EXPECT_GT(index["dropped"].toObject()[reason].toInt(), 0) << reason;
  }
  EXPECT_EQ(expected.size(), static_cast<std::size_t>(kept + 2));  // index.json, index.html, a GIF each.
  EXPECT_TRUE(expected.count("index.html"));

  const Outcome two = Explore(kSmall + QStringList{"--threads", "2", "--out", Path("two")});
  ASSERT_EQ(two.status, 0) << two.err.toStdString();
  EXPECT_EQ(Differing(Contents(Path("two")), expected), QStringList());

  // The shards as a cluster would run them: side by side under GNU parallel
  // where it is installed, else one after the other.
  const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
  if (!parallel.isEmpty()) {
    const Outcome shards = RunProgram(parallel, QStringList{"--will-cite", "--halt", "now,fail=1",
                                                     QStringLiteral(ZINTREL_EXPLORE_PATH)} +
                                             kSmall + QStringList{"--threads", "1", "--shard", "{}/3", "--out",
                                                                  Path("shard-{}"), ":::", "0", "1", "2"});
    ASSERT_EQ(shards.status, 0) << shards.err.toStdString();
  } else {
    for (const char* shard : {"0", "1", "2"}) {
      const Outcome run = Explore(kSmall + QStringList{"--shard", QString::fromLatin1(shard) + "/3", "--out",
                                                      Path("shard-") + shard});
      ASSERT_EQ(run.status, 0) << run.err.toStdString();
    }
  }
  // In any order.
  const Outcome merged =
      Explore({"--merge", "--out", Path("merged"), Path("shard-2"), Path("shard-0"), Path("shard-1")});
  ASSERT_EQ(merged.status, 0) << merged.err.toStdString();
  EXPECT_EQ(Differing(Contents(Path("merged")), expected), QStringList());
}

// Each kept run's thumbnail is what zintrel-headless writes for the
// arguments index.json gives, byte for byte.
TEST_F(ExploreTest, ThumbnailsAreWhatTheToolWritesForTheirArguments) {
  const Outcome run = Explore(kSmall + QStringList{"--out", Path("found"), "--page",
                                                   "https://example.org/zintrel/index.html"});
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QJsonArray kept = Index(Path("found"))["kept"].toArray();
  ASSERT_FALSE(kept.isEmpty());
  for (const QJsonValue& entry : kept) {
    const QJsonObject object = entry.toObject();
    SCOPED_TRACE(object["link"].toString().toStdString());
    EXPECT_TRUE(object["link"].toString().startsWith("https://example.org/zintrel/index.html#zintrel=1&"));
    QStringList arguments;
    for (const QJsonValue& argument : object["reproduce"].toArray()) arguments << argument.toString();
    const QString gif = Path("again.gif");
    const Outcome tool = RunProgram(QStringLiteral(ZINTREL_HEADLESS_PATH), arguments + QStringList{"--gif", gif});
    ASSERT_EQ(tool.status, 0) << tool.err.toStdString();
    QFile written(gif), thumbnail(Path("found/") + object["thumbnail"].toString());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly) && thumbnail.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll() == thumbnail.readAll()) << "differs from " << object["thumbnail"].toString().toStdString();
  }
}

// Each bad command line: status 2, one line, and no folder.
TEST_F(ExploreTest, BadOptionsAreRefusedWithOneLine) {
  ASSERT_TRUE(QDir().mkpath(Path("full/x")));
  ASSERT_TRUE(QDir().mkpath(Path("shard-a")));
  const std::vector<std::pair<QStringList, const char*>> cases = {
      {{"--runs", "3", "--speed", "1", "--out", Path("o")}, "Unknown option 'speed'"},
      {{"--out", Path("o")}, "--runs: give the number of runs"},
      {{"--runs", "3"}, "--out: give the folder"},
      {{"--runs", "0", "--out", Path("o")}, "outside 1 .. 1000000"},
      {{"--runs", "2.5", "--out", Path("o")}, "not a whole number"},
      {{"--runs", "3", "--ticks", "1", "--out", Path("o")}, "outside 2 .. 10000000"},
      {{"--runs", "3", "--width", "8", "--out", Path("o")}, "outside 16 .. 4096"},
      {{"--runs", "3", "--threads", "x", "--out", Path("o")}, "'x' is not a number"},
      {{"--runs", "3", "--shard", "3/3", "--out", Path("o")}, "'3/3' is not I/N"},
      {{"--runs", "3", "--shard", "1", "--out", Path("o")}, "'1' is not I/N"},
      {{"--runs", "3", "--out", Path("full")}, "is not empty"},
      {{"--runs", "3", "--out", Path("nowhere/o")}, "its folder does not exist"},
      {{"--runs", "3", "--out", Path("o"), "extra"}, "unexpected argument 'extra'"},
      {{"--merge", "--out", Path("o")}, "give the shards' folders"},
      {{"--merge", "--runs", "3", "--out", Path("o"), Path("shard-a")}, "--runs cannot go with it"},
      {{"--merge", "--out", Path("o"), Path("shard-a")}, "cannot read"},
  };
  for (const auto& [arguments, expected] : cases) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const Outcome run = Explore(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.startsWith("zintrel-explore: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(expected))) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("o")));
  }
}

// Returns the CPU time the process has used, in clock ticks, from /proc.
long long CpuTicks(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
  // After the name: state is field 3; utime and stime are 14 and 15.
  return fields.size() > 13 ? fields[12].toLongLong() + fields[13].toLongLong() : -1;
}

// Stopped by SIGINT or SIGTERM once it has been working a while, an
// exploration ends by that signal and leaves a whole folder of the runs
// decided so far, or none when none was; a shard leaves none. Nothing
// half-written stays beside it. Runs are decided in order and one may take
// seconds on a slow machine, so a stop that came before the first was
// decided is tried again later, until one leaves a folder.
TEST_F(ExploreTest, StopLeavesTheFolderWholeOrAbsent) {
  for (const auto& [signal, shard] : {std::pair{SIGINT, false}, {SIGTERM, false}, {SIGINT, true}}) {
    SCOPED_TRACE(signal);
    const QString out = Path(QStringLiteral("stopped-%1-%2").arg(signal).arg(shard));
    QString err;
    const long long second = sysconf(_SC_CLK_TCK);
    for (long long ticks = second;; ticks *= 2) {
      QProcess process;
      QStringList arguments{"--runs", "2000", "--ticks", "200", "--width", "96", "--height", "64",
                            "--threads", "2", "--out", out};
      if (shard) arguments << "--shard" << "0/2";
      process.start(QStringLiteral(ZINTREL_EXPLORE_PATH), arguments);
      ASSERT_TRUE(process.waitForStarted());
      // Waits until it has spent that much processor time on runs, then
      // stops it.
      while (CpuTicks(process.processId()) >= 0 && CpuTicks(process.processId()) < ticks) {
        process.waitForFinished(20);
      }
      ASSERT_EQ(process.state(), QProcess::Running);
      ::kill(static_cast<pid_t>(process.processId()), signal);
      ASSERT_TRUE(process.waitForFinished(60000));
      EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);  // Ended by the signal, as a shell expects.
      err = QString::fromUtf8(process.readAllStandardError());
      EXPECT_TRUE(err.contains("interrupted")) << err.toStdString();
      // Nothing but the folder itself, if anything.
      const QStringList beside = QDir(folder_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
      EXPECT_TRUE(beside.filter(".zintrel-").isEmpty()) << beside.join(' ').toStdString();
      if (shard || !err.contains("before any run was tried")) break;
      EXPECT_FALSE(QFile::exists(out));
      ASSERT_LT(ticks, 64 * second) << "no run was decided in a minute of processor time";
    }
    if (shard) {
      EXPECT_FALSE(QFile::exists(out));
      continue;
    }
    ASSERT_TRUE(QFile::exists(out));
    const QJsonObject index = Index(out);
    EXPECT_GT(index["tried"].toInt(), 0);
    EXPECT_LT(index["tried"].toInt(), 2000);
    QStringList expected{"index.html", "index.json"};
    for (const QJsonValue& kept : index["kept"].toArray()) {
      EXPECT_LT(kept.toObject()["candidate"].toInt(), index["tried"].toInt());
      expected << kept.toObject()["thumbnail"].toString();
    }
    expected.sort();
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name), expected);
  }
}

// Every call by which the folder is written, made to fail in turn as a
// full disk or a failing device would: the run says so with the system's
// reason and status 2, and leaves no folder and nothing hidden beside it;
// or, where only a call after the folder was in place failed, the whole
// folder.
TEST_F(ExploreTest, EveryFailingWriteLeavesNoFolder) {
  const QString report = Path("calls");
  const QString watched = Path("watched");
  ASSERT_TRUE(QDir().mkpath(watched));
  const QStringList arguments{"--runs", "1", "--seed", "5", "--ticks", "12", "--thumbnail-frames", "4",
                              "--width", "48", "--height", "32", "--novelty", "0", "--out", watched + "/o"};
  const auto run = [&](int failing) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("FAIL_CALLS_UNDER", watched);
    environment.insert("FAIL_CALLS_REPORT", report);
    environment.insert("FAIL_CALLS_AT", QString::number(failing));
    environment.insert("LD_PRELOAD", ZINTREL_FAIL_CALLS_PATH);
    // Under AddressSanitizer, which wants to be loaded first.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZINTREL_EXPLORE_PATH), arguments);
    Outcome outcome;
    if (!process.waitForFinished(60000)) return outcome;
    outcome.status = process.exitCode();
    outcome.err = QString::fromUtf8(process.readAllStandardError());
    return outcome;
  };
  ASSERT_EQ(run(0).status, 0);
  QFile counted(report);
  ASSERT_TRUE(counted.open(QIODevice::ReadOnly));
  const int calls = counted.readAll().trimmed().split(' ').first().toInt();
  const std::map<QString, QByteArray> whole = Contents(watched + "/o");
  ASSERT_EQ(whole.size(), 3u);  // The index, the page and the one run kept.
  ASSERT_GE(calls, 12) << "a folder, and each file opened, written, synced and closed";
  for (int failing = 1; failing <= calls; ++failing) {
    SCOPED_TRACE(failing);
    ASSERT_TRUE(QDir(watched + "/o").removeRecursively());
    const Outcome outcome = run(failing);
    const QStringList left = QDir(watched).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (outcome.status != 0) {
      EXPECT_EQ(outcome.status, 2);
      EXPECT_TRUE(outcome.err.endsWith(": Input/output error\n")) << outcome.err.toStdString();
      EXPECT_EQ(left, QStringList()) << left.join(' ').toStdString();
    } else {
      EXPECT_EQ(Differing(Contents(watched + "/o"), whole), QStringList());
    }
  }
}

// The exact integer root the measures rest on, at and around squares up to
// the largest the measures can reach.
TEST(IntegerSqrtTest, IsTheFloorOfTheRoot) {
  for (const std::int64_t root : {0LL, 1LL, 2LL, 3LL, 255LL, 65535LL, 3037000499LL}) {
    SCOPED_TRACE(root);
    EXPECT_EQ(IntegerSqrt(root * root), root);
    if (root > 0) {
      EXPECT_EQ(IntegerSqrt(root * root - 1), root - 1);
    }
    if (root < 3037000499LL) {
      EXPECT_EQ(IntegerSqrt(root * root + 2 * root), root);
    }
  }
}

// The measures of made-up clouds, each shown for three ticks: what a
// measure says of a shape it was made to tell, and the verdict on it.
TEST(RunMeasuresTest, TellTheShapesTheyWereMadeFor) {
  constexpr int kWidth = 96, kHeight = 64;
  struct Particle {
    double x, y, vx, vy;
  };
  const auto ring = [](double vx0, double vy0, double spin) {
    std::vector<Particle> cloud;
    for (int k = 0; k < 64; ++k) {
      const double angle = k * 2 * 3.14159265358979 / 64;
      const double rx = 20 * std::cos(angle), ry = 20 * std::sin(angle);
      cloud.push_back({48 + rx, 32 + ry, vx0 - spin * ry, vy0 + spin * rx});
    }
    return cloud;
  };
  std::vector<Particle> clumps;
  for (int k = 0; k < 20; ++k) {
    clumps.push_back({10.0 + k % 4, 10.0 + k / 4 % 4, 0.5, 0});
    clumps.push_back({70.0 + k % 4, 40.0 + k / 4 % 4, -0.5, 0});
  }
  // One clump across the wrapped left and right edges.
  const std::vector<Particle> wrapped{{1, 30, 1, 0}, {2, 31, 1, 0}, {94, 30, 1, 0}, {95, 31, 1, 0}};
  // Scattered at random, each on its own way: counts per cell vary as a
  // random scatter's do.
  std::vector<Particle> gas;
  std::mt19937 random(7);
  const auto uniform = [&random](double low, double high) {
    return low + (high - low) * static_cast<double>(random()) / 4294967296.0;
  };
  for (int k = 0; k < 600; ++k) gas.push_back({uniform(0, 96), uniform(0, 64), uniform(-2, 2), uniform(-2, 2)});
  const struct {
    const char* name;
    std::vector<Particle> cloud;
    bool moving;  // Whether its frames differ.
    RunMeasures expected;  // The measures checked: clusters, speed, drift, rotation (-1: not checked).
    Dropped verdict;
  } clouds[] = {
      {"drifting ring", ring(2, 0, 0), true, {.clusters = 1, .speed = 512, .drift = 512, .rotation = 0}, Dropped::kNo},
      {"spinning ring", ring(0, 0, 0.1), true, {.clusters = 1, .speed = -1, .drift = 0, .rotation = 1000},
       Dropped::kNo},
      {"two clumps", clumps, true, {.clusters = 2, .speed = 128, .drift = 0, .rotation = -1}, Dropped::kNo},
      {"a clump across the edge", wrapped, true, {.clusters = 1, .speed = 256, .drift = 256, .rotation = -1},
       Dropped::kEmpty},
      {"still ring", ring(0, 0, 0), false, {.clusters = 1, .speed = 0, .drift = 0, .rotation = 0}, Dropped::kStill},
      {"gas", gas, true, {.clusters = -1, .speed = -1, .drift = -1, .rotation = -1}, Dropped::kGas},
  };
  for (const auto& [name, cloud, moving, expected, verdict] : clouds) {
    SCOPED_TRACE(name);
    auto field = std::make_unique<ParticleField>();
    field->ParticleCount = static_cast<std::int32_t>(cloud.size());
    for (std::size_t i = 0; i < cloud.size(); ++i) {
      field->x[i] = cloud[i].x;
      field->y[i] = cloud[i].y;
      field->vx[i] = cloud[i].vx;
      field->vy[i] = cloud[i].vy;
    }
    MeasureRecorder recorder(kWidth, kHeight);
    FrameBitmap frame;
    frame.Resize(kWidth, kHeight);
    for (int tick = 0; tick < 3; ++tick) {
      if (moving) frame.Pixels()[tick] = 0xffffff;
      recorder.Add(*field, frame);
    }
    const RunMeasures measures = recorder.End(100);
    if (expected.clusters >= 0) {
      EXPECT_EQ(measures.clusters, expected.clusters);
    }
    if (expected.speed >= 0) {
      EXPECT_EQ(measures.speed, expected.speed);
    }
    if (expected.drift >= 0) {
      EXPECT_EQ(measures.drift, expected.drift);
    }
    // Whole-pixel offsets from a centroid rounded down leave a little turning
    // in a cloud that only drifts.
    if (expected.rotation >= 0) {
      EXPECT_NEAR(measures.rotation, expected.rotation, 40);
    }
    EXPECT_LE(measures.rotation, 1000);
    EXPECT_EQ(measures.movingFrames, moving ? 1000 : 0);
    EXPECT_EQ(DropReason(measures), verdict) << DroppedName(DropReason(measures));
  }
}

}  // namespace
}  // namespace zintrel
