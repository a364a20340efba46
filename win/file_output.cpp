#include "win/file_output.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "settings/catalog.h"
#include "state/printable_text.h"
#include "win/clipboard.h"
#include "win/temporary_files.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

// Releases a COM interface at the end of its scope.
template <typename Interface>
using Com = Microsoft::WRL::ComPtr<Interface>;

// Returns path in the form the file functions take at any length: absolute,
// behind "\\?\", so that a path longer than MAX_PATH (a temporary's beside
// a name that just fits, say) is taken whether or not the system has long
// paths enabled. The prefix also turns off the system's reading of the path
// ("." and "..", "/" for "\"), which is done here first, as it would be.
std::wstring LongPathForm(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
  std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  if (full.empty()) return path;
  full.resize(GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return full;
}

// Creates a file of a name no other file has in path's folder, for the bytes
// that replace path once whole, first removing the temporaries that killed
// or crashed saves left there. Its name is short and of a bounded length
// whatever path's own, and tells whose it is (see TemporaryName): a name of
// 255 characters, the most a folder entry holds, is a valid one to save, and
// with a suffix added its temporary's would not be. Returns the open file,
// or INVALID_HANDLE_VALUE with GetLastError telling why.
HANDLE CreateTemporaryBeside(const std::wstring& path, std::wstring& temporary) {
  static unsigned serial = 0;
  const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
  RemoveStaleTemporaries(folder);
  for (;;) {
    temporary = folder + TemporaryName(ThisProcess(), ++serial);
    // Never over a file that is there, which may be someone's.
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
}

// The files being written now, each by its entry (EntryOf), so that a second
// write to one name while the first is under way (a picture saved onto the
// name a running recording is to take) is refused rather than lost the
// moment the first is put in place. Only the program's one thread writes.
struct UnderWay {
  const FileInPieces* file;
  std::wstring entry;
  std::wstring path;  // As the first was asked for, to be named to the user.
};
std::vector<UnderWay>& WritesUnderWay() {
  static std::vector<UnderWay> writes;
  return writes;
}

std::string HresultText(HRESULT result) { return SystemErrorText(static_cast<unsigned long>(result)); }

// The frame's 0xffRRGGBB words are these bytes in memory: blue, green, red
// and an unused fourth.
const WICPixelFormatGUID& kFramePixelFormat = GUID_WICPixelFormat32bppBGR;

// Writes the frame's pixels to an encoder's frame that takes format, through
// the imaging component's converter.
HRESULT WriteConverted(IWICImagingFactory& factory, IWICBitmapFrameEncode& frame, const WICPixelFormatGUID& format,
                       const FrameBitmap& bitmap) {
  const UINT stride = static_cast<UINT>(bitmap.Stride()) * 4;
  const UINT height = static_cast<UINT>(bitmap.Height());
  Com<IWICBitmap> source;
  Com<IWICFormatConverter> converter;
  // The bitmap is a copy, so the frame's memory is only read.
  HRESULT result = factory.CreateBitmapFromMemory(
      static_cast<UINT>(bitmap.Width()), height, kFramePixelFormat, stride, stride * height,
      reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(bitmap.Pixels())), &source);
  if (SUCCEEDED(result)) result = factory.CreateFormatConverter(&converter);
  if (SUCCEEDED(result)) {
    result = converter->Initialize(source.Get(), format, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom);
  }
  if (SUCCEEDED(result)) result = frame.WriteSource(converter.Get(), nullptr);
  return result;
}

// Encodes the frame as PNG into bytes, asking the encoder for the pixel
// format asked.
HRESULT EncodePng(const FrameBitmap& bitmap, const WICPixelFormatGUID& asked, std::string& bytes) {
  const UINT width = static_cast<UINT>(bitmap.Width());
  const UINT height = static_cast<UINT>(bitmap.Height());
  Com<IWICImagingFactory> factory;
  Com<IStream> memory;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = asked;
  const UINT stride = static_cast<UINT>(bitmap.Stride()) * 4;
  const auto pixels = reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(bitmap.Pixels()));
  HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(factory.GetAddressOf()));
  if (SUCCEEDED(result)) result = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
  if (SUCCEEDED(result)) result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
  if (SUCCEEDED(result)) result = encoder->Initialize(memory.Get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(result)) result = encoder->CreateNewFrame(&frame, nullptr);
  if (SUCCEEDED(result)) result = frame->Initialize(nullptr);
  if (SUCCEEDED(result)) result = frame->SetSize(width, height);
  // The encoder answers with the format it will take, the nearest it has
  // to the one asked; pixels in any other layout would be written as noise.
  if (SUCCEEDED(result)) result = frame->SetPixelFormat(&format);
  if (SUCCEEDED(result)) {
    if (IsEqualGUID(format, kFramePixelFormat)) {
      result = frame->WritePixels(height, stride, stride * height, pixels);
    } else {
      result = WriteConverted(*factory.Get(), *frame.Get(), format, bitmap);
    }
  }
  if (SUCCEEDED(result)) result = frame->Commit();
  if (SUCCEEDED(result)) result = encoder->Commit();
  // The stream's size, not its memory's, which may be rounded up.
  STATSTG written{};
  if (SUCCEEDED(result)) result = memory->Stat(&written, STATFLAG_NONAME);
  HGLOBAL global = nullptr;
  if (SUCCEEDED(result)) result = GetHGlobalFromStream(memory.Get(), &global);
  if (SUCCEEDED(result)) {
    const auto* start = static_cast<const char*>(GlobalLock(global));
    bytes.assign(start, static_cast<std::size_t>(written.cbSize.QuadPart));
    GlobalUnlock(global);
  }
  return result;
}

}  // namespace

