// What zintrel-headless promises about its outputs where the world
// misbehaves: a full disk, each call of its writes failing in turn, and a
// name that is not UTF-8. Its outputs land all together or not at all, and
// a failure is told with the system's reason.

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/small_disk.h"

extern char** environ;

namespace zintrel {
namespace {

struct Outcome {
  int status = -1;
  std::string err;
};

// Runs the tool with arguments as bytes (no text decoding on the way) and
// extra environment variables; its standard error goes to a file.
Outcome RunTool(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& extra = {}) {
  char errName[] = "/tmp/zintrel-headless-err-XXXXXX";
  const int errFile = ::mkstemp(errName);
  std::map<std::string, std::string> variables = extra;
  if (variables.count("LD_PRELOAD") != 0) {
    // A sanitised tool would refuse a library loaded before its runtime.
    const char* asan = std::getenv("ASAN_OPTIONS");
    variables["ASAN_OPTIONS"] = std::string(asan ? asan : "") + ":verify_asan_link_order=0";
  }
  std::vector<std::string> environment;
  for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    if (variables.count(entry.substr(0, entry.find('='))) == 0) environment.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  std::vector<std::string> all{ZINTREL_HEADLESS_PATH};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, errFile, 2);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  Outcome outcome;
  pid_t child = 0;
  if (::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(errFile);
  outcome.err = FileBytes(errName);
  ::unlink(errName);
  return outcome;
}

class HeadlessWritesTest : public testing::Test {
 protected:
  HeadlessWritesTest() {
    char name[] = "/tmp/zintrel-headless-writes-XXXXXX";
    folder_ = ::mkdtemp(name);
  }
  ~HeadlessWritesTest() override { Remove(folder_); }

