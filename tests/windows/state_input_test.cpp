// Reading a state file by its wide name, on Windows (under Wine in the
// build).
#include "win/state_input.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace zintrel {
namespace {

// A folder of the test's own under the system's temporary folder, removed
// with what it holds.
class StateInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t base[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, base);
    folder_ = std::wstring(base) + L"zintrel-state-input-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW((folder_ + L"\\folder.zintrel").c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = folder_ + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    files_.push_back(path);
    return path;
  }

  std::wstring folder_;
  std::vector<std::wstring> files_;
};

TEST_F(StateInputTest, ReadsAPlainFileWholeAndRefusesWhatIsNotOne) {
  // Bytes of every value, a NUL and a Ctrl+Z among them, come back as written.
  std::string bytes;
  for (int i = 0; i < 3 * 256; ++i) bytes += static_cast<char>(i * 7);
  std::string read = "left over";
  EXPECT_EQ(ReadStateBytes(Write(L"bytes.zintrel", bytes), read).problem, StateFileProblem::kNone);
  EXPECT_EQ(read, bytes);

  std::string empty = "left over";
  EXPECT_EQ(ReadStateBytes(Write(L"empty.zintrel", ""), empty).problem, StateFileProblem::kNone);
  EXPECT_EQ(empty, "");

  const StateFileError missing = ReadStateBytes(folder_ + L"\\missing.zintrel", read);
  EXPECT_EQ(missing.problem, StateFileProblem::kCannotRead);
  EXPECT_FALSE(missing.reason.empty());

  ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\folder.zintrel").c_str(), nullptr));
  EXPECT_EQ(ReadStateBytes(folder_ + L"\\folder.zintrel", read).problem, StateFileProblem::kFolder);
}

TEST_F(StateInputTest, StopsOneByteBeyondTheBound) {
  const std::string most(kMaxStateFileBytes, ' ');
  std::string read;
  EXPECT_EQ(ReadStateBytes(Write(L"most.zintrel", most), read).problem, StateFileProblem::kNone);
  EXPECT_EQ(read.size(), kMaxStateFileBytes);
  EXPECT_EQ(ReadStateBytes(Write(L"more.zintrel", most + ' '), read).problem, StateFileProblem::kTooLarge);
}

// A name with a lone surrogate, which Windows allows in a file name and
// UTF-8 cannot spell, reaches the system as it is. Wine's files refuse such
// names, its pipes do not: the pipe is found, and refused as no plain file,
// where a name turned into U+FFFD on the way would find nothing.
TEST_F(StateInputTest, ALoneSurrogateInTheNameReachesTheSystemUnchanged) {
  const std::wstring name = L"\\\\.\\pipe\\zintrel-" + std::to_wstring(GetCurrentProcessId()) + L"-\xD800-state";
  HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096, 4096, 0,
                                 nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  std::string read;
  const StateFileError error = ReadStateBytes(name, read);
  CloseHandle(pipe);
  EXPECT_EQ(error.problem, StateFileProblem::kNotRegularFile) << error.reason;

  std::wstring replaced = name;
  replaced[replaced.find(L'\xD800')] = L'\xFFFD';
  EXPECT_EQ(ReadStateBytes(replaced, read).problem, StateFileProblem::kCannotRead);
}

}  // namespace
}  // namespace zintrel