FileInPieces::FileInPieces(const std::wstring& path) : target_(LongPathForm(path)) {
  file_ = CreateTemporaryBeside(target_, temporary_);
  if (file_ == INVALID_HANDLE_VALUE) {
    problem_ = SystemErrorText(GetLastError());
    return;
  }
  const std::wstring entry = EntryOf(file_, target_);
  for (const UnderWay& other : WritesUnderWay()) {
    if (SameEntry(entry, other.entry)) {
      Abandon(Format(Tr("the recording under way is to be saved under that name, as %1$s"),
                     {Format(Tr("'%1$s'"), {BoxText(Narrow(other.path))})}));
      return;
    }
  }
  if (!entry.empty()) WritesUnderWay().push_back({this, entry, path});
}

FileInPieces::~FileInPieces() {
  // Dropped unfinished: the temporary goes, and the name keeps what it held.
  Finished();
  if (file_ != INVALID_HANDLE_VALUE) {
    CloseHandle(file_);
    DeleteFileW(temporary_.c_str());
  }
}

void FileInPieces::Finished() {
  auto& writes = WritesUnderWay();
  std::erase_if(writes, [this](const UnderWay& write) { return write.file == this; });
}

const std::string& FileInPieces::Abandon(std::string reason) {
  if (problem_.empty()) problem_ = std::move(reason);
  Finished();
  if (file_ != INVALID_HANDLE_VALUE) {
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    DeleteFileW(temporary_.c_str());
  }
  return problem_;
}

std::string FileInPieces::Write(std::string_view bytes) {
  if (file_ == INVALID_HANDLE_VALUE) return problem_.empty() ? SystemErrorText(ERROR_INVALID_HANDLE) : problem_;
  std::size_t done = 0;
  bool stalled = false;
  while (done < bytes.size()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, DWORD{1} << 30));
    DWORD written = 0;
    if (!WriteFile(file_, bytes.data() + done, chunk, &written, nullptr)) {
      return Abandon(SystemErrorText(GetLastError()));
    }
    // A write that takes part of the bytes without an error is asked for
    // the rest, and the next one says the reason; two in a row that take
    // nothing and say nothing would loop for ever.
    if (written == 0 && std::exchange(stalled, true)) return Abandon(SystemErrorText(ERROR_WRITE_FAULT));
    done += written;
    written_ += written;
  }
  return {};
}

std::string FileInPieces::Commit() {
  if (file_ == INVALID_HANDLE_VALUE) return problem_.empty() ? SystemErrorText(ERROR_INVALID_HANDLE) : problem_;
  if (!FlushFileBuffers(file_)) return Abandon(SystemErrorText(GetLastError()));
  // The calls' word is not taken for it: the file holds every byte.
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file_, &size)) return Abandon(SystemErrorText(GetLastError()));
  if (static_cast<unsigned long long>(size.QuadPart) != written_) return Abandon(SystemErrorText(ERROR_WRITE_FAULT));
  Finished();
  // Closing may be where a write the system held back fails.
  const bool closed = CloseHandle(std::exchange(file_, INVALID_HANDLE_VALUE));
  const DWORD closeError = GetLastError();
  if (!closed ||
      !MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    problem_ = SystemErrorText(closed ? GetLastError() : closeError);
    DeleteFileW(temporary_.c_str());
    return problem_;
  }
  return {};
}

std::string WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  FileInPieces file(path);
  std::string problem = file.Write(bytes);
  if (problem.empty()) problem = file.Commit();
  return problem;
}

std::string WriteFramePng(const std::wstring& path, const FrameBitmap& bitmap) {
  return WriteFramePngAs(path, bitmap, kFramePixelFormat);
}

std::string WriteFramePngAs(const std::wstring& path, const FrameBitmap& bitmap, const WICPixelFormatGUID& asked) {
  // Encoded in memory first, so that the picture reaches the disk through
  // the one write that checks every step, as a state does; the encoder's
  // own file stream neither syncs the file nor says when closing it fails.
  std::string bytes;
  if (const HRESULT result = EncodePng(bitmap, asked, bytes); FAILED(result)) return HresultText(result);
  return WriteWholeFile(path, bytes);
}

std::string CopyFrameToClipboard(HWND owner, const FrameBitmap& bitmap) {
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // Bottom-up, which every reader of CF_DIB takes.
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof header + rowBytes * static_cast<std::size_t>(height));
  if (memory == nullptr) return SystemErrorText(GetLastError());
  auto* bytes = static_cast<unsigned char*>(GlobalLock(memory));
  std::memcpy(bytes, &header, sizeof header);
  for (int y = 0; y < height; ++y) {
    std::memcpy(bytes + sizeof header + rowBytes * static_cast<std::size_t>(height - 1 - y),
                bitmap.Pixels() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.Stride()), rowBytes);
  }
  GlobalUnlock(memory);
  return PutOnClipboard(owner, CF_DIB, memory);
}

}  // namespace zintrel
