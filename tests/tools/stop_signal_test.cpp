#include "tools/stop_signal.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <sstream>

#include "tools/headless_run.h"

namespace zintrel {
namespace {

bool HasDefaultAction(int signal) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler == SIG_DFL;
}

void RestoreDefaults() {
  for (const int signal : kStopSignals) std::signal(signal, SIG_DFL);
  SetStopSignal(0);
}

// A real signal to this process: recorded, the first one kept, and only the
// signal that arrived gets its default action back (so a second one of the
// same kind ends the program, while the others are still caught).
TEST(StopSignalTest, HandlersRecordTheFirstSignalAndDisarmThemselves) {
  ASSERT_TRUE(InstallStopHandlers());
  for (const int signal : kStopSignals) EXPECT_FALSE(HasDefaultAction(signal)) << signal;
  EXPECT_EQ(StopSignal(), 0);

  ASSERT_EQ(std::raise(SIGHUP), 0);
  EXPECT_EQ(StopSignal(), SIGHUP);
  EXPECT_TRUE(HasDefaultAction(SIGHUP));
  EXPECT_FALSE(HasDefaultAction(SIGINT));

  ASSERT_EQ(std::raise(SIGTERM), 0);
  EXPECT_EQ(StopSignal(), SIGHUP);
  EXPECT_TRUE(HasDefaultAction(SIGTERM));
  RestoreDefaults();
}

bool IsIgnored(int signal) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler == SIG_IGN;
}

// Whoever started the program with a stop signal ignored (nohup, a script
// running it in the background) keeps it ignored; the others are caught.
TEST(StopSignalTest, SignalsIgnoredAtStartStayIgnored) {
  std::signal(SIGHUP, SIG_IGN);
  std::signal(SIGINT, SIG_IGN);
  ASSERT_TRUE(InstallStopHandlers());
  EXPECT_TRUE(IsIgnored(SIGHUP));
  EXPECT_TRUE(IsIgnored(SIGINT));
  EXPECT_FALSE(IsIgnored(SIGTERM));
  EXPECT_FALSE(HasDefaultAction(SIGTERM));

  ASSERT_EQ(std::raise(SIGHUP), 0);
  EXPECT_EQ(StopSignal(), 0);
  ASSERT_EQ(std::raise(SIGTERM), 0);
  EXPECT_EQ(StopSignal(), SIGTERM);
  RestoreDefaults();
}

// The signal must kill even where the program had blocked it or still had
// a handler for it. Each case runs in a child process of its own.
TEST(StopSignalTest, EndBySignalKillsWithThatSignal) {
  EXPECT_EXIT(
      {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        EndBySignal(SIGTERM);
        _exit(0);
      },
      testing::KilledBySignal(SIGTERM), "");
  EXPECT_EXIT(
      {
        InstallStopHandlers();
        EndBySignal(SIGINT);
        _exit(0);
      },
      testing::KilledBySignal(SIGINT), "");
}

// A signal that arrives before the first tick: none of the ten million
// ticks runs, nothing is written, and the status tells which signal it was;
// it outranks the bad input that the missing folder would otherwise be.
TEST(StopSignalTest, RunStopsBeforeTheFirstTick) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const std::string stateOut = folder.filePath(QStringLiteral("s.json")).toStdString();
  for (const std::string& path : {stateOut, std::string("/nonexistent-folder/s.json")}) {
    SCOPED_TRACE(path);
    SetStopSignal(SIGTERM);
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunHeadless({"zintrel-headless", "--seed", "1", "--ticks", "10000000", "--stats",
                                    "--state-out", path, "--frames-dir", folder.path().toStdString()},
                                   out, err);
    RestoreDefaults();
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_EQ(err.str(), "zintrel-headless: interrupted\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  }
}

}  // namespace
}  // namespace zintrel
