#include "state/saved_file.h"

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
  Injector() {
    set = reinterpret_cast<void (*)(long, int)>(::dlsym(RTLD_DEFAULT, "FailCallsSet"));
    counted = reinterpret_cast<long (*)()>(::dlsym(RTLD_DEFAULT, "FailCallsCounted"));
    watch = reinterpret_cast<void (*)(const char*)>(::dlsym(RTLD_DEFAULT, "FailCallsWatch"));
  }
  bool Loaded() const { return set != nullptr && counted != nullptr && watch != nullptr; }
};

// Every call of a save that can fail is made to fail in turn, as storage
// engines test their error paths: each time the save says why, with the
// system's words, and the old file is as it was; or, where the failing call
// came after the save was final, the new file is whole.
TEST(SavedFileTest, EveryFailingCallSaysWhyAndLeavesTheOldFile) {
  const Injector injector;
  if (!injector.Loaded()) GTEST_SKIP() << "the failure injector is not preloaded";
  Folder folder;
  injector.watch(folder.Path().c_str());
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
  // All but the calls after the save became final must be reported.
  EXPECT_GE(reported, calls - 2);
  injector.watch("");
}

}  // namespace
}  // namespace zintrel
