// The picture written through the platform's imaging component, read back
// through its decoder, and every write's promises where the system fails
// it, on Windows (under Wine in the build).
#include "win/file_output.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/windows/failing_calls.h"
#include "tests/windows/folder_files.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

// Releases a COM interface at the end of its scope.
template <typename Interface>
using Com = Microsoft::WRL::ComPtr<Interface>;

// Reads the picture at path as 0xRRGGBB words, top row first; empty when it
// cannot be read.
std::vector<std::uint32_t> ReadPicture(const std::wstring& path, UINT& width, UINT& height) {
  Com<IWICImagingFactory> factory;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  Com<IWICFormatConverter> converter;
  HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(factory.GetAddressOf()));
  if (SUCCEEDED(result)) {
    result = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder);
  }
  if (SUCCEEDED(result)) result = decoder->GetFrame(0, &frame);
  if (SUCCEEDED(result)) result = frame->GetSize(&width, &height);
  if (SUCCEEDED(result)) result = factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(result)) {
    result = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom);
  }
  std::vector<std::uint32_t> pixels(SUCCEEDED(result) ? std::size_t{width} * height : 0);
  if (SUCCEEDED(result)) {
    result = converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size() * 4),
                                   reinterpret_cast<BYTE*>(pixels.data()));
  }
  if (FAILED(result)) return {};
  for (std::uint32_t& pixel : pixels) pixel &= 0xffffff;
  return pixels;
}

class FileOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t base[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, base);
    path_ = std::wstring(base) + L"zintrel-picture-" + std::to_wstring(GetCurrentProcessId()) + L".png";
    // Odd sides, so that no row is a multiple of four bytes at three bytes a
    // pixel, and every channel of every pixel differs from its neighbours'.
    bitmap_.Resize(37, 23);
    std::uint32_t* pixels = bitmap_.Pixels();
    for (int i = 0; i < bitmap_.Stride() * bitmap_.Height(); ++i) {
      const auto n = static_cast<std::uint32_t>(i);
      pixels[i] = 0xff000000u | ((n * 7) & 0xff) << 16 | ((n * 13 + 1) & 0xff) << 8 | ((n * 29 + 2) & 0xff);
    }
  }
  void TearDown() override {
    DeleteFileW(path_.c_str());
    CoUninitialize();
  }

  std::vector<std::uint32_t> Expected() const {
    std::vector<std::uint32_t> pixels(bitmap_.Pixels(), bitmap_.Pixels() + bitmap_.Stride() * bitmap_.Height());
    for (std::uint32_t& pixel : pixels) pixel &= 0xffffff;
    return pixels;
  }

  std::wstring path_;
  FrameBitmap bitmap_;
};

TEST_F(FileOutputTest, ThePictureReadsBackPixelForPixel) {
  ASSERT_EQ(WriteFramePng(path_, bitmap_), "");
  UINT width = 0;
  UINT height = 0;
  EXPECT_EQ(ReadPicture(path_, width, height), Expected());
  EXPECT_EQ(width, 37u);
  EXPECT_EQ(height, 23u);
}

// Whatever format the encoder takes instead of the one asked (Windows' PNG
// encoder has no 32-bit format without alpha and answers with another), the
// pixels are converted to it: written as they are they would be noise.
// (Wine's converter makes no 16-bit channels, so those are left out.)
TEST_F(FileOutputTest, AnotherFormatThanTheFramesIsConvertedTo) {
  const struct {
    const char* name;
    const WICPixelFormatGUID& format;
  } formats[] = {
      {"24bppBGR", GUID_WICPixelFormat24bppBGR},
      {"32bppBGRA", GUID_WICPixelFormat32bppBGRA},
      // Which the encoders have not, and answer with another.
      {"32bppRGB", GUID_WICPixelFormat32bppRGB},
      {"128bppRGBAFloat", GUID_WICPixelFormat128bppRGBAFloat},
  };
  for (const auto& [name, format] : formats) {
    SCOPED_TRACE(name);
    ASSERT_EQ(WriteFramePngAs(path_, bitmap_, format), "");
    UINT width = 0;
    UINT height = 0;
    EXPECT_EQ(ReadPicture(path_, width, height), Expected());
  }
}


