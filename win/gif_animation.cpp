#include "win/gif_animation.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "recording/gif_encoder.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

template <typename Interface>
using Com = Microsoft::WRL::ComPtr<Interface>;

void Check(HRESULT result, const char* what) {
  if (FAILED(result)) {
    throw std::runtime_error(std::string(what) + ": " + SystemErrorText(static_cast<unsigned long>(result)));
  }
}

// Returns the number a metadata query names, or fallback where the file has
// none (a frame without a graphic control extension, say).
int Number(IWICMetadataQueryReader* reader, const wchar_t* name, int fallback) {
  PROPVARIANT value;
  PropVariantInit(&value);
  int number = fallback;
  if (SUCCEEDED(reader->GetMetadataByName(name, &value))) {
    switch (value.vt) {
      case VT_UI1: number = value.bVal; break;
      case VT_UI2: number = value.uiVal; break;
      case VT_BOOL: number = value.boolVal != VARIANT_FALSE; break;
      default: break;
    }
  }
  PropVariantClear(&value);
  return number;
}

}  // namespace

GifAnimation::GifAnimation(IWICImagingFactory& factory, const void* bytes, DWORD size) : factory_(&factory) {
  Com<IWICStream> stream;
  Check(factory.CreateStream(&stream), "WIC stream");
  Check(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), size), "WIC stream");
  Check(factory.CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder_),
        "GIF decoder");
  UINT count = 0;
  Check(decoder_->GetFrameCount(&count), "GIF frames");
  if (count == 0) throw std::runtime_error("GIF frames: none");
  Com<IWICMetadataQueryReader> screen;
  Check(decoder_->GetMetadataQueryReader(&screen), "GIF screen");
  width_ = Number(screen.Get(), L"/logscrdesc/Width", 0);
  height_ = Number(screen.Get(), L"/logscrdesc/Height", 0);
  if (width_ <= 0 || height_ <= 0) throw std::runtime_error("GIF screen: empty");
  // The background a frame that disposes to it leaves: the global table's
  // colour where there is one, black otherwise.
  Com<IWICPalette> global;
  if (SUCCEEDED(factory.CreatePalette(&global)) && SUCCEEDED(decoder_->CopyPalette(global.Get()))) {
    WICColor colors[256] = {};
    UINT colorCount = 0;
    global->GetColors(256, colors, &colorCount);
    const int index = Number(screen.Get(), L"/logscrdesc/BackgroundColorIndex", 0);
    if (static_cast<UINT>(index) < colorCount) background_ = colors[index] & 0xFFFFFF;
  }
  // Every frame now, and the decoder let go: Wine's holds every frame's
  // pixels, one byte each, for as long as it lives.
  frames_.resize(count);
  for (UINT index = 0; index < count; ++index) Decode(frames_[index], index);
  decoder_.Reset();
  factory_.Reset();
  canvas_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
}

void GifAnimation::Decode(Frame& frame, UINT index) {
  Com<IWICBitmapFrameDecode> source;
  Check(decoder_->GetFrame(index, &source), "GIF frame");
  Com<IWICMetadataQueryReader> reader;
  Check(source->GetMetadataQueryReader(&reader), "GIF frame");
  // Where the frame's rectangle lies; its size is the decoded frame's.
  frame.left = Number(reader.Get(), L"/imgdesc/Left", 0);
  frame.top = Number(reader.Get(), L"/imgdesc/Top", 0);
  // Delays below the fastest players show are slowed as they slow them.
  const int hundredths = Number(reader.Get(), L"/grctlext/Delay", 0);
  frame.delay = 10 * (hundredths < kFastestGifDelay ? 10 : hundredths);
  frame.disposal = Number(reader.Get(), L"/grctlext/Disposal", 0);
  if (Number(reader.Get(), L"/grctlext/TransparencyFlag", 0) != 0) {
    frame.transparent = Number(reader.Get(), L"/grctlext/TransparentColorIndex", -1);
  }
  // The frame's own table, or the global one the decoder hands over.
  Com<IWICPalette> palette;
  Check(factory_->CreatePalette(&palette), "GIF palette");
  Check(source->CopyPalette(palette.Get()), "GIF palette");
  std::array<std::uint32_t, 256> colors{};
  UINT colorCount = 0;
  palette->GetColors(256, colors.data(), &colorCount);
  for (std::uint32_t& color : colors) color &= 0xFFFFFF;
  if (palettes_.empty() || palettes_.back() != colors) palettes_.push_back(colors);
  frame.palette = palettes_.size() - 1;

  UINT width = 0, height = 0;
  Check(source->GetSize(&width, &height), "GIF frame");
  frame.width = static_cast<int>(width);
  frame.height = static_cast<int>(height);
  std::vector<BYTE> pixels(static_cast<std::size_t>(width) * height);
  if (!pixels.empty()) {
    Check(source->CopyPixels(nullptr, width, static_cast<UINT>(pixels.size()), pixels.data()), "GIF pixels");
  }
  frame.runs.clear();
  for (std::size_t i = 0; i < pixels.size();) {
    std::size_t length = 1;
    while (length < 255 && i + length < pixels.size() && pixels[i + length] == pixels[i]) ++length;
    frame.runs.push_back(static_cast<std::uint8_t>(length));
    frame.runs.push_back(pixels[i]);
    i += length;
  }
  frame.runs.shrink_to_fit();
}

