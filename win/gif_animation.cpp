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

// Calls visit(screen index, or -1 where off the screen) for each pixel of
// frame's rectangle, in the rectangle's row order.
template <typename Rectangle, typename Visit>
void ForEachPixel(int screenWidth, int screenHeight, const Rectangle& frame, Visit visit) {
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const int sx = frame.left + x, sy = frame.top + y;
      visit(sx < screenWidth && sy < screenHeight ? static_cast<std::ptrdiff_t>(sy) * screenWidth + sx : -1);
    }
  }
}

}  // namespace

GifAnimation::GifAnimation(IWICImagingFactory& factory, const void* bytes, DWORD size) {
  Com<IWICStream> stream;
  Check(factory.CreateStream(&stream), "WIC stream");
  Check(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), size), "WIC stream");
  Com<IWICBitmapDecoder> decoder;
  Check(factory.CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
        "GIF decoder");
  UINT count = 0;
  Check(decoder->GetFrameCount(&count), "GIF frames");
  if (count == 0) throw std::runtime_error("GIF frames: none");
  Com<IWICMetadataQueryReader> screen;
  Check(decoder->GetMetadataQueryReader(&screen), "GIF screen");
  width_ = Number(screen.Get(), L"/logscrdesc/Width", 0);
  height_ = Number(screen.Get(), L"/logscrdesc/Height", 0);
  if (width_ <= 0 || height_ <= 0) throw std::runtime_error("GIF screen: empty");
  // The background a frame that disposes to it leaves: the global table's
  // colour where there is one, black otherwise.
  std::uint32_t& background = background_;
  Com<IWICPalette> global;
  if (SUCCEEDED(factory.CreatePalette(&global)) && SUCCEEDED(decoder->CopyPalette(global.Get()))) {
    WICColor colors[256] = {};
    UINT colorCount = 0;
    global->GetColors(256, colors, &colorCount);
    const int index = Number(screen.Get(), L"/logscrdesc/BackgroundColorIndex", 0);
    if (static_cast<UINT>(index) < colorCount) background = colors[index] & 0xFFFFFF;
  }

  // Every frame is composed now, in order, and kept as what it changes on
  // the screen; the decoder is let go (Wine's holds every frame's pixels,
  // one byte each, for as long as it lives).
  const std::size_t area = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  const std::vector<std::uint32_t> empty(area, background);
  std::vector<std::uint32_t> screenNow = empty;
  std::vector<std::uint32_t> first;
  std::vector<std::uint32_t> saved;
  FrameControl before;
  frames_.resize(count);
  for (UINT index = 0; index < count; ++index) {
    const std::vector<std::uint32_t> shownBefore = screenNow;
    Dispose(before, saved, background, screenNow);
    before = Compose(factory, *decoder.Get(), index, saved, screenNow);
    frames_[index].delay = before.delay;
    frames_[index].changes = Changes(index == 0 ? empty : shownBefore, screenNow);
    if (index == 0) first = screenNow;
  }
  // Each loop starts on an empty screen, as the first did.
  loopChanges_ = Changes(screenNow, first);
  canvas_ = empty;
}

GifAnimation::FrameControl GifAnimation::Compose(IWICImagingFactory& factory, IWICBitmapDecoder& decoder, UINT index,
                                                 std::vector<std::uint32_t>& saved,
                                                 std::vector<std::uint32_t>& screen) const {
  Com<IWICBitmapFrameDecode> source;
  Check(decoder.GetFrame(index, &source), "GIF frame");
  Com<IWICMetadataQueryReader> reader;
  Check(source->GetMetadataQueryReader(&reader), "GIF frame");
  FrameControl control;
  // Where the frame's rectangle lies; its size is the decoded frame's.
  control.left = Number(reader.Get(), L"/imgdesc/Left", 0);
  control.top = Number(reader.Get(), L"/imgdesc/Top", 0);
  // Delays below the fastest players show are slowed as they slow them.
  const int hundredths = Number(reader.Get(), L"/grctlext/Delay", 0);
  control.delay = 10 * (hundredths < kFastestGifDelay ? 10 : hundredths);
  control.disposal = Number(reader.Get(), L"/grctlext/Disposal", 0);
  int transparent = -1;
  if (Number(reader.Get(), L"/grctlext/TransparencyFlag", 0) != 0) {
    transparent = Number(reader.Get(), L"/grctlext/TransparentColorIndex", -1);
  }
  // The frame's own table, or the global one the decoder hands over.
  Com<IWICPalette> palette;
  Check(factory.CreatePalette(&palette), "GIF palette");
  Check(source->CopyPalette(palette.Get()), "GIF palette");
  WICColor colors[256] = {};
  UINT colorCount = 0;
  palette->GetColors(256, colors, &colorCount);
  UINT width = 0, height = 0;
  Check(source->GetSize(&width, &height), "GIF frame");
  control.width = static_cast<int>(width);
  control.height = static_cast<int>(height);
  std::vector<BYTE> pixels(static_cast<std::size_t>(width) * height);
  if (!pixels.empty()) {
    Check(source->CopyPixels(nullptr, width, static_cast<UINT>(pixels.size()), pixels.data()), "GIF pixels");
  }
  // What a frame that restores its area covered, kept until it goes.
  if (control.disposal == 3) {
    saved.clear();
    ForEachPixel(width_, height_, control, [&](std::ptrdiff_t at) {
      saved.push_back(at >= 0 ? screen[static_cast<std::size_t>(at)] : 0);
    });
  }
  std::size_t next = 0;
  ForEachPixel(width_, height_, control, [&](std::ptrdiff_t at) {
    const BYTE value = pixels[next++];
    if (at >= 0 && value != transparent) screen[static_cast<std::size_t>(at)] = colors[value] & 0xFFFFFF;
  });
  return control;
}

