#include "win/file_output.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <cstring>
#include <vector>

#include "win/wide_text.h"

namespace zintrel {
namespace {

// Releases a COM interface at the end of its scope.
template <typename Interface>
using Com = Microsoft::WRL::ComPtr<Interface>;

std::wstring TemporaryBeside(const std::wstring& path) {
  return path + L".part-" + std::to_wstring(GetCurrentProcessId());
}

// Moves the finished temporary onto path, or removes it. Returns "" or why.
std::string Commit(const std::wstring& temporary, const std::wstring& path) {
  if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
  const std::string reason = SystemErrorText(GetLastError());
  DeleteFileW(temporary.c_str());
  return reason;
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

}  // namespace

std::string WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const std::wstring temporary = TemporaryBeside(path);
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return SystemErrorText(GetLastError());
  DWORD written = 0;
  const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size() && FlushFileBuffers(file);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!whole) {
    DeleteFileW(temporary.c_str());
    return SystemErrorText(error);
  }
  return Commit(temporary, path);
}

std::string WriteFramePng(const std::wstring& path, const FrameBitmap& bitmap) {
  return WriteFramePngAs(path, bitmap, kFramePixelFormat);
}

std::string WriteFramePngAs(const std::wstring& path, const FrameBitmap& bitmap, const WICPixelFormatGUID& asked) {
  const UINT width = static_cast<UINT>(bitmap.Width());
  const UINT height = static_cast<UINT>(bitmap.Height());
  const std::wstring temporary = TemporaryBeside(path);
  HRESULT result = S_OK;
  {
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = asked;
    const UINT stride = static_cast<UINT>(bitmap.Stride()) * 4;
    const auto pixels = reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(bitmap.Pixels()));
    if (SUCCEEDED(result)) {
      result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.GetAddressOf()));
    }
    if (SUCCEEDED(result)) result = factory->CreateStream(&stream);
    if (SUCCEEDED(result)) result = stream->InitializeFromFilename(temporary.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(result)) result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(result)) result = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
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
  }  // The stream closes its file here.
  if (FAILED(result)) {
    DeleteFileW(temporary.c_str());
    return HresultText(result);
  }
  return Commit(temporary, path);
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
  if (!OpenClipboard(owner)) {
    GlobalFree(memory);
    return SystemErrorText(GetLastError());
  }
  EmptyClipboard();
  // The clipboard owns the memory once it takes it.
  const bool taken = SetClipboardData(CF_DIB, memory) != nullptr;
  const DWORD error = GetLastError();
  CloseClipboard();
  if (taken) return {};
  GlobalFree(memory);
  return SystemErrorText(error);
}

}  // namespace zintrel