  static void Remove(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return;
    if (S_ISDIR(status.st_mode)) {
      for (const std::string& name : Listing(path)) Remove(path + "/" + name);
      ::rmdir(path.c_str());
    } else {
      ::unlink(path.c_str());
    }
  }
  static void Put(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

  std::string folder_;
};

const std::vector<std::string> kRun{"--seed", "1", "--ticks", "3", "--width", "200", "--height", "150"};

std::vector<std::string> With(std::vector<std::string> arguments, const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

TEST_F(HeadlessWritesTest, AFullDiskLeavesEveryOutputAsItWas) {
  SmallDisk disk(256 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  Put(disk.File("s.zintrel"), "old state");
  Put(disk.File("s.png"), "old picture");
  ASSERT_EQ(::mkdir(disk.File("frames").c_str(), 0755), 0);
  Put(disk.File("frames/000001.png"), "old frame");
  ASSERT_TRUE(disk.Fill());
  const std::vector<std::vector<std::string>> outputs{
      {"--state-out", disk.File("s.zintrel"), "--frame-out", disk.File("s.png")},
      {"--frame-out", disk.File("s.png")},
      {"--frames-dir", disk.File("frames")},
      {"--frames-dir", disk.File("new-frames")},
  };
  for (const std::vector<std::string>& output : outputs) {
    SCOPED_TRACE(output[0]);
    const Outcome run = RunTool(With(kRun, output));
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(": No space left on device\n"), std::string::npos) << run.err;
    EXPECT_EQ(FileBytes(disk.File("s.zintrel")), "old state");
    EXPECT_EQ(FileBytes(disk.File("s.png")), "old picture");
    EXPECT_EQ(Listing(disk.File("frames")), std::vector<std::string>{"000001.png"});
    EXPECT_EQ(FileBytes(disk.File("frames/000001.png")), "old frame");
    EXPECT_EQ(Listing(disk.Path()), (std::vector<std::string>{"filler", "frames", "s.png", "s.zintrel"}));
  }
}

// Each call of the run's writes fails in turn (the failure injector,
// preloaded into the tool): the run says why, with the system's words, and
// leaves every output as it was; or, when the failing call came after the
// outputs were final, every output is new and whole. So on a local disk, on
// one that cannot exchange two names (NFS, SMB, FUSE), and on one with no
// hard links either (FAT).
TEST_F(HeadlessWritesTest, EveryFailingCallLeavesAllOutputsOrNone) {
  const std::vector<std::string> outputs{"--state-out", Path("s.zintrel"), "--frame-out", Path("s.png"),
                                         "--gif", Path("s.gif"), "--frames-dir", Path("frames")};
  ASSERT_EQ(RunTool(With(kRun, {"--state-out", Path("want.zintrel"), "--frame-out", Path("want.png"), "--gif",
                                Path("want.gif"), "--frames-dir", Path("want-frames")})).status,
            0);
  const auto oldOutputs = [&] {
    Put(Path("s.zintrel"), "old state");
    Put(Path("s.png"), "old picture");
    Put(Path("s.gif"), "old animation");
    Remove(Path("frames"));
    ::mkdir(Path("frames").c_str(), 0755);
    Put(Path("frames/000002.png"), "old frame");
    Put(Path("frames/notes.txt"), "theirs");
  };
  for (const std::string fileSystem : {"local", "no-exchange", "fat"}) {
    const std::map<std::string, std::string> watch{
        {"FAIL_CALLS_UNDER", folder_},
        {"FAIL_CALLS_FILE_SYSTEM", fileSystem},
        {"FAIL_CALLS_REPORT", "/tmp/zintrel-fail-calls-" + std::to_string(::getpid())},
        {"LD_PRELOAD", ZINTREL_FAIL_CALLS_PATH}};
    oldOutputs();
    ASSERT_EQ(RunTool(With(kRun, outputs), watch).status, 0);
    const long calls = std::atol(FileBytes(watch.at("FAIL_CALLS_REPORT")).c_str());
    ASSERT_GE(calls, 20) << "every frame, the state, the picture and the animation are written, synced and renamed";
    for (long failing = 1; failing <= calls; ++failing) {
      SCOPED_TRACE(fileSystem + ", call " + std::to_string(failing));
      oldOutputs();
      std::map<std::string, std::string> environment = watch;
      environment["FAIL_CALLS_AT"] = std::to_string(failing);
      const Outcome run = RunTool(With(kRun, outputs), environment);
      std::vector<std::string> frames = Listing(Path("frames"));
      std::vector<std::string> left = Listing(folder_);
      const std::string failed = FileBytes(watch.at("FAIL_CALLS_REPORT"));
      if (run.status != 0) {
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(": Input/output error\n"), std::string::npos) << run.err;
        EXPECT_EQ(FileBytes(Path("s.zintrel")), "old state");
        EXPECT_EQ(FileBytes(Path("s.png")), "old picture");
        EXPECT_EQ(FileBytes(Path("s.gif")), "old animation");
        EXPECT_EQ(frames, (std::vector<std::string>{"000002.png", "notes.txt"}));
        EXPECT_EQ(FileBytes(Path("frames/000002.png")), "old frame");
      } else {
        // Only a call made once every output was final may fail unreported:
        // removing what the outputs replaced, or closing a folder after its
        // sync; and a hard link refused, which a rename stands in for. What
        // could not be removed is left, hidden, and nothing else.
        EXPECT_TRUE(failed.ends_with(" unlink\n") || failed.ends_with(" close\n") || failed.ends_with(" link\n"))
            << failed;
        const auto leftovers = [](std::vector<std::string>& names, const std::string& folder) {
          std::erase_if(names, [&folder](const std::string& name) {
            if (name.rfind(".zintrel-", 0) != 0) return false;
            Remove(folder + "/" + name);
            return true;
          });
        };
        leftovers(frames, Path("frames"));
        leftovers(left, folder_);
        EXPECT_EQ(FileBytes(Path("s.zintrel")), FileBytes(Path("want.zintrel")));
        EXPECT_EQ(FileBytes(Path("s.png")), FileBytes(Path("want.png")));
        EXPECT_EQ(FileBytes(Path("s.gif")), FileBytes(Path("want.gif")));
        EXPECT_EQ(frames, (std::vector<std::string>{"000001.png", "000002.png", "000003.png", "notes.txt"}));
        for (const char* frame : {"000001.png", "000002.png", "000003.png"}) {
          EXPECT_EQ(FileBytes(Path("frames/") + frame), FileBytes(Path("want-frames/") + frame)) << frame;
        }
      }
      // Nothing of the run's own is left beside the outputs.
      EXPECT_EQ(left, (std::vector<std::string>{"frames", "s.gif", "s.png", "s.zintrel", "want-frames", "want.gif",
                                                "want.png", "want.zintrel"}));
    }
  }
  ::unlink(("/tmp/zintrel-fail-calls-" + std::to_string(::getpid())).c_str());
}

// On a real FAT file system: a name it refuses, met after other outputs
// were put in place, leaves every old file as it was; a save that works
// replaces them and leaves nothing else.
TEST_F(HeadlessWritesTest, OnFatAFailedRunKeepsTheOldFilesAndANewOneReplacesThem) {
  FatDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  Put(disk.File("s.zintrel"), "old state");
  Put(disk.File("s.png"), "old picture");
  ASSERT_EQ(::mkdir(disk.File("frames").c_str(), 0755), 0);
  Put(disk.File("frames/000001.png"), "old frame");
  const std::vector<std::string> outputs{"--state-out", disk.File("s.zintrel"), "--frame-out", disk.File("s.png"),
                                         "--frames-dir", disk.File("frames")};
  const Outcome refused = RunTool(With(With(kRun, outputs), {"--gif", disk.File("clip?.gif")}));
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("'" + disk.File("clip?.gif") + "': Operation not permitted\n"), std::string::npos)
      << refused.err;
  EXPECT_EQ(FileBytes(disk.File("s.zintrel")), "old state");
  EXPECT_EQ(FileBytes(disk.File("s.png")), "old picture");
  EXPECT_EQ(FileBytes(disk.File("frames/000001.png")), "old frame");
  EXPECT_EQ(Listing(disk.Path()), (std::vector<std::string>{"frames", "s.png", "s.zintrel"}));
  EXPECT_EQ(Listing(disk.File("frames")), std::vector<std::string>{"000001.png"});