// A folder of the test's own, removed with whatever it holds after.
class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t base[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, base);
    folder_ = std::wstring(base) + L"zintrel-save-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    bitmap_.Resize(61, 47);
    std::uint32_t* pixels = bitmap_.Pixels();
    for (int i = 0; i < bitmap_.Stride() * bitmap_.Height(); ++i) pixels[i] = 0xff000000u | (i * 2654435761u >> 8);
  }
  void TearDown() override {
    RemoveAll(L"\\\\?\\" + folder_);
    CoUninitialize();
  }

  static void RemoveAll(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveAll(folder + L"\\" + name);
        } else {
          DeleteFileW((folder + L"\\" + name).c_str());
        }
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }

  // The names in folder, sorted.
  static std::set<std::wstring> Names(const std::wstring& folder) { return NamesIn(folder); }

  // Returns the bytes of the file at path, or "(unreadable)".
  static std::string Read(const std::wstring& path) { return FileBytesAt(path); }

  static void Put(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
    CloseHandle(file);
  }

  std::wstring folder_;
  FrameBitmap bitmap_;
};

// A name of 255 characters, the most a folder entry holds, and a path of
// MAX_PATH - 1 characters, the longest the system takes without asking for
// long paths, are both saved: a temporary named after them would not fit.
TEST_F(SaveTest, AnyNameTheSystemTakesIsSaved) {
  const std::wstring longest = folder_ + L"\\" + std::wstring(255 - 8, L's') + L".zintrel";
  ASSERT_EQ(WriteWholeFile(longest, "{\"Version\": 1}\n"), "");
  EXPECT_EQ(Read(longest), "{\"Version\": 1}\n");
  ASSERT_EQ(WriteFramePng(longest.substr(0, longest.size() - 8) + L".png", bitmap_), "");

  const std::wstring inner = folder_ + L"\\" + std::wstring(120, L'f');
  ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
  const std::wstring fullest = inner + L"\\" + std::wstring(MAX_PATH - 1 - inner.size() - 1 - 4, L'p') + L".png";
  ASSERT_EQ(fullest.size(), std::size_t{MAX_PATH - 1});
  ASSERT_EQ(WriteFramePng(fullest, bitmap_), "");
  EXPECT_EQ(Read(fullest).substr(1, 3), "PNG");
  EXPECT_EQ(Names(inner), std::set<std::wstring>{fullest.substr(inner.size() + 1)});
  EXPECT_EQ(Names(folder_), (std::set<std::wstring>{longest.substr(folder_.size() + 1),
                                                    longest.substr(folder_.size() + 1, 247) + L".png",
                                                    std::wstring(120, L'f')}));
}

