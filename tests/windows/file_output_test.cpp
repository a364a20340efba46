// The picture written through the platform's imaging component, read back
// through its decoder, on Windows (under Wine in the build).
#include "win/file_output.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace zintrel