  const Outcome saved = RunTool(With(kRun, outputs));
  EXPECT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(FileBytes(disk.File("s.zintrel")).substr(0, 1), "{");
  EXPECT_EQ(FileBytes(disk.File("s.png")).substr(1, 3), "PNG");
  EXPECT_EQ(Listing(disk.Path()), (std::vector<std::string>{"frames", "s.png", "s.zintrel"}));
  EXPECT_EQ(Listing(disk.File("frames")), (std::vector<std::string>{"000001.png", "000002.png", "000003.png"}));
}

// A run killed outright (SIGKILL, a power loss) cannot clean up; the next
// run in the folder removes what it left, so that five killed runs and one
// finished leave only the finished run's outputs.
TEST_F(HeadlessWritesTest, KilledRunsLeaveNoTemporaryPastTheNextRun) {
  Put(Path("s.zintrel"), "old state");
  ::mkdir(Path("frames").c_str(), 0755);
  const std::vector<std::string> outputs{"--state-out", Path("s.zintrel"), "--gif", Path("a.gif"), "--frames-dir",
                                         Path("frames"), "--width", "300", "--height", "200"};
  for (int run = 0; run < 5; ++run) {
    std::vector<std::string> arguments = With({"--seed", std::to_string(run), "--ticks", "100000"}, outputs);
    std::vector<char*> argv;
    std::string tool = ZINTREL_HEADLESS_PATH;
    argv.push_back(tool.data());
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    // Until the animation and some frames are on the disk, under their
    // temporary names.
    const auto writing = [&] {
      bool animation = false;
      for (const std::string& name : Listing(folder_)) {
        struct stat status {};
        animation |= name.ends_with(".part") && ::stat(Path(name).c_str(), &status) == 0 && status.st_size > 0;
      }
      for (const std::string& name : Listing(Path("frames"))) {
        if (name.ends_with(".frames") && Listing(Path("frames/" + name)).size() > 3) return animation;
      }
      return false;
    };
    while (!writing()) ::usleep(1000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  EXPECT_EQ(RunTool(With(kRun, outputs)).status, 0);
  EXPECT_EQ(Listing(folder_), (std::vector<std::string>{"a.gif", "frames", "s.zintrel"}));
  EXPECT_EQ(Listing(Path("frames")), (std::vector<std::string>{"000001.png", "000002.png", "000003.png"}));
}

// A pipe named as an output is written in place as a stream: the reader
// gets the state, and the pipe is still a pipe.
TEST_F(HeadlessWritesTest, APipeGetsTheStateInPlace) {
  ASSERT_EQ(RunTool(With(kRun, {"--state-out", Path("want.zintrel")})).status, 0);
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  std::string read;
  std::thread reader([&] { read = FileBytes(Path("pipe")); });
  const Outcome run = RunTool(With(kRun, {"--state-out", Path("pipe")}));
  reader.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read, FileBytes(Path("want.zintrel")));
  struct stat status {};
  ASSERT_EQ(::lstat(Path("pipe").c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  EXPECT_EQ(Listing(folder_), (std::vector<std::string>{"pipe", "want.zintrel"}));
}

// A name that is not UTF-8 is read and written under exactly its bytes.
TEST_F(HeadlessWritesTest, ANameThatIsNotUtf8IsUsedAsGiven) {
  const std::string latin1 = Path("caf\xe9");
  ASSERT_EQ(RunTool(With(kRun, {"--state-out", latin1 + ".zintrel"})).status, 0);
  const Outcome run = RunTool({"--state-in", latin1 + ".zintrel", "--ticks", "1", "--state-out", latin1 + "-2.zintrel",
                           "--frame-out", latin1 + ".png", "--frames-dir", latin1 + "-frames"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Listing(folder_), (std::vector<std::string>{"caf\xe9-2.zintrel", "caf\xe9-frames", "caf\xe9.png",
                                                        "caf\xe9.zintrel"}));
  EXPECT_EQ(Listing(latin1 + "-frames"), std::vector<std::string>{"000001.png"});
}

}  // namespace
}  // namespace zintrel
