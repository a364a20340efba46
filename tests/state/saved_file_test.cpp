#include "state/saved_file.h"

#include <signal.h>
#include <sys/wait.h>

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "state/temporary_files.h"
#include "tests/support/small_disk.h"

namespace zintrel {
namespace {

// A folder of the test's own under /tmp, removed with what is in it.
class Folder {
 public:
  Folder() {
    char name[] = "/tmp/zintrel-saved-file-XXXXXX";
    path_ = ::mkdtemp(name);
  }
  ~Folder() {
    for (const std::string& entry : Entries()) ::unlink((path_ + "/" + entry).c_str());
    ::rmdir(path_.c_str());
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::set<std::string> Entries() const {
    const std::vector<std::string> names = Listing(path_);
    return {names.begin(), names.end()};
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

TEST(SavedFileTest, ReplacesWholeKeepsPermissionsAndLeavesNothingElse) {
  Folder folder;
  const std::string path = folder.File("state.zintrel");
  EXPECT_EQ(SaveWholeFile(path, "first"), "");
  EXPECT_EQ(FileBytes(path), "first");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  EXPECT_EQ(SaveWholeFile(path, std::string(100000, 'x')), "");
  EXPECT_EQ(FileBytes(path), std::string(100000, 'x'));
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(folder.Entries(), std::set<std::string>{"state.zintrel"});
  // An empty save is a file of no bytes, not no file.
  EXPECT_EQ(SaveWholeFile(path, ""), "");
  EXPECT_EQ(FileBytes(path), "");
}

TEST(SavedFileTest, SavesUnderTheNameAsGivenAndThroughLinks) {
  Folder folder;
  // Latin-1 "café": not UTF-8, and written under exactly these bytes.
  const std::string latin1 = "caf\xe9.zintrel";
  EXPECT_EQ(SaveWholeFile(folder.File(latin1), "bytes"), "");
  EXPECT_EQ(folder.Entries(), std::set<std::string>{latin1});
  // Saving through a link updates the file it names; the link stays.
  ASSERT_EQ(::symlink(latin1.c_str(), folder.File("link").c_str()), 0);
  EXPECT_EQ(SaveWholeFile(folder.File("link"), "through the link"), "");
  EXPECT_EQ(FileBytes(folder.File(latin1)), "through the link");
  struct stat status {};
  ASSERT_EQ(::lstat(folder.File("link").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  // A folder in the way is refused, not replaced.
  ASSERT_EQ(::mkdir(folder.File("folder").c_str(), 0755), 0);
  EXPECT_EQ(SaveWholeFile(folder.File("folder"), "x"), std::strerror(EISDIR));
  EXPECT_EQ(SaveWholeFile(folder.File("missing/state.zintrel"), "x"), std::strerror(ENOENT));
  ::rmdir(folder.File("folder").c_str());
  EXPECT_EQ(folder.Entries(), (std::set<std::string>{latin1, "link"}));
}

TEST(SavedFileTest, UndoPutsBackWhatWasReplaced) {
  Folder folder;
  const std::string path = folder.File("picture.png");
  Put(path, "old");
  {
    SavedFile file(path);
    ASSERT_EQ(file.Write("new"), "");
    ASSERT_EQ(file.Replace(), "");
    EXPECT_EQ(FileBytes(path), "new");
    file.Undo();
    EXPECT_EQ(FileBytes(path), "old");
  }
  {
    // Dropped after Replace without Keep: the same as Undo.
    SavedFile file(path);
    ASSERT_EQ(file.Write("newer"), "");
    ASSERT_EQ(file.Replace(), "");
  }
  EXPECT_EQ(FileBytes(path), "old");
  {
    // A new file undone leaves no file.
    SavedFile file(folder.File("new.png"));
    ASSERT_EQ(file.Write("new"), "");
    ASSERT_EQ(file.Replace(), "");
  }
  EXPECT_EQ(folder.Entries(), std::set<std::string>{"picture.png"});
}

TEST(SavedFileTest, AFullDiskSaysWhyAndLeavesTheOldFile) {
  SmallDisk disk(256 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  const std::string path = disk.File("old.png");
  const std::string old(3000, 'o');
  Put(path, old);
  ASSERT_TRUE(disk.Fill());
  EXPECT_EQ(SaveWholeFile(path, std::string(20000, 'n')), std::strerror(ENOSPC));
  EXPECT_EQ(FileBytes(path), old);
  // Even a save small enough to sit in a buffer until the file is closed.
  EXPECT_EQ(SaveWholeFile(path, std::string(1000, 'n')), std::strerror(ENOSPC));
  EXPECT_EQ(FileBytes(path), old);
  EXPECT_EQ(SaveWholeFile(disk.File("new.png"), std::string(1000, 'n')), std::strerror(ENOSPC));
  EXPECT_EQ(FileBytes(disk.File("new.png")), "<missing>");
  // Room again: the same save goes through.
  ::unlink(disk.File("filler").c_str());
  EXPECT_EQ(SaveWholeFile(path, std::string(20000, 'n')), "");
  EXPECT_EQ(FileBytes(path), std::string(20000, 'n'));
}

// The failure injector, when it is preloaded (see tests/support).
struct Injector {
  void (*set)(long, int) = nullptr;
  long (*counted)() = nullptr;
  void (*watch)(const char*) = nullptr;
  void (*fileSystem)(int) = nullptr;
  Injector() {
    set = reinterpret_cast<void (*)(long, int)>(::dlsym(RTLD_DEFAULT, "FailCallsSet"));
    counted = reinterpret_cast<long (*)()>(::dlsym(RTLD_DEFAULT, "FailCallsCounted"));
    watch = reinterpret_cast<void (*)(const char*)>(::dlsym(RTLD_DEFAULT, "FailCallsWatch"));
    fileSystem = reinterpret_cast<void (*)(int)>(::dlsym(RTLD_DEFAULT, "FailCallsFileSystem"));
  }
  bool Loaded() const { return set != nullptr && counted != nullptr && watch != nullptr && fileSystem != nullptr; }
};

// Every call of a save that can fail is made to fail in turn, as storage
// engines test their error paths: each time the save says why, with the
// system's words, and the old file is as it was; or, where the failing call
// came after the save was final, the new file is whole. So on a local disk,
// on one that cannot exchange two names (NFS, SMB, FUSE), and on one that
// has no hard links either (FAT).
TEST(SavedFileTest, EveryFailingCallSaysWhyAndLeavesTheOldFile) {
  const Injector injector;
  if (!injector.Loaded()) GTEST_SKIP() << "the failure injector is not preloaded";
  for (const int fileSystem : {0, 1, 2}) {
    SCOPED_TRACE("file system " + std::to_string(fileSystem));
    Folder folder;
    injector.watch(folder.Path().c_str());
    injector.fileSystem(fileSystem);
    const std::string path = folder.File("state.zintrel");
    const std::string old = "old state";
    const std::string fresh(70000, 'n');
    Put(path, old);
    injector.set(0, EIO);
    ASSERT_EQ(SaveWholeFile(path, fresh), "");
    const long calls = injector.counted();
    ASSERT_GE(calls, 6) << "open, write, fsync, close, rename, folder sync at least";
    int reported = 0;
    for (long failing = 1; failing <= calls; ++failing) {
      Put(path, old);
      injector.set(failing, EIO);
      const std::string problem = SaveWholeFile(path, fresh);
      injector.set(0, EIO);
      if (problem.empty()) {
        EXPECT_EQ(FileBytes(path), fresh) << "call " << failing;
      } else {
        ++reported;
        EXPECT_EQ(problem, std::strerror(EIO)) << "call " << failing;
        EXPECT_EQ(FileBytes(path), old) << "call " << failing;
      }
      // Only a displaced old file whose removal failed may linger.
      std::set<std::string> entries = folder.Entries();
      entries.erase("state.zintrel");
      for (const std::string& left : entries) {
        EXPECT_EQ(FileBytes(folder.File(left)), old) << "call " << failing << " left " << left;
        ::unlink(folder.File(left).c_str());
      }
    }
    // All but the calls after the save became final must be reported, and
    // a hard link refused, which a rename stands in for.
    EXPECT_GE(reported, calls - (fileSystem == 1 ? 3 : 2));
  }
  injector.fileSystem(0);
  injector.watch("");
}

// A pipe, a terminal or one of the process's own descriptors is written in
// place as a stream: the reader gets the bytes, the name stays what it was,
// and a reader that is not there or goes away is a failure with its reason.
TEST(SavedFileTest, APipeOrAnOwnDescriptorIsWrittenInPlace) {
  ::signal(SIGPIPE, SIG_IGN);
  Folder folder;
  const std::string fifo = folder.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string bytes(200000, 's');
  std::string read;
  std::thread reader([&] { read = FileBytes(fifo); });
  EXPECT_EQ(SaveWholeFile(fifo, bytes), "");
  reader.join();
  EXPECT_EQ(read, bytes);
  struct stat status {};
  ASSERT_EQ(::lstat(fifo.c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  // Nobody reading: a window is told at once instead of hanging.
  EXPECT_EQ(SaveWholeFile(fifo, bytes, false), std::strerror(ENXIO));

  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  for (const std::string name : {"/proc/self/fd/", "/dev/fd/"}) {
    EXPECT_EQ(SaveWholeFile(name + std::to_string(ends[1]), "via " + name), "");
    char got[64] = {};
    EXPECT_EQ(std::string(got, static_cast<std::size_t>(::read(ends[0], got, sizeof got))), "via " + name);
  }
  // The reader went away.
  ::close(ends[0]);
  EXPECT_EQ(SaveWholeFile("/proc/self/fd/" + std::to_string(ends[1]), "lost"), std::strerror(EPIPE));
  ::close(ends[1]);
  EXPECT_EQ(folder.Entries(), std::set<std::string>{"pipe"});
}

// What a save left when its process died is removed by the next save in
// the folder, and only that: a running process's temporary, another
// machine's, and anything not ours stay. An old file that died between its
// two renames goes back to its name.
TEST(SavedFileTest, TheNextSaveRemovesWhatDeadProcessesLeft) {
  Folder folder;
  // Names made by a process that then ends without cleaning up.
  const auto madeByAnEndedProcess = [&folder](const std::string& target) {
    int ends[2];
    EXPECT_EQ(::pipe(ends), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      const std::string part = TemporaryName(folder.Path(), "part");
      const std::string backup = BackupName(folder.Path(), target);
      const std::string names = part + "\n" + backup + "\n";
      [[maybe_unused]] const ssize_t written = ::write(ends[1], names.data(), names.size());
      ::_exit(0);
    }
    ::close(ends[1]);
    ::waitpid(child, nullptr, 0);
    char bytes[4096] = {};
    const std::string names(bytes, static_cast<std::size_t>(::read(ends[0], bytes, sizeof bytes)));
    ::close(ends[0]);
    return std::make_pair(names.substr(0, names.find('\n')),
                          names.substr(names.find('\n') + 1, names.rfind('\n') - names.find('\n') - 1));
  };
  const auto [deadPart, deadBackupOfMissing] = madeByAnEndedProcess("missing.zintrel");
  const auto [unused, deadBackupOfPresent] = madeByAnEndedProcess("present.zintrel");
  Put(deadPart, "partial");
  Put(deadBackupOfMissing, "the only copy");
  Put(deadBackupOfPresent, "an older copy");
  Put(folder.File("present.zintrel"), "newer");
  // This process runs; a name of another machine cannot be judged.
  const std::string running = TemporaryName(folder.Path(), "part");
  std::string otherMachine = deadPart;
  otherMachine.insert(otherMachine.rfind('.'), "-elsewhere");
  Put(running, "being written");
  Put(otherMachine, "theirs");
  Put(folder.File(".zintrel-notes"), "not a temporary");

  EXPECT_EQ(SaveWholeFile(folder.File("state.zintrel"), "saved"), "");
  EXPECT_EQ(folder.Entries(), (std::set<std::string>{NameOf(running), NameOf(otherMachine), ".zintrel-notes",
                                                     "missing.zintrel", "present.zintrel", "state.zintrel"}));
  EXPECT_EQ(FileBytes(folder.File("missing.zintrel")), "the only copy");
  EXPECT_EQ(FileBytes(folder.File("present.zintrel")), "newer");
}

}  // namespace
}  // namespace zintrel