// Each call of a save made to fail in turn, the first to the last, as a full
// or failing disk fails it: the save says the system's reason for that call,
// and the file that was there is as it was, byte for byte, with nothing left
// beside it. Once no call fails, the save is whole.
TEST_F(SaveTest, EveryFailingCallIsReportedAndTheFileThereKept) {
  FailingCalls calls;
  ASSERT_TRUE(calls.Installed());
  const std::wstring name = L"kept.zintrel";
  const std::wstring path = folder_ + L"\\" + name;
  const std::string before = "{\"Version\": 1, \"what was there\": true}\n";
  const std::string state(5000, 'x');
  const struct {
    const char* what;
    std::string (*save)(const std::wstring& path, const std::string& state, const FrameBitmap& bitmap);
  } saves[] = {
      {"state", [](const std::wstring& to, const std::string& bytes, const FrameBitmap&) {
         return WriteWholeFile(to, bytes);
       }},
      {"picture", [](const std::wstring& to, const std::string&, const FrameBitmap& frame) {
         return WriteFramePng(to, frame);
       }},
      // A recording's file, in the pieces its frames come in.
      {"recording", [](const std::wstring& to, const std::string& bytes, const FrameBitmap&) {
         RecordingFile file(to);
         for (std::size_t at = 0; at < bytes.size(); at += 2000) {
           if (std::string problem = file.Write(std::string_view(bytes).substr(at, 2000)); !problem.empty()) {
             return problem;
           }
         }
         return file.Finish();
       }},
  };
  for (const auto& [what, save] : saves) {
    SCOPED_TRACE(what);
    Put(path, before);
    std::set<std::string> failed;
    int n = 1;
    for (;; ++n) {
      ASSERT_LT(n, 100) << "a save that never ends";
      calls.Arm(n);
      const std::string problem = save(path, state, bitmap_);
      const std::string call = calls.Failed();
      const DWORD error = calls.Error();
      calls.Arm(0);
      if (call.empty()) {
        EXPECT_EQ(problem, "") << "with no call failing";
        break;
      }
      failed.insert(call);
      EXPECT_EQ(problem, SystemErrorText(error)) << call << " failing as call " << n;
      EXPECT_TRUE(Read(path) == before) << call << " failing as call " << n << " changed what was there";
      EXPECT_EQ(Names(folder_), std::set<std::wstring>{name}) << call << " failing as call " << n;
    }
    EXPECT_EQ(failed, (std::set<std::string>{"CreateFileW", "WriteFile", "FlushFileBuffers", "GetFileSizeEx",
                                             "CloseHandle", "MoveFileExW"}));
    const std::string after = Read(path);
    EXPECT_TRUE(what == std::string("picture") ? after.substr(1, 3) == "PNG" : after == state) << "not saved whole";
    EXPECT_EQ(Names(folder_), std::set<std::wstring>{name});
  }
}

// A recording's file takes its bytes in pieces, as the frames come, and
// shows nothing at its name until it is finished: then exactly the bytes
// given, and no temporary beside them.
TEST_F(SaveTest, ARecordingIsWrittenInPiecesAndNamedOnlyWhole) {
  const std::wstring name = L"run.gif";
  const std::wstring path = folder_ + L"\\" + name;
  RecordingFile file(path);
  std::string given;
  for (int piece = 0; piece < 50; ++piece) {
    // Pieces of every length from none to some thousands of bytes.
    std::string bytes(static_cast<std::size_t>(piece * piece * 3), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + piece) & 0xff);
    ASSERT_EQ(file.Write(bytes), "");
    given += bytes;
    EXPECT_EQ(Names(folder_).count(name), 0u) << "the recording has its name before it is whole";
  }
  EXPECT_EQ(Names(folder_).size(), 1u) << "the frames do not go to a file as they come";
  ASSERT_EQ(file.Finish(), "");
  EXPECT_TRUE(Read(path) == given) << "the file holds other bytes than those given";
  EXPECT_EQ(Names(folder_), std::set<std::wstring>{name});
}

// A recording dropped unfinished (a failed write ends it so) leaves nothing
// at its name, nor beside it, and a file that was there as it was.
TEST_F(SaveTest, ARecordingDroppedUnfinishedLeavesNothing) {
  const std::wstring fresh = folder_ + L"\\fresh.gif";
  const std::wstring kept = folder_ + L"\\kept.gif";
  Put(kept, "GIF89a, what was there");
  {
    RecordingFile first(fresh);
    RecordingFile second(kept);
    ASSERT_EQ(first.Write("GIF89a"), "");
    ASSERT_EQ(second.Write(std::string(100000, 'g')), "");
  }
  EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"kept.gif"});
  EXPECT_EQ(Read(kept), "GIF89a, what was there");
}

}  // namespace
}  // namespace zintrel
