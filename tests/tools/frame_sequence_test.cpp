#include "tools/frame_sequence.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>

#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "tools/headless_run.h"

namespace zintrel {
namespace {

QStringList Listing(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A step that runs the real one twice, then reports a fault, so that a run
// fails after frames have been stored.
int stepsBeforeFault = 0;
StepFault FaultOnThirdStep(ParticleField& field) {
  if (stepsBeforeFault-- <= 0) return StepFault::kOverflow;
  return StepParticles(field);
}

std::unique_ptr<ParticleField> StartState() {
  auto field = std::make_unique<ParticleField>();
  SetStartValues(*field);
  RandomSource random(8);
  Scatter(*field, random);
  return field;
}

TEST(FrameSequenceTest, NamesCountFromOneWithSixDigits) {
  EXPECT_EQ(FrameFileName(1), "000001.png");
  EXPECT_EQ(FrameFileName(999999), "999999.png");
  EXPECT_EQ(FrameFileName(10000000), "10000000.png");
}

TEST(FrameSequenceTest, FaultAfterSomeTicksLeavesTheFolderAsItWas) {
  QTemporaryDir folder;
  const QString old = folder.filePath(QStringLiteral("000001.png"));
  QImage(2, 2, QImage::Format_RGB32).save(old);  // A frame of an earlier run.
  auto field = StartState();
  FrameBitmap bitmap;
  {
    FrameSequence frames;
    ASSERT_EQ(frames.Start(folder.path().toStdString()), "");
    stepsBeforeFault = 2;
    const TickRunResult run = RunTicks(*field, bitmap, 660, 440, 10, true, FaultOnThirdStep, &frames);
    EXPECT_EQ(run.fault, StepFault::kOverflow);
    EXPECT_EQ(run.ticksRun, 2);
    EXPECT_EQ(frames.Count(), 2);
  }
  EXPECT_EQ(Listing(folder.path()), QStringList({"000001.png"}));
  EXPECT_EQ(QImage(old).size(), QSize(2, 2));
}

TEST(FrameSequenceTest, CommitReplacesEarlierFramesAndRemovesStaging) {
  QTemporaryDir folder;
  QImage(2, 2, QImage::Format_RGB32).save(folder.filePath(QStringLiteral("000001.png")));
  auto field = StartState();
  FrameBitmap bitmap;
  {
    FrameSequence frames;
    ASSERT_EQ(frames.Start(folder.path().toStdString()), "");
    const TickRunResult run = RunTicks(*field, bitmap, 64, 48, 2, false, StepParticles, &frames);
    ASSERT_EQ(run.fault, StepFault::kNone);
    ASSERT_EQ(frames.Commit(), "");
  }
  EXPECT_EQ(Listing(folder.path()), QStringList({"000001.png", "000002.png"}));
  EXPECT_EQ(QImage(folder.filePath(QStringLiteral("000001.png"))).size(), QSize(64, 48));
}

// A folder that does not exist yet is staged beside it and appears at
// Commit whole, as the staging folder renamed, without the note and with the
// permissions mkdir would have given it; it outlives the sequence.
TEST(FrameSequenceTest, NewFolderAppearsWholeAtCommit) {
  // A umask unlike the usual one, set back however the test ends.
  struct Umask {
    mode_t saved = ::umask(027);
    ~Umask() { ::umask(saved); }
  } umask;
  for (const char* name : {"new", "new/"}) {
    SCOPED_TRACE(name);
    QTemporaryDir parent;
    const QString folder = parent.filePath(QStringLiteral("new"));
    auto field = StartState();
    FrameBitmap bitmap;
    {
      FrameSequence frames;
      ASSERT_EQ(frames.Start(parent.filePath(QString::fromLatin1(name)).toStdString()), "");
      ASSERT_EQ(RunTicks(*field, bitmap, 64, 48, 2, false, StepParticles, &frames).fault, StepFault::kNone);
      EXPECT_FALSE(QFileInfo::exists(folder));
      const QStringList staging = Listing(parent.path());
      ASSERT_EQ(staging.size(), 1);
      EXPECT_TRUE(staging.first().startsWith(QLatin1String(kStagingPrefix)));
      EXPECT_EQ(Listing(parent.filePath(staging.first())),
                QStringList({"000001.png", "000002.png", QLatin1String(kStagingNote)}));
      ASSERT_EQ(frames.Commit(), "");
    }
    EXPECT_EQ(Listing(parent.path()), QStringList({"new"}));
    EXPECT_EQ(Listing(folder), QStringList({"000001.png", "000002.png"}));
    EXPECT_EQ(QImage(folder + "/000002.png").size(), QSize(64, 48));
    struct stat status {};
    ASSERT_EQ(::stat(folder.toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0750u);
  }
}

TEST(FrameSequenceTest, FailedRunLeavesNoNewFolder) {
  QTemporaryDir parent;
  auto field = StartState();
  FrameBitmap bitmap;
  {
    FrameSequence frames;
    ASSERT_EQ(frames.Start(parent.filePath(QStringLiteral("new")).toStdString()), "");
    stepsBeforeFault = 2;
    EXPECT_EQ(RunTicks(*field, bitmap, 64, 48, 10, true, FaultOnThirdStep, &frames).fault, StepFault::kOverflow);
    EXPECT_EQ(frames.Count(), 2);
  }
  EXPECT_TRUE(Listing(parent.path()).isEmpty());
}

// Someone else filled the name during the run: the commit fails instead of
// mixing the frames into their folder, and takes its staging folder with it.
TEST(FrameSequenceTest, NewFolderTakenDuringTheRunIsLeftAlone) {
  QTemporaryDir parent;
  const QString folder = parent.filePath(QStringLiteral("new"));
  auto field = StartState();
  FrameBitmap bitmap;
  {
    FrameSequence frames;
    ASSERT_EQ(frames.Start(folder.toStdString()), "");
    ASSERT_EQ(RunTicks(*field, bitmap, 64, 48, 2, false, StepParticles, &frames).fault, StepFault::kNone);
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile theirs(folder + "/theirs.txt");
    ASSERT_TRUE(theirs.open(QIODevice::WriteOnly));
    const std::string problem = frames.Commit();
    EXPECT_EQ(problem.rfind("cannot create frames folder '" + folder.toStdString() + "': ", 0), 0u) << problem;
  }
  EXPECT_EQ(Listing(parent.path()), QStringList({"new"}));
  EXPECT_EQ(Listing(folder), QStringList({"theirs.txt"}));
}

}  // namespace
}  // namespace zintrel
