// What a save leaves beside its target on Windows (under Wine in the build):
// nothing once its program is gone, whatever ended it; and no second file
// written to the name a running save is to take.
#include "win/temporary_files.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "win/file_output.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

TEST(TemporaryNameTest, TellsWhoseItIsAndNothingElseReadsAsOne) {
  const TemporaryOwner owners[] = {
      ThisProcess(),
      // A machine's name may hold dashes; the longest of every field.
      {L"MY-PC-2", 4294967295u, ~0ull},
      {L"ABCDEFGHIJKLMNO", 12, 0},
  };
  for (const TemporaryOwner& owner : owners) {
    const std::wstring name = TemporaryName(owner, 4294967295u);
    SCOPED_TRACE(Narrow(name));
    EXPECT_LE(name.size(), 68u);
    TemporaryOwner read;
    ASSERT_TRUE(ReadTemporaryName(name, read));
    EXPECT_EQ(read.machine, owner.machine);
    EXPECT_EQ(read.process, owner.process);
    EXPECT_EQ(read.started, owner.started);
  }
  // Any of these read as someone's would be removed as soon as that
  // someone seemed gone.
  for (const wchar_t* name : {
           L"~zintrel-1234-5.part",  // An older version's, which names no machine.
           L"~zintrel--1234-01d9a1b2c3d4e5f6-5.part",
           L"~zintrel-PC-1234-01d9a1b2c3d4e5f-5.part",
           L"~zintrel-PC-1234-01D9A1B2C3D4E5F6-5.part",
           L"~zintrel-PC-12x4-01d9a1b2c3d4e5f6-5.part",
           L"~zintrel-PC-4294967296-01d9a1b2c3d4e5f6-5.part",
           L"~zintrel-PC-1234-01d9a1b2c3d4e5f6-.part",
           L"~zintrel-PC-1234-01d9a1b2c3d4e5f6-5.part.gif",
           L"zintrel-PC-1234-01d9a1b2c3d4e5f6-5.part",
       }) {
    TemporaryOwner read;
    EXPECT_FALSE(ReadTemporaryName(name, read)) << Narrow(name);
  }
}

// A folder of the test's own, removed with what it holds after.
class TemporaryFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t base[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, base);
    folder_ = std::wstring(base) + L"zintrel-temporaries-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    for (const PROCESS_INFORMATION& holder : holders_) {
      TerminateProcess(holder.hProcess, 1);
      WaitForSingleObject(holder.hProcess, INFINITE);
      CloseHandle(holder.hProcess);
      CloseHandle(holder.hThread);
    }
    RemoveAll(L"\\\\?\\" + folder_);
  }

  static void RemoveAll(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          RemoveDirectoryW((folder + name).c_str());
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveAll(folder + name + L"\\");
        } else {
          DeleteFileW((folder + name).c_str());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }

  std::set<std::wstring> Names() const {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder_ + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }

  static std::string Read(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(unreadable)";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
  }

  // Starts temporary_holder (beside this program) saving a recording of
  // bytes bytes as name; one told to finish is waited for.
  PROCESS_INFORMATION StartHolder(const std::wstring& name, int bytes, bool finish) {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring program(self);
    program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"temporary_holder.exe";
    std::wstring line = L"\"" + program + L"\" \"" + folder_ + name + L"\" " + std::to_wstring(bytes) +
                        (finish ? L" finish" : L"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION holder{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &holder)) {
      ADD_FAILURE() << "cannot start " << Narrow(program) << ": " << SystemErrorText(GetLastError());
      return holder;
    }
    holders_.push_back(holder);
    return holder;
  }

  // Waits for the temporary of process to hold bytes bytes; returns its
  // name, or "" after 30 seconds.
  std::wstring TemporaryOf(DWORD process, int bytes) const {
    const std::wstring pattern =
        folder_ + L"~zintrel-" + ThisProcess().machine + L"-" + std::to_wstring(process) + L"-*.part";
    for (int attempt = 0; attempt < 1500; ++attempt) {
      WIN32_FIND_DATAW found;
      HANDLE search = FindFirstFileW(pattern.c_str(), &found);
      if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        if (found.nFileSizeLow == static_cast<DWORD>(bytes)) return found.cFileName;
      }
      Sleep(20);
    }
    return {};
  }

  // Ends a holder as a kill does; keep leaves its handle open, so that the
  // process it ended still answers by its id.
  void Kill(const PROCESS_INFORMATION& holder, bool keep) {
    TerminateProcess(holder.hProcess, 1);
    WaitForSingleObject(holder.hProcess, INFINITE);
    if (keep) return;
    std::erase_if(holders_, [&](const PROCESS_INFORMATION& held) { return held.hProcess == holder.hProcess; });
    CloseHandle(holder.hProcess);
    CloseHandle(holder.hThread);
  }

  std::wstring folder_;
  std::vector<PROCESS_INFORMATION> holders_;
};

