#include "state/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <fstream>
#include <memory>

#include "simulation/random_source.h"
#include "simulation/scatter.h"
#include "tests/simulation/field_hash.h"

namespace zintrel {
namespace {

class StateFileTest : public testing::Test {
 protected:
  StateFileTest() {
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = std::filesystem::temp_directory_path() / ("zintrel-state-file-" + name + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
  }
  ~StateFileTest() override { std::filesystem::remove_all(folder_); }

  std::string Path(const char* name) const { return (folder_ / name).string(); }

  void Write(const char* name, const std::string& bytes) const {
    std::ofstream file(Path(name), std::ios::binary);
    file << bytes;
    ASSERT_TRUE(file.good());
  }

  static std::unique_ptr<ParticleField> StartState() {
    auto field = std::make_unique<ParticleField>();
    SetStartValues(*field);
    RandomSource random(5);
    Scatter(*field, random);
    return field;
  }

  std::filesystem::path folder_;
};

TEST_F(StateFileTest, ReadsAStateWithItsDisplaySettings) {
  Write("good.zintrel", StateToJson(*StartState(), {false, 256}));
  auto field = std::make_unique<ParticleField>();
  DisplaySettings display;
  ASSERT_EQ(ReadStateFile(Path("good.zintrel"), *field, &display, StateSource::kRegularFile), "");
  EXPECT_EQ(HashField(*field), HashField(*StartState()));
  EXPECT_EQ(display.ShowOrientation, false);
  EXPECT_EQ(display.TimerInterval, 256);
}

// Whatever the path names, the reader answers with one line, reads no more
// than its bound (a sparse file claims gigabytes, /dev/zero never ends) and
// never waits for a pipe's writer when only plain files are allowed.
TEST_F(StateFileTest, RefusesWhatIsNotASavedState) {
  Write("empty.zintrel", "");
  Write("truncated.zintrel", StateToJson(*StartState()).substr(0, 1000));
  Write("sparse.zintrel", "");
  std::filesystem::resize_file(Path("sparse.zintrel"), std::uintmax_t{3} << 30);  // Gigabytes that take no room.
  Write("exact.zintrel", std::string(kMaxStateFileBytes + 1, ' '));
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  ASSERT_TRUE(std::filesystem::create_directory(Path("folder.zintrel")));

  const struct {
    std::string path;
    StateSource source;
    const char* expected;
  } cases[] = {
      {Path("missing.zintrel"), StateSource::kAnyFile, "cannot read"},
      {Path("empty.zintrel"), StateSource::kAnyFile, "malformed JSON"},
      {Path("truncated.zintrel"), StateSource::kAnyFile, "malformed JSON"},
      {Path("sparse.zintrel"), StateSource::kRegularFile, "is too large to be a saved state"},
      {Path("exact.zintrel"), StateSource::kRegularFile, "is too large to be a saved state"},
      {"/dev/zero", StateSource::kAnyFile, "is too large to be a saved state"},
      {"/dev/zero", StateSource::kRegularFile, "is not a regular file"},
      {Path("pipe"), StateSource::kRegularFile, "is not a regular file"},
      {Path("folder.zintrel"), StateSource::kAnyFile, "is a folder, not a saved state"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.path);
    auto field = StartState();
    DisplaySettings display{true, 5};
    const std::string problem = ReadStateFile(test.path, *field, &display, test.source);
    EXPECT_NE(problem.find(test.expected), std::string::npos) << problem;
    EXPECT_NE(problem.find("'" + test.path + "'"), std::string::npos) << problem;
    EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
    EXPECT_EQ(HashField(*field), HashField(*StartState()));
    EXPECT_EQ(display.TimerInterval, 5);
  }
}

#ifndef __EMSCRIPTEN__  // The page opens no files by name, and has no threads here.
// A window asks for a plain file and must never wait on a pipe, even when
// the name is swapped for one between a look at it and the open: the file
// is opened first, without waiting, and what was opened is checked.
TEST_F(StateFileTest, ANameSwappedForAPipeNeverBlocksTheOpen) {
  Write("state.zintrel", StateToJson(*StartState()));
  ASSERT_EQ(::rename(Path("state.zintrel").c_str(), Path("file").c_str()), 0);
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  const std::string name = Path("swapped.zintrel");
  std::atomic<bool> stop{false};
  std::atomic<long> opens{0};
  // Swaps the two under one name: each rename is atomic, so the name always
  // holds one or the other.
  std::thread swapper([&] {
    while (!stop) {
      ::link(Path("file").c_str(), name.c_str());
      ::unlink(name.c_str());
      ::link(Path("pipe").c_str(), name.c_str());
      ::unlink(name.c_str());
    }
  });
  std::atomic<bool> done{false};
  std::thread reader([&] {
    auto field = StartState();
    // Bounded in count and in time: an emulated processor opens slowly.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    while (!stop && opens < 100000 && std::chrono::steady_clock::now() < until) {
      ReadStateFile(name, *field, nullptr, StateSource::kRegularFile);
      ++opens;
    }
    done = true;
  });
  // An open that waits on the pipe stops the count: ten seconds without a
  // single open done is taken for one.
  bool finished = true;
  long seen = -1;
  auto lastProgress = std::chrono::steady_clock::now();
  while (!done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (const long now = opens; now != seen) {
      seen = now;
      lastProgress = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - lastProgress > std::chrono::seconds(10)) {
      finished = false;
      break;
    }
  }
  stop = true;
  swapper.join();
  if (!finished) {
    // Lets the stuck open return, so that the test can end and say so.
    const int writer = ::open(Path("pipe").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  reader.join();
  EXPECT_TRUE(finished) << "an open waited on the pipe after " << opens << " opens";
}
#endif

// One byte under the bound is still read (and judged as JSON); the bound
// refuses only what is longer.
TEST_F(StateFileTest, TheBoundIsExact) {
  std::string text = StateToJson(*StartState());
  text.resize(kMaxStateFileBytes, ' ');
  Write("padded.zintrel", text);
  auto field = std::make_unique<ParticleField>();
  EXPECT_EQ(ReadStateFile(Path("padded.zintrel"), *field, nullptr), "");
}

}  // namespace
}  // namespace zintrel
