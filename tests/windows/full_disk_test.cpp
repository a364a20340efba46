// Saving over files on a disk that is full, for real: the folder named by
// ZINTREL_FULL_DISK_FOLDER is on a small file system of the test's own
// (full_disk mounts it), which this program fills. A state and a picture
// saved over the files there fail with the system's reason, and the files
// are as they were, byte for byte, with nothing left beside them; a
// recording that fills it ends with the system's reason and no file at its
// name.
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include "settings/display_texts.h"
#include "settings/settings_panel.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"
#include "win/file_output.h"
#include "tests/windows/folder_files.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

std::string Read(const std::wstring& path) { return FileBytesAt(path); }

std::set<std::wstring> Names(const std::wstring& folder) { return NamesIn(folder); }

// Writes to path until the disk takes no byte more; returns the error that
// said so.
DWORD Fill(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  static const std::string block(65536, 'f');
  DWORD error = 0;
  for (DWORD size = 65536; size > 0; size /= 2) {
    DWORD written = 0;
    while (WriteFile(file, block.data(), size, &written, nullptr) && written == size) {
    }
    error = GetLastError();
  }
  CloseHandle(file);
  return error;
}

TEST(FullDiskTest, SavingOverAFileSaysWhyAndKeepsIt) {
  const char* folderName = std::getenv("ZINTREL_FULL_DISK_FOLDER");
  ASSERT_NE(folderName, nullptr) << "full_disk runs this with ZINTREL_FULL_DISK_FOLDER set";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring folder = Widen(folderName);
  const std::wstring state = folder + L"\\old.zintrel";
  const std::wstring picture = folder + L"\\old.png";
  FrameBitmap bitmap;
  bitmap.Resize(200, 150);
  for (int i = 0; i < bitmap.Stride() * bitmap.Height(); ++i) {
    bitmap.Pixels()[i] = 0xff000000u | (static_cast<std::uint32_t>(i) * 2654435761u >> 8);
  }
  // What was there, saved while there was room.
  ASSERT_EQ(WriteWholeFile(state, "{\"Version\": 1}\n"), "");
  FrameBitmap small;
  small.Resize(20, 15);
  ASSERT_EQ(WriteFramePng(picture, small), "");
  const std::string oldState = Read(state);
  const std::string oldPicture = Read(picture);

  ASSERT_EQ(Fill(folder + L"\\filler"), DWORD{ERROR_DISK_FULL});
  const std::set<std::wstring> there = Names(folder);
  const std::string diskFull = SystemErrorText(ERROR_DISK_FULL);

  EXPECT_EQ(WriteWholeFile(state, std::string(200000, 's')), diskFull);
  EXPECT_TRUE(Read(state) == oldState) << "the state that was there changed";
  EXPECT_EQ(WriteFramePng(picture, bitmap), diskFull);
  EXPECT_TRUE(Read(picture) == oldPicture) << "the picture that was there changed";
  EXPECT_EQ(Names(folder), there);
  // The disk is the next test's too.
  DeleteFileW((folder + L"\\filler").c_str());
  CoUninitialize();
}

// Settings controls at the count slider's top end, as a person records
// the fullest picture, keeping only what the panel shows.
struct Controls : SettingsControls {
  std::string status;
  int SliderPosition(Slider slider) const override { return slider == Slider::kTrackBar1 ? 99 : 50; }
  void MoveSlider(Slider, int) override {}
  void MoveSliderQuietly(Slider, int) override {}
  bool OrientationShown() const override { return true; }
  void ShowOrientationQuietly(bool) override {}
  int TimerInterval() const override { return 16; }
  bool StartTimer(int) override { return true; }
  void ShowHiddenDisplay() override {}
  void RedrawDisplay() override {}
  void SetSliderTip(Slider, const std::string&) override {}
  void ShowRecordingStatus(const std::string& text) override { status = text; }
};

// The display window's recording, through the program's own file, on a disk
// that fills up while it runs: the tick whose frame finds no room says why
// in the box's line, the recording ends, and nothing is left at its name or
// beside it.
TEST(FullDiskTest, ARecordingThatFillsTheDiskSaysWhyAndLeavesNoFile) {
  const char* folderName = std::getenv("ZINTREL_FULL_DISK_FOLDER");
  ASSERT_NE(folderName, nullptr) << "full_disk runs this with ZINTREL_FULL_DISK_FOLDER set";
  const std::wstring folder = Widen(folderName) + L"\\recording";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << SystemErrorText(GetLastError());
  const std::wstring path = folder + L"\\run.gif";
  auto field = std::make_unique<ParticleField>();
  FrameBitmap bitmap;
  RandomSource random(7);
  Controls controls;
  SettingsPanel panel(*field, bitmap, random, controls);
  panel.FormCreate();
  panel.StartRecording(std::make_unique<RecordingFile>(path), Narrow(path));
  panel.Timer1Timer(660, 440);
  panel.Timer1Timer(660, 440);
  ASSERT_EQ(Fill(folder + L"\\filler"), DWORD{ERROR_DISK_FULL});
  std::string told;
  // The file's last block may have room for a frame or two more.
  for (int tick = 0; tick < 200 && told.empty(); ++tick) {
    try {
      panel.Timer1Timer(660, 440);
    } catch (const std::runtime_error& error) {
      told = error.what();
    }
  }
  EXPECT_EQ(told, SaveRecordingFailedText(Narrow(path), SystemErrorText(ERROR_DISK_FULL)));
  EXPECT_FALSE(panel.Recording());
  EXPECT_EQ(controls.status, "");
  EXPECT_EQ(Names(folder), std::set<std::wstring>{L"filler"});
  DeleteFileW((folder + L"\\filler").c_str());
}

}  // namespace
}  // namespace zintrel
