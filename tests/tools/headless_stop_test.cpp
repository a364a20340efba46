// End-to-end: stop signals sent to a running zintrel-headless in the middle
// of a recording. Whatever the signal, every output must be as it was.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

#include "tools/frame_sequence.h"

namespace zintrel {
namespace {

// Every file and folder below root, hidden ones included, with its bytes.
QMap<QString, QByteArray> Snapshot(const QString& root) {
  QMap<QString, QByteArray> files;
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    QFile file(path);
    files.insert(path, it.fileInfo().isDir() || !file.open(QIODevice::ReadOnly) ? QByteArray("<folder>")
                                                                                : file.readAll());
  }
  return files;
}

QStringList StagingFolders(const QString& folder) {
  return QDir(folder).entryList({QLatin1String(kStagingPrefix) + "*"}, QDir::Dirs | QDir::Hidden);
}

class HeadlessStopTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDir().mkpath(Path("frames")));
    // Outputs of an earlier run, which a stopped run must not touch.
    for (const char* name : {"frames/000001.png", "s.json"}) {
      QFile file(Path(name));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(QByteArray("from an earlier run: ") + name);
    }
  }

  QString Path(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }

  // Starts an endless recording of width x height frames and returns once
  // its staging folder holds frames frames; false if that never happens.
  bool StartRecording(QProcess& process, int width, int height, int frames) {
    process.start(QStringLiteral(ZINTREL_HEADLESS_PATH),
                  {"--seed", "1", "--count", "300", "--ticks", "10000000", "--width", QString::number(width),
                   "--height", QString::number(height), "--frames-dir", Path("frames"), "--state-out",
                   Path("s.json"), "--frame-out", Path("f.png"), "--stats"});
    if (!process.waitForStarted(30000)) return false;
    for (int wait = 0; wait < 12000; ++wait) {
      const QStringList staging = StagingFolders(Path("frames"));
      if (!staging.isEmpty() &&
          QDir(Path("frames") + "/" + staging.first()).entryList({"*.png"}, QDir::Files).size() >= frames) {
        return true;
      }
      if (process.waitForFinished(5)) return false;  // Ended on its own: it must not.
    }
    return false;
  }

  QTemporaryDir folder_;
};

TEST_F(HeadlessStopTest, StopSignalsLeaveEveryOutputAsItWas) {
  const QMap<QString, QByteArray> before = Snapshot(folder_.path());
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    QProcess process;
    ASSERT_TRUE(StartRecording(process, 330, 220, 3));
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), signal), 0);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + signal);
    EXPECT_EQ(process.readAllStandardError(), QByteArray("zintrel-headless: interrupted\n"));
    EXPECT_EQ(process.readAllStandardOutput(), QByteArray());  // No stats line for a stopped run.
    EXPECT_EQ(Snapshot(folder_.path()), before);
  }
}

// Large frames, so that most of a tick is spent storing its frame and the
// signal often lands in the middle of a PNG write: it must still read as an
// interruption and nothing else, never as an output that cannot be written
// or with a complaint of the PNG encoder.
TEST_F(HeadlessStopTest, TerminatedWhileStoringFramesIsNoWriteError) {
  const QMap<QString, QByteArray> before = Snapshot(folder_.path());
  for (int frames = 1; frames <= 4; ++frames) {
    SCOPED_TRACE(frames);
    QProcess process;
    ASSERT_TRUE(StartRecording(process, 2400, 1600, frames));
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGTERM), 0);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(process.readAllStandardError(), QByteArray("zintrel-headless: interrupted\n"));
    EXPECT_EQ(Snapshot(folder_.path()), before);
  }
}

// A run killed outright cannot clean up; what it leaves says what it is.
TEST_F(HeadlessStopTest, KilledRunLeavesARecognisableFolder) {
  QProcess process;
  ASSERT_TRUE(StartRecording(process, 330, 220, 2));
  ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGKILL), 0);
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);

  const QStringList staging = StagingFolders(Path("frames"));
  ASSERT_EQ(staging.size(), 1);
  QFile note(Path("frames") + "/" + staging.first() + "/" + kStagingNote);
  ASSERT_TRUE(note.open(QIODevice::ReadOnly));
  const QByteArray text = note.readAll();
  EXPECT_TRUE(text.contains("zintrel-headless run that did not finish")) << text.toStdString();
  EXPECT_TRUE(text.contains("can be deleted")) << text.toStdString();
  QFile earlier(Path("frames/000001.png"));
  ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
  EXPECT_EQ(earlier.readAll(), QByteArray("from an earlier run: frames/000001.png"));
}

}  // namespace
}  // namespace zintrel