void GifAnimation::Clear() { std::fill(canvas_.begin(), canvas_.end(), background_); }

namespace {

// Calls visit(canvas index) for each pixel of frame's rectangle that lies
// on the canvas, in the rectangle's row order.
template <typename Visit>
void ForEachPixel(int canvasWidth, int canvasHeight, int left, int top, int width, int height, Visit visit) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int cx = left + x, cy = top + y;
      const bool inside = cx < canvasWidth && cy < canvasHeight;
      visit(inside ? static_cast<std::ptrdiff_t>(cy) * canvasWidth + cx : -1);
    }
  }
}

}  // namespace

void GifAnimation::Dispose(const Frame& frame) {
  if (frame.disposal != 2 && frame.disposal != 3) return;
  std::size_t next = 0;
  ForEachPixel(width_, height_, frame.left, frame.top, frame.width, frame.height, [&](std::ptrdiff_t at) {
    const std::uint32_t was = frame.disposal == 3 && next < saved_.size() ? saved_[next] : background_;
    ++next;
    if (at >= 0) canvas_[static_cast<std::size_t>(at)] = was;
  });
}

void GifAnimation::Draw(UINT index) {
  const Frame& frame = frames_[index];
  if (frame.disposal == 3) {
    saved_.clear();
    ForEachPixel(width_, height_, frame.left, frame.top, frame.width, frame.height, [&](std::ptrdiff_t at) {
      saved_.push_back(at >= 0 ? canvas_[static_cast<std::size_t>(at)] : 0);
    });
  }
  // Run by run, split at the rectangle's row ends and clipped to the canvas.
  const std::array<std::uint32_t, 256>& colors = palettes_[frame.palette];
  std::size_t position = 0;
  for (std::size_t run = 0; run + 1 < frame.runs.size(); run += 2) {
    int length = frame.runs[run];
    const std::uint8_t value = frame.runs[run + 1];
    while (length > 0) {
      const int row = static_cast<int>(position / static_cast<std::size_t>(frame.width));
      const int column = static_cast<int>(position % static_cast<std::size_t>(frame.width));
      const int span = std::min(length, frame.width - column);
      const int x = frame.left + column, y = frame.top + row;
      const int shown = std::min(span, width_ - x);
      if (value != frame.transparent && y < height_ && shown > 0) {
        std::fill_n(canvas_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + x, shown, colors[value]);
      }
      position += static_cast<std::size_t>(span);
      length -= span;
    }
  }
}

void GifAnimation::Start(ULONGLONG now) {
  Clear();
  shown_ = 0;
  Draw(0);
  due_ = now + static_cast<ULONGLONG>(frames_[0].delay);
}

bool GifAnimation::Advance(ULONGLONG now) {
  if (frames_.size() < 2 || now < due_) return false;
  // A window held still (dragged, behind a box) catches up at most one
  // loop, then goes on from now rather than racing.
  for (std::size_t steps = 0; now >= due_ && steps < frames_.size(); ++steps) {
    Dispose(frames_[shown_]);
    shown_ = (shown_ + 1) % static_cast<UINT>(frames_.size());
    // Each loop starts on an empty screen, as it did the first time.
    if (shown_ == 0) Clear();
    Draw(shown_);
    due_ += static_cast<ULONGLONG>(frames_[shown_].delay);
  }
  if (now >= due_) due_ = now + static_cast<ULONGLONG>(frames_[shown_].delay);
  return true;
}

}  // namespace zintrel
