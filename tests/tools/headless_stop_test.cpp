// End-to-end: stop signals sent to a running zintrel-headless in the middle
// of a recording, the way a terminal, kill or a shell sends them. Whatever
// the signal, every output must be as it was, and the program must end the
// way its caller can tell from any other ending.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "tools/frame_sequence.h"

namespace zintrel {
namespace {

using std::chrono::steady_clock;
using namespace std::chrono_literals;

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

// The frames finished so far in the staging folder inside folder.
qsizetype StagedFrames(const QString& folder) {
  const QStringList staging = StagingFolders(folder);
  return staging.isEmpty() ? 0 : QDir(folder + "/" + staging.first()).entryList({"*.png"}, QDir::Files).size();
}

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A program started for a test in a process group of its own, which is
// killed whole if the test leaves it running. Its standard output and error
// go to files.
class Child {
 public:
  // Starts command (a program's path, then its arguments). The signals in
  // ignored start ignored, as under nohup; the other stop signals start with
  // their default action, and none is blocked.
  Child(const std::vector<std::string>& command, const QString& outPath, const QString& errPath,
        const std::vector<int>& ignored = {}) {
    // Built before fork: between fork and exec the child only makes system calls.
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const std::string out = outPath.toStdString();
    const std::string err = errPath.toStdString();
    pid_ = fork();
    if (pid_ == 0) {
      setpgid(0, 0);
      const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int errFile = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (outFile < 0 || errFile < 0 || dup2(outFile, 1) < 0 || dup2(errFile, 2) < 0) _exit(126);
      for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
      for (const int signal : ignored) std::signal(signal, SIG_IGN);
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    // Also here, so that a signal to the group cannot precede the child's own call.
    if (pid_ > 0) setpgid(pid_, pid_);
  }

  ~Child() {
    if (pid_ > 0 && Running()) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return pid_; }

  // Returns whether the process still runs; once it has ended, Status says how.
  bool Running() {
    if (ended_ || pid_ <= 0) return false;
    ended_ = waitpid(pid_, &status_, WNOHANG) == pid_;
    return !ended_;
  }

  // Waits up to a minute for the process to end; returns whether it did.
  bool Wait() {
    const steady_clock::time_point end = steady_clock::now() + 60s;
    while (Running()) {
      if (steady_clock::now() > end) return false;
      std::this_thread::sleep_for(5ms);
    }
    return ended_;
  }

  // The wait status of the ended process.
  int Status() const { return status_; }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

bool KilledBy(int status, int signal) { return WIFSIGNALED(status) && WTERMSIG(status) == signal; }

class HeadlessStopTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid() && logs_.isValid());
    ASSERT_TRUE(QDir().mkpath(Path("frames")));
    // Outputs of an earlier run, which a stopped run must not touch.
    for (const char* name : {"frames/000001.png", "s.json"}) {
      QFile file(Path(name));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(QByteArray("from an earlier run: ") + name);
    }
  }

  QString Path(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }
  QString Out() const { return logs_.filePath(QStringLiteral("out")); }
  QString Err() const { return logs_.filePath(QStringLiteral("err")); }

  // The command of an endless recording of width x height frames into the
  // folder framesDir of the test's folder, which also asks for a state and
  // a last frame.
  std::vector<std::string> Recording(const char* framesDir, int width = 330, int height = 220) const {
    return {ZINTREL_HEADLESS_PATH, "--seed", "1", "--count", "300", "--ticks", "10000000", "--width",
            std::to_string(width), "--height", std::to_string(height), "--frames-dir",
            Path(framesDir).toStdString(), "--state-out", Path("s.json").toStdString(), "--frame-out",
            Path("f.png").toStdString(), "--stats"};
  }