void GifAnimation::Dispose(const FrameControl& frame, const std::vector<std::uint32_t>& saved,
                           std::uint32_t background, std::vector<std::uint32_t>& screen) const {
  if (frame.disposal != 2 && frame.disposal != 3) return;
  std::size_t next = 0;
  ForEachPixel(width_, height_, frame, [&](std::ptrdiff_t at) {
    const std::uint32_t was = frame.disposal == 3 && next < saved.size() ? saved[next] : background;
    ++next;
    if (at >= 0) screen[static_cast<std::size_t>(at)] = was;
  });
}

namespace {

void PutNumber(std::vector<std::uint8_t>& out, std::size_t number) {
  for (; number >= 0x80; number >>= 7) out.push_back(static_cast<std::uint8_t>(number | 0x80));
  out.push_back(static_cast<std::uint8_t>(number));
}

std::size_t GetNumber(const std::uint8_t*& in) {
  std::size_t number = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t byte = *in++;
    number |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return number;
  }
}

}  // namespace

std::vector<std::uint8_t> GifAnimation::Changes(const std::vector<std::uint32_t>& from,
                                                const std::vector<std::uint32_t>& to) {
  std::vector<std::uint8_t> changes;
  std::size_t end = 0;  // Of the span before.
  for (std::size_t at = 0; at < to.size();) {
    if (from[at] == to[at]) {
      ++at;
      continue;
    }
    const std::uint32_t color = to[at];
    const std::size_t start = at;
    while (at < to.size() && from[at] != to[at] && to[at] == color) ++at;
    std::size_t index = std::find(colors_.begin(), colors_.end(), color) - colors_.begin();
    if (index == colors_.size()) colors_.push_back(color);
    PutNumber(changes, start - end);
    PutNumber(changes, at - start);
    PutNumber(changes, index);
    end = at;
  }
  changes.shrink_to_fit();
  return changes;
}

void GifAnimation::Apply(const std::vector<std::uint8_t>& changes) {
  const std::uint8_t* in = changes.data();
  const std::uint8_t* const last = in + changes.size();
  std::size_t at = 0;
  while (in < last) {
    at += GetNumber(in);
    const std::size_t length = GetNumber(in);
    std::fill_n(canvas_.begin() + static_cast<std::ptrdiff_t>(at), length, colors_[GetNumber(in)]);
    at += length;
  }
}

void GifAnimation::Start(ULONGLONG now) {
  std::fill(canvas_.begin(), canvas_.end(), background_);
  shown_ = 0;
  Apply(frames_[0].changes);
  due_ = now + static_cast<ULONGLONG>(frames_[0].delay);
}

bool GifAnimation::Advance(ULONGLONG now) {
  if (frames_.size() < 2 || now < due_) return false;
  // A window held still (dragged, behind a box) catches up at most one
  // loop, then goes on from now rather than racing.
  bool changed = false;
  for (std::size_t steps = 0; now >= due_ && steps < frames_.size(); ++steps) {
    shown_ = (shown_ + 1) % static_cast<UINT>(frames_.size());
    const std::vector<std::uint8_t>& changes = shown_ == 0 ? loopChanges_ : frames_[shown_].changes;
    Apply(changes);
    changed = changed || !changes.empty();
    due_ += static_cast<ULONGLONG>(frames_[shown_].delay);
  }
  if (now >= due_) due_ = now + static_cast<ULONGLONG>(frames_[shown_].delay);
  return changed;
}

}  // namespace zintrel
