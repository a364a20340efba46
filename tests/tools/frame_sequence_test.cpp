#include "tools/frame_sequence.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zintrel