  // Returns once the staging folder inside stagingParent holds frames
  // frames; false if the child ends first or that takes over a minute.
  static bool WaitForFrames(Child& child, const QString& stagingParent, qsizetype frames) {
    const steady_clock::time_point end = steady_clock::now() + 60s;
    while (StagedFrames(stagingParent) < frames) {
      if (!child.Running() || steady_clock::now() > end) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  QTemporaryDir folder_;  // The outputs, old and new.
  QTemporaryDir logs_;    // What the children print, kept apart from the outputs.
};

// After cleaning up, the program ends by the signal itself, so its caller
// sees a program killed by it. A frames folder that did not exist before is
// not left behind either.
TEST_F(HeadlessStopTest, StopSignalsEndTheProgramByTheSignalLeavingOutputsAsTheyWere) {
  const QMap<QString, QByteArray> before = Snapshot(folder_.path());
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const char* framesDir : {"frames", "new"}) {
      SCOPED_TRACE(std::to_string(signal) + " " + framesDir);
      const QString stagingParent = QDir(Path(framesDir)).exists() ? Path(framesDir) : folder_.path();
      Child child(Recording(framesDir), Out(), Err());
      ASSERT_TRUE(WaitForFrames(child, stagingParent, 3));
      ASSERT_EQ(kill(child.Pid(), signal), 0);
      ASSERT_TRUE(child.Wait());
      EXPECT_TRUE(KilledBy(child.Status(), signal)) << child.Status();
      EXPECT_EQ(Contents(Err()), QByteArray("zintrel-headless: interrupted\n"));
      EXPECT_EQ(Contents(Out()), QByteArray());  // No stats line for a stopped run.
      EXPECT_EQ(Snapshot(folder_.path()), before);
    }
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
    Child child(Recording("frames", 2400, 1600), Out(), Err());
    ASSERT_TRUE(WaitForFrames(child, Path("frames"), frames));
    ASSERT_EQ(kill(child.Pid(), SIGTERM), 0);
    ASSERT_TRUE(child.Wait());
    EXPECT_TRUE(KilledBy(child.Status(), SIGTERM)) << child.Status();
    EXPECT_EQ(Contents(Err()), QByteArray("zintrel-headless: interrupted\n"));
    EXPECT_EQ(Snapshot(folder_.path()), before);
  }
}

// A run killed outright cannot clean up; what it leaves says what it is,
// and a frames folder that did not exist still does not.
TEST_F(HeadlessStopTest, KilledRunLeavesARecognisableFolder) {
  for (const char* framesDir : {"frames", "new"}) {
    SCOPED_TRACE(framesDir);
    const QString stagingParent = QDir(Path(framesDir)).exists() ? Path(framesDir) : folder_.path();
    Child child(Recording(framesDir), Out(), Err());
    ASSERT_TRUE(WaitForFrames(child, stagingParent, 2));
    ASSERT_EQ(kill(child.Pid(), SIGKILL), 0);
    ASSERT_TRUE(child.Wait());
    EXPECT_TRUE(KilledBy(child.Status(), SIGKILL));

    const QStringList staging = StagingFolders(stagingParent);
    ASSERT_EQ(staging.size(), 1);
    const QByteArray text = Contents(stagingParent + "/" + staging.first() + "/" + kStagingNote);
    EXPECT_TRUE(text.contains("zintrel-headless run that did not finish")) << text.toStdString();
    EXPECT_TRUE(text.contains("can be deleted")) << text.toStdString();
  }
  EXPECT_EQ(Contents(Path("frames/000001.png")), QByteArray("from an earlier run: frames/000001.png"));
  EXPECT_FALSE(QFileInfo::exists(Path("new")));
}

// Started from a script that ignores SIGHUP and SIGINT (as nohup and a
// background job do), the program runs on through both, and the script's
// shell still reports the status of the SIGTERM that ends it as 128 + 15.
TEST_F(HeadlessStopTest, SignalsIgnoredByTheCallerStayIgnored) {
  const QMap<QString, QByteArray> before = Snapshot(folder_.path());
  // The program's standard error goes apart from the shell's, which has
  // its own words for a job killed by a signal.
  const QString pidFile = logs_.filePath(QStringLiteral("pid"));
  const QString toolErr = logs_.filePath(QStringLiteral("tool-err"));
  std::vector<std::string> command = {"/bin/sh", "-c",
                                      "trap '' HUP INT; \"$@\" 2> \"$0/tool-err\" & echo $! > \"$0/pid\"; "
                                      "wait $!; echo \"status $?\"",
                                      logs_.path().toStdString()};
  const std::vector<std::string> recording = Recording("frames");
  command.insert(command.end(), recording.begin(), recording.end());
  Child shell(command, Out(), Err());
  ASSERT_TRUE(WaitForFrames(shell, Path("frames"), 2));
  const pid_t tool = static_cast<pid_t>(Contents(pidFile).trimmed().toInt());
  ASSERT_GT(tool, 0);

  ASSERT_EQ(kill(tool, SIGHUP), 0);
  ASSERT_EQ(kill(tool, SIGINT), 0);
  // Frames recorded after both signals show it running on; had either
  // stopped it, the shell would have reported and ended by now.
  const qsizetype atSignals = StagedFrames(Path("frames"));
  ASSERT_TRUE(WaitForFrames(shell, Path("frames"), atSignals + 3));

  ASSERT_EQ(kill(tool, SIGTERM), 0);
  ASSERT_TRUE(shell.Wait());
  EXPECT_TRUE(WIFEXITED(shell.Status()) && WEXITSTATUS(shell.Status()) == 0) << shell.Status();
  EXPECT_EQ(Contents(Out()), QByteArray("status 143\n"));
  EXPECT_EQ(Contents(toolErr), QByteArray("zintrel-headless: interrupted\n"));
  EXPECT_EQ(Snapshot(folder_.path()), before);
}

// Ctrl-C reaches every process of the terminal's foreground group. bash
// leaves a loop on it only when the command it was running died of the
// signal; one that exits, whatever its status, is taken to have dealt with
// it, and the loop goes on.
TEST_F(HeadlessStopTest, CtrlCEndsTheShellLoopRunningIt) {
  const QMap<QString, QByteArray> before = Snapshot(folder_.path());
  std::vector<std::string> command = {"/bin/bash", "-c", "while :; do \"$@\"; echo 'ran again'; done", "bash"};
  const std::vector<std::string> recording = Recording("frames");
  command.insert(command.end(), recording.begin(), recording.end());
  Child shell(command, Out(), Err());
  ASSERT_TRUE(WaitForFrames(shell, Path("frames"), 2));

  ASSERT_EQ(kill(-shell.Pid(), SIGINT), 0);
  ASSERT_TRUE(shell.Wait());
  EXPECT_TRUE(KilledBy(shell.Status(), SIGINT)) << shell.Status();
  EXPECT_EQ(Contents(Out()), QByteArray());
  EXPECT_EQ(Contents(Err()), QByteArray("zintrel-headless: interrupted\n"));
  EXPECT_EQ(Snapshot(folder_.path()), before);
}

}  // namespace
}  // namespace zintrel