// Saves killed while they write leave their temporaries, which the next
// save in the folder removes, with nothing else: a save still running
// keeps its own, and so do a temporary named for another machine (whose
// process ids say nothing here), one of a process that runs under the id
// and start it names, and one of an older version (whose name says no
// machine).
TEST_F(TemporaryFilesTest, TheNextSaveRemovesWhatKilledSavesLeftAndOnlyThat) {
  constexpr int kBytes = 100000;
  std::vector<std::wstring> killed;
  for (int run = 0; run < 5; ++run) {
    const PROCESS_INFORMATION holder = StartHolder(L"run-" + std::to_wstring(run) + L".gif", kBytes, false);
    const std::wstring temporary = TemporaryOf(holder.dwProcessId, kBytes);
    ASSERT_NE(temporary, L"") << "run " << run << " wrote no temporary";
    killed.push_back(temporary);
    Kill(holder, run % 2 == 0);
    // Until the next save, which the next run is.
    EXPECT_EQ(Names().count(temporary), 1u) << "the kill of run " << run << " left no temporary";
  }
  const PROCESS_INFORMATION finished = StartHolder(L"finished.gif", kBytes, true);
  ASSERT_EQ(WaitForSingleObject(finished.hProcess, 60000), WAIT_OBJECT_0);
  DWORD status = 1;
  GetExitCodeProcess(finished.hProcess, &status);
  ASSERT_EQ(status, 0u) << "the finished run did not save";
  const PROCESS_INFORMATION running = StartHolder(L"running.gif", kBytes, false);
  const std::wstring runningTemporary = TemporaryOf(running.dwProcessId, kBytes);
  ASSERT_NE(runningTemporary, L"");

  const TemporaryOwner& self = ThisProcess();
  const std::wstring kept[] = {
      TemporaryName({L"OTHER-MACHINE", running.dwProcessId + 4, self.started}, 1),
      TemporaryName(self, 4000000000u),
      L"~zintrel-" + std::to_wstring(running.dwProcessId + 4) + L"-1.part",
  };
  // This process's id, started at another moment: an earlier process's.
  const std::wstring reused = TemporaryName({self.machine, self.process, self.started - 1}, 1);
  // Put there as a save would leave them, without a save, which would
  // clean up.
  for (const std::wstring& name : {kept[0], kept[1], kept[2], reused}) {
    HANDLE file = CreateFileW((folder_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(name);
    CloseHandle(file);
  }
  // Each run, a save in that folder, removed the temporary of the kill
  // before it, and the finished one of the last; the one running keeps its
  // own.
  for (const std::wstring& name : killed) EXPECT_EQ(Names().count(name), 0u) << Narrow(name);

  ASSERT_EQ(WriteWholeFile(folder_ + L"next.zintrel", "{}\n"), "");
  EXPECT_EQ(Names(), (std::set<std::wstring>{L"finished.gif", L"next.zintrel", runningTemporary, kept[0], kept[1],
                                             kept[2]}));
  EXPECT_EQ(Read(folder_ + L"finished.gif"), std::string(kBytes, 'g'));

  // Once the running save is killed too, the save after removes its file.
  Kill(running, false);
  ASSERT_EQ(WriteWholeFile(folder_ + L"next.zintrel", "{}\n"), "");
  EXPECT_EQ(Names().count(runningTemporary), 0u);
}

// While a recording is written, a save to its name, however spelled, is
// refused with the system's kind of reason naming the recording, quoting
// no more than 1,000 characters of it, and leaves what was there; the
// recording then takes its name whole. A save to another entry (another
// name, another folder, a second hard link to the file there) goes ahead.
TEST_F(TemporaryFilesTest, ASaveToTheNameARecordingTakesIsRefused) {
  // A folder deep enough that the recording's path passes 1,000 characters.
  std::wstring deep = folder_;
  for (int level = 0; level < 5; ++level) {
    deep += std::wstring(200, static_cast<wchar_t>(L'a' + level)) + L"\\";
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  ASSERT_GT(deep.size(), 1000u);
  const std::wstring path = deep + L"Recording of the day.gif";
  ASSERT_EQ(WriteWholeFile(path, "what was there"), "");
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep + L"sub").c_str(), nullptr));
  wchar_t shortName[32768] = L"";
  const DWORD shortLength = GetShortPathNameW((L"\\\\?\\" + path).c_str(), shortName, 32768);
  ASSERT_GT(shortLength, 0u) << SystemErrorText(GetLastError());
  // Wine says it made the link and makes none: the link is taken only
  // where it leads to the file.
  CreateSymbolicLinkW((L"\\\\?\\" + folder_ + L"link").c_str(), (L"\\\\?\\" + deep).c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  const bool linked = GetFileAttributesW((L"\\\\?\\" + folder_ + L"link\\Recording of the day.gif").c_str()) !=
                      INVALID_FILE_ATTRIBUTES;
  const std::wstring hardLink = deep + L"hard.gif";
  ASSERT_TRUE(CreateHardLinkW((L"\\\\?\\" + hardLink).c_str(), (L"\\\\?\\" + path).c_str(), nullptr));

  RecordingFile recording(path);
  ASSERT_EQ(recording.Write("GIF89a"), "");
  std::wstring upper = path;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  std::wstring slashes = path;
  for (wchar_t& c : slashes) c = c == L'\\' ? L'/' : c;
  struct Case {
    const char* what;
    std::wstring name;
  };
  std::vector<Case> refused = {
      {"the same path", path},
      {"another case", upper},
      {"through ..", deep + L"sub\\..\\Recording of the day.gif"},
      {"with slashes", slashes},
      {"behind \\\\?\\", L"\\\\?\\" + path},
      // Wine undoes no short name of a folder in a path longer than
      // MAX_PATH, which Windows does; the file's own is what a dialog gives.
      {"its short name", deep + std::wstring(shortName, shortLength).substr(std::wstring(shortName).rfind(L'\\') + 1)},
  };
  if (linked) {
    refused.push_back({"through a folder link", folder_ + L"link\\Recording of the day.gif"});
  } else {
    std::printf("the folder link case is left out: this system makes no folder link\n");
  }
  const std::string reason = "the recording under way is to be saved under that name, as '";
  for (const Case& given : refused) {
    SCOPED_TRACE(given.what);
    const std::string problem = WriteWholeFile(given.name, "a picture");
    EXPECT_EQ(problem.substr(0, reason.size()), reason);
    EXPECT_NE(problem.find("Recording of the day.gif'"), std::string::npos) << problem;
    // The quote is cut to 1,000 characters, one of them the ellipsis.
    EXPECT_EQ(Widen(problem).size(), reason.size() + 1000 + 1) << problem;
  }
  EXPECT_EQ(Read(L"\\\\?\\" + path), "what was there");
  EXPECT_EQ(Read(L"\\\\?\\" + hardLink), "what was there");

  for (const std::wstring& other : {deep + L"another.gif", deep + L"sub\\Recording of the day.gif", hardLink}) {
    EXPECT_EQ(WriteWholeFile(other, "a picture"), "") << Narrow(other);
    EXPECT_EQ(Read(L"\\\\?\\" + other), "a picture") << Narrow(other);
  }
  ASSERT_EQ(recording.Finish(), "");
  EXPECT_EQ(Read(L"\\\\?\\" + path), "GIF89a");
  // Once the recording is on its name, the name is free again.
  EXPECT_EQ(WriteWholeFile(path, "a picture"), "");
}

// A name the system refuses (a character no file name may hold, more
// characters than a folder entry holds) fails with the system's reason and
// leaves the files there as they were, with nothing beside them.
TEST_F(TemporaryFilesTest, ANameTheSystemRefusesLeavesEveryFile) {
  ASSERT_EQ(WriteWholeFile(folder_ + L"s.zintrel", "{\"Version\": 1}\n"), "");
  const std::set<std::wstring> there = Names();
  const struct {
    const wchar_t* name;
    DWORD error;
  } names[] = {
      {L"clip?.gif", ERROR_INVALID_NAME},
      {L"clip*.gif", ERROR_INVALID_NAME},
      {L"a<b>.gif", ERROR_INVALID_NAME},
      {L"a|b.gif", ERROR_INVALID_NAME},
      {L"a\"b.gif", ERROR_INVALID_NAME},
  };
  for (const auto& [name, error] : names) {
    EXPECT_EQ(WriteWholeFile(folder_ + name, "a picture"), SystemErrorText(error)) << Narrow(name);
    EXPECT_EQ(Names(), there) << Narrow(name);
  }
  const std::string tooLong = WriteWholeFile(folder_ + std::wstring(256, L'n') + L".gif", "a picture");
  EXPECT_NE(tooLong, "");
  EXPECT_EQ(Names(), there);
  EXPECT_EQ(Read(folder_ + L"s.zintrel"), "{\"Version\": 1}\n");
}

}  // namespace
}  // namespace zintrel
